#include "Branding.h"

#include "ErrorReport.h"
#include "FMain.h"
#include "LinkLabel.h"
#include "UUtils.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "ui/GIFImage.h"
#include "ui/JPEGImage.h"
#include "ui/SkinPackage.h"
#include "ui_FMain.h"
#include "update/UpdateCheck.h"

#include <QApplication>
#include <QBuffer>
#include <QIcon>
#include <QImageReader>
#include <QMouseEvent>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>

namespace quillory {

TBrandingConfig ReadBrandingConfig(const std::string& path) {
    // One read of the file; every key comes from the same text. A file that
    // reads as missing (not a regular file, too large) gives empty values.
    const std::string text = ReadProfileText(path).value_or(std::string());
    auto read = [&](const std::string& key) {
        return ReadProfileStringFromText(text, "Settings", key);
    };
    TBrandingConfig c;
    c.AppName = read("AppName");
    c.AffiliateID = read("AfiliateID");
    for (int i = 1; i <= 3; ++i) {
        const std::string path = read("BannerPath" + std::to_string(i));
        if (!path.empty())
            c.Banners.emplace_back(path, read("BannerURL" + std::to_string(i)));
    }
    for (int i = 1; i <= 4; ++i) {
        const std::string url = read("Link" + std::to_string(i) + "URL");
        if (!url.empty())
            c.Links.emplace_back(url, read("Link" + std::to_string(i) + "Name"));
    }
    c.IconPath = read("IconPath");
    return c;
}

int RandomBrandingIndex(int count) {
    if (count <= 1)
        return 0;
    std::mt19937 rng(static_cast<unsigned>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    return std::uniform_int_distribution<int>(0, count - 1)(rng);
}

std::string StoredBannerName(int index) {
    return "dbimg" + std::to_string(index + 1) + ".dat";
}

EUnknownPictureExtension::EUnknownPictureExtension(const std::string& extension)
    : std::runtime_error("Unknown picture file extension (." + extension + ")") {}

std::string PictureExtension(const std::string& name) {
    const std::string file = ExtractFileName(name);
    const auto dot = file.rfind('.');
    return dot == std::string::npos ? std::string() : file.substr(dot + 1);
}

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// The size a bitmap file's information header declares; false when the
// header is not there.
bool DeclaredBitmapSize(const std::string& b, std::int64_t& width, std::int64_t& height) {
    auto u = [&](std::size_t p, int n) {
        std::uint32_t v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = v << 8 | static_cast<std::uint8_t>(b[p + static_cast<std::size_t>(i)]);
        return v;
    };
    if (b.size() < 26 || b[0] != 'B' || b[1] != 'M')
        return false;
    if (u(14, 4) == 12) {
        width = u(18, 2);
        height = u(20, 2);
    } else {
        width = static_cast<std::int32_t>(u(18, 4));
        height = static_cast<std::int32_t>(u(22, 4));
        if (height < 0)
            height = -height;
    }
    return true;
}

QImage ReadQtPicture(const std::string& bytes, const char* format, const char* invalidMessage,
                     int maxWidth, int maxHeight) {
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // The size from the headers, where the format tells it, before decoding.
    const QSize declared = reader.size();
    if (declared.isValid() && (declared.width() > maxWidth || declared.height() > maxHeight ||
                               !PictureFits(declared.width(), declared.height(), 4)))
        throw EPictureTooLarge(declared.width(), declared.height());
    QImage image = reader.read();
    if (image.isNull())
        throw EInvalidPicture(invalidMessage);
    if (image.width() > maxWidth || image.height() > maxHeight)
        throw EPictureTooLarge(image.width(), image.height());
    return image;
}

} // namespace

QImage DecodeJPEG(const std::string& bytes, int maxWidth, int maxHeight) {
    TJPEGPicture picture;
    try {
        picture = DecodeJPEGPicture(bytes, maxWidth, maxHeight);
    } catch (const EJPEGError& e) {
        throw EInvalidPicture(e.what());
    }
    QImage image(picture.Width, picture.Height, QImage::Format_RGB888);
    const std::size_t stride = static_cast<std::size_t>(picture.Width) * 3;
    for (int y = 0; y < picture.Height; ++y)
        std::memcpy(image.scanLine(y), picture.RGB.data() + stride * static_cast<std::size_t>(y),
                    stride);
    return image;
}

QImage LoadStillPicture(const std::string& file, const std::string& formatName, int maxWidth,
                        int maxHeight) {
    const std::string ext = PictureExtension(formatName);
    const std::string lower = Lower(ext);
    const char* qtFormat = nullptr;
    if (lower == "bmp")
        qtFormat = "BMP";
    else if (lower == "ico")
        qtFormat = "ICO";
    else if (lower != "jpg" && lower != "jpeg")
        // Metafiles included: no library at hand draws them faithfully.
        throw EUnknownPictureExtension(ext);

    maxWidth = std::min(maxWidth, kMaxPictureSide);
    maxHeight = std::min(maxHeight, kMaxPictureSide);
    const std::string bytes = ReadRegularFileOrThrow(file, kMaxPictureFileBytes);
    if (!qtFormat)
        return DecodeJPEG(bytes, maxWidth, maxHeight);
    if (lower == "bmp") {
        // Our own reading of the headers first: the declared size, then the
        // layout, which never trusts a declared length.
        std::int64_t width = 0, height = 0;
        if (DeclaredBitmapSize(bytes, width, height) &&
            (width > maxWidth || height > maxHeight || !PictureFits(width, height, 4)))
            throw EPictureTooLarge(width, height);
        try {
            std::size_t pos = 0;
            ReadBitmapFile(bytes, pos);
        } catch (const ESkinError&) {
            throw EInvalidPicture("Bitmap image is not valid");
        }
    }
    return ReadQtPicture(bytes, qtFormat,
                         lower == "bmp" ? "Bitmap image is not valid" : "Icon image is not valid",
                         maxWidth, maxHeight);
}

QImage LoadIconPicture(const std::string& file) {
    return ReadQtPicture(ReadRegularFileOrThrow(file, kMaxPictureFileBytes), "ICO",
                         "Icon image is not valid", kMaxPictureSide, kMaxPictureSide);
}

namespace {

// Calls `handler` when the left button is released over `widget`.
class TClickFilter : public QObject {
public:
    TClickFilter(QWidget* widget, std::function<void()> handler)
        : QObject(widget), FHandler(std::move(handler)) {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* me = static_cast<QMouseEvent*>(event);
            auto* w = static_cast<QWidget*>(watched);
            if (me->button() == Qt::LeftButton && w->rect().contains(me->position().toPoint()))
                FHandler();
        }
        return false;
    }

private:
    std::function<void()> FHandler;
};

} // namespace

