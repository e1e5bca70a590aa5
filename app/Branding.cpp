#include "Branding.h"

#include "ErrorReport.h"
#include "FMain.h"
#include "LinkLabel.h"
#include "UUtils.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "ui_FMain.h"
#include "update/UpdateCheck.h"

#include <QApplication>
#include <QBuffer>
#include <QIcon>
#include <QImageReader>
#include <QMouseEvent>

#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include <jpeglib.h>

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

// libjpeg reports fatal errors through error_exit; it jumps back here with
// the library's message.
struct TJPEGError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void JPEGErrorExit(j_common_ptr info) {
    auto* err = reinterpret_cast<TJPEGError*>(info->err);
    (*info->err->format_message)(info, err->Message);
    std::longjmp(err->Jump, 1);
}

void JPEGSilence(j_common_ptr, int) {}

// Where the decoder puts its pixels: packed RGB rows, allocated with malloc
// once the header has told the size.
struct TJPEGPixels {
    unsigned char* Data = nullptr;
    int Width = 0;
    int Height = 0;
};

// No banner comes near this; it keeps damaged headers from asking for gigabytes.
constexpr unsigned kMaxPictureSide = 16384;

// Only plain data lives in this frame, so the jump back from an error leaves
// nothing undone. Returns false with `message` set on failure.
bool DecodeJPEGInto(const unsigned char* data, unsigned long size, TJPEGPixels& out,
                    char* message) {
    jpeg_decompress_struct info;
    TJPEGError err;
    info.err = jpeg_std_error(&err.Manager);
    err.Manager.error_exit = JPEGErrorExit;
    err.Manager.emit_message = JPEGSilence;
    if (setjmp(err.Jump)) {
        std::strcpy(message, err.Message);
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_width == 0 || info.output_height == 0 || info.output_width > kMaxPictureSide ||
        info.output_height > kMaxPictureSide) {
        std::strcpy(message, "JPEG image size is not valid");
        jpeg_destroy_decompress(&info);
        return false;
    }
    const std::size_t stride = static_cast<std::size_t>(info.output_width) * 3;
    out.Width = static_cast<int>(info.output_width);
    out.Height = static_cast<int>(info.output_height);
    out.Data = static_cast<unsigned char*>(std::calloc(stride, info.output_height));
    if (!out.Data) {
        std::strcpy(message, "out of memory");
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.Data + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

QImage ReadQtPicture(const std::string& bytes, const char* format, const char* invalidMessage) {
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    QImage image = reader.read();
    if (image.isNull())
        throw EInvalidPicture(invalidMessage);
    return image;
}

} // namespace

QImage DecodeJPEG(const std::string& bytes) {
    TJPEGPixels pixels;
    char message[JMSG_LENGTH_MAX] = {};
    const bool ok = DecodeJPEGInto(reinterpret_cast<const unsigned char*>(bytes.data()),
                                   static_cast<unsigned long>(bytes.size()), pixels, message);
    QImage image;
    if (ok) {
        image = QImage(pixels.Width, pixels.Height, QImage::Format_RGB888);
        const std::size_t stride = static_cast<std::size_t>(pixels.Width) * 3;
        for (int y = 0; y < pixels.Height; ++y)
            std::memcpy(image.scanLine(y), pixels.Data + stride * static_cast<std::size_t>(y),
                        stride);
    }
    std::free(pixels.Data);
    if (!ok)
        throw EInvalidPicture(std::string("JPEG error: ") + message);
    return image;
}

QImage LoadStillPicture(const std::string& file, const std::string& formatName) {
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

    const std::string bytes = ReadWholeFile(file);
    if (!qtFormat)
        return DecodeJPEG(bytes);
    return ReadQtPicture(bytes, qtFormat,
                         lower == "bmp" ? "Bitmap image is not valid" : "Icon image is not valid");
}

QImage LoadIconPicture(const std::string& file) {
    return ReadQtPicture(ReadWholeFile(file), "ICO", "Icon image is not valid");
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
    } else if (Lower(ExtractFileName(FBannerPath)).find(".gif") != std::string::npos) {
        // Only the name counts: a folder such as "my.gifs" in the configured
        // path, or in the program's own path, says nothing of the format.
        ui->gifBanner->show();
        ui->imgBanner->hide();
        ui->gifBanner->Image().LoadFromFile(stored);
        ui->panBanner->setFixedHeight(ui->gifBanner->height() + 10);
    } else {
        ui->gifBanner->hide();
        ui->imgBanner->show();
        const QImage picture = LoadStillPicture(stored, ExtractFileName(FBannerPath));
        ui->imgBanner->setPixmap(QPixmap::fromImage(picture));
        ui->imgBanner->resize(picture.size());
        ui->panBanner->setFixedHeight(ui->imgBanner->height() + 10);
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

    const std::string skin = folder + BrandingSkinName;
    if (FileExists(skin))
        SkinData1.LoadCompressedSkinFile(skin);

    if (!config.IconPath.empty())
        FIconPath = config.IconPath;
    const std::string iconName = ExtractFileName(FIconPath);
    if (!iconName.empty() && FileExists(folder + iconName)) {
        const QImage icon = LoadIconPicture(folder + iconName);
        QApplication::setWindowIcon(QIcon(QPixmap::fromImage(icon)));
        setWindowIcon(QIcon(QPixmap::fromImage(icon)));
    }
}

} // namespace quillory
