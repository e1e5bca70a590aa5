#include "BrandingView.h"

#include "ErrorReport.h"
#include "LinkLabel.h"
#include "UUtils.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "ui/BrandingPackage.h"
#include "ui/ClickFilter.h"
#include "ui/GIFImage.h"
#include "ui/SkinData.h"
#include "ui/SkinDescription.h"
#include "ui/StillPicture.h"
#include "ui_FMain.h"
#include "update/UpdateCheck.h"

#include <QApplication>
#include <QIcon>

namespace quillory {

TBrandingView::TBrandingView(QWidget& window, Ui::frmMain& form, TSkinData& skin)
    : FWindow(window), ui(&form), SkinData1(skin) {
    TLinkLabel::Attach(ui->lblLink1URL);
    TLinkLabel::Attach(ui->lblLink2URL);
    // lblLink2URL keeps the distance of its designed right edge from the right
    // edge of the bottom panel, whatever width its caption needs.
    FLink2RightMargin = 775 - (ui->lblLink2URL->x() + ui->lblLink2URL->width());
    ui->lblLink2URL->adjustSize();
    ui->lblLink1URL->adjustSize();
    ConnectBannerClicks();
    ui->gifBanner->SetAnimate(true);
}

void TBrandingView::ConnectBannerClicks() {
    new TClickFilter(ui->imgBanner, [this] { RunGuarded([this] { imgBannerClick(); }); });
    ui->gifBanner->OnClick = [this] { RunGuarded([this] { gifBannerClick(); }); };
    // A frame that fails to show later on is told once, like any error.
    ui->gifBanner->OnError = [](const std::string& message) {
        ShowErrorMessage(QString::fromLocal8Bit("The banner picture cannot be shown: " + message));
    };
}

void TBrandingView::imgBannerClick() {
    if (!FBannerURL.empty())
        OpenURL(FBannerURL);
}

void TBrandingView::gifBannerClick() {
    if (!FBannerURL.empty())
        OpenURL(FBannerURL);
}

void TBrandingView::LoadBranding() {
    const std::string folder = BrandingFolder(BrandingConfigName);
    const std::string configPath = folder + BrandingConfigName;
    if (!FileExists(configPath))
        return;
    const TBrandingConfig config = ReadBrandingConfig(configPath);

    if (!config.AppName.empty())
        FWindow.setWindowTitle(QString::fromLocal8Bit(config.AppName));
    FWindow.setWindowTitle(FWindow.windowTitle() + QStringLiteral(" v") +
                           QString::fromLatin1(VersionText));

    if (!config.AffiliateID.empty())
        FAffiliateID = config.AffiliateID;

    int chosen = -1;
    if (!config.Banners.empty()) {
        chosen = RandomBrandingIndex(static_cast<int>(config.Banners.size()));
        FBannerPath = config.Banners[static_cast<std::size_t>(chosen)].first;
        FBannerURL = config.Banners[static_cast<std::size_t>(chosen)].second;
    }
    if (!FBannerURL.empty()) {
        ui->imgBanner->setCursor(Qt::PointingHandCursor);
        ui->gifBanner->setCursor(Qt::PointingHandCursor);
    }

    // The banner is read where it lies, under its stored name; the configured
    // name only tells its format.
    const std::string stored = chosen >= 0 ? folder + StoredBannerName(chosen) : std::string();
    if (FBannerPath.empty() || !FileExists(stored)) {
        ui->panBanner->hide();
    } else {
        try {
            LoadBannerPicture(stored);
        } catch (const std::exception& e) {
            // A banner that cannot be shown counts as a missing one, after one
            // message: the rest of the branding and the start-up go on.
            ui->gifBanner->Image().Clear();
            ui->imgBanner->clear();
            ui->panBanner->hide();
            ShowErrorMessage(QString::fromLocal8Bit(BannerFailureMessage(e)));
        }
    }

    std::vector<std::pair<std::string, std::string>> links = config.Links;
    if (!links.empty()) {
        const auto first =
            static_cast<std::size_t>(RandomBrandingIndex(static_cast<int>(links.size())));
        FLink1URL = links[first].first;
        FLink1Name = links[first].second;
        links.erase(links.begin() + static_cast<std::ptrdiff_t>(first));
        if (!links.empty()) {
            const auto second =
                static_cast<std::size_t>(RandomBrandingIndex(static_cast<int>(links.size())));
            FLink2URL = links[second].first;
            FLink2Name = links[second].second;
        }
    }
    ui->lblLink1URL->setText(QString::fromLocal8Bit(FLink1Name));
    TLinkLabel::SetAddress(ui->lblLink1URL, QString::fromLocal8Bit(FLink1URL));
    ui->lblLink1URL->adjustSize();
    ui->lblLink2URL->setText(QString::fromLocal8Bit(FLink2Name));
    TLinkLabel::SetAddress(ui->lblLink2URL, QString::fromLocal8Bit(FLink2URL));
    PlaceLinkLabels();

    // The skin and the icon each fail on their own, with one message each.
    const std::string skin = folder + BrandingSkinName;
    if (FileExists(skin))
        RunGuarded([&] { SkinData1.LoadCompressedSkinFile(skin); });

    if (!config.IconPath.empty())
        FIconPath = config.IconPath;
    const std::string iconName = ExtractFileName(FIconPath);
    if (!iconName.empty() && FileExists(folder + iconName)) {
        RunGuarded([&] {
            const QImage icon = LoadIconPicture(folder + iconName);
            QApplication::setWindowIcon(QIcon(QPixmap::fromImage(icon)));
            FWindow.setWindowIcon(QIcon(QPixmap::fromImage(icon)));
        });
    }
}

void TBrandingView::LoadBannerPicture(const std::string& stored) {
    // Only the name counts: a folder such as "my.gifs" in the configured
    // path, or in the program's own path, says nothing of the format.
    if (LowerAscii(ExtractFileName(FBannerPath)).find(".gif") != std::string::npos) {
        const std::string bytes = ReadRegularFileOrThrow(stored, kMaxPictureFileBytes);
        // The size from the header, before a single frame is decoded.
        int width = 0, height = 0;
        if (ReadGIFScreenSize(bytes, width, height) &&
            (width > kMaxBannerWidth || height > kMaxBannerHeight))
            throw EPictureTooLarge(width, height);
        ui->gifBanner->Image().LoadFromBytes(bytes);
        ui->gifBanner->show();
        ui->imgBanner->hide();
        ui->panBanner->setFixedHeight(ui->gifBanner->height() + 10);
    } else {
        const QImage picture = LoadStillPicture(stored, ExtractFileName(FBannerPath),
                                                kMaxBannerWidth, kMaxBannerHeight);
        ui->gifBanner->hide();
        ui->imgBanner->show();
        ui->imgBanner->setPixmap(QPixmap::fromImage(picture));
        ui->imgBanner->resize(picture.size());
        ui->panBanner->setFixedHeight(ui->imgBanner->height() + 10);
    }
}

void TBrandingView::PlaceLinkLabels() {
    QLabel* link2 = ui->lblLink2URL;
    link2->adjustSize();
    link2->move(ui->SkinPanel4->width() - FLink2RightMargin - link2->width(), link2->y());
}

} // namespace quillory