void TfrmMain::ConnectBannerClicks() {
    new TClickFilter(ui->imgBanner, [this] { RunGuarded([this] { imgBannerClick(); }); });
    ui->gifBanner->OnClick = [this] { RunGuarded([this] { gifBannerClick(); }); };
    // A frame that fails to show later on is told once, like any error.
    ui->gifBanner->OnError = [](const std::string& message) {
        ShowErrorMessage(QString::fromLocal8Bit("The banner picture cannot be shown: " + message));
    };
}

void TfrmMain::imgBannerClick() {
    if (!FBannerURL.empty())
        OpenURL(FBannerURL);
}

void TfrmMain::gifBannerClick() {
    if (!FBannerURL.empty())
        OpenURL(FBannerURL);
}

void TfrmMain::LoadBranding() {
    const std::string folder = ProgramFolder();
    const std::string configPath = folder + BrandingConfigName;
    if (!FileExists(configPath))
        return;
    const TBrandingConfig config = ReadBrandingConfig(configPath);

    if (!config.AppName.empty())
        setWindowTitle(QString::fromLocal8Bit(config.AppName));
    setWindowTitle(windowTitle() + QStringLiteral(" v") + QString::fromLatin1(VersionText));

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
            setWindowIcon(QIcon(QPixmap::fromImage(icon)));
        });
    }
}

void TfrmMain::LoadBannerPicture(const std::string& stored) {
    // Only the name counts: a folder such as "my.gifs" in the configured
    // path, or in the program's own path, says nothing of the format.
    if (Lower(ExtractFileName(FBannerPath)).find(".gif") != std::string::npos) {
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

std::string BannerFailureMessage(const std::exception& error) {
    if (const auto* large = dynamic_cast<const EPictureTooLarge*>(&error))
        return "The banner picture is " + std::to_string(large->Width) + " x " +
               std::to_string(large->Height) + " pixels; the banner panel shows at most " +
               std::to_string(kMaxBannerWidth) + " x " + std::to_string(kMaxBannerHeight) +
               ". The program starts without the banner.";
    std::string reason = error.what();
    if (!reason.empty() && reason.back() != '.')
        reason += '.';
    return "The banner picture cannot be shown: " + reason +
           " The program starts without the banner.";
}

} // namespace quillory
