#include "ui/StillPicture.h"

#include "platform/FileSystem.h"
#include "ui/JPEGImage.h"
#include "ui/SkinDescription.h"
#include "ui/SkinPackage.h"

#include <QBuffer>
#include <QImageReader>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace quillory {

EUnknownPictureExtension::EUnknownPictureExtension(const std::string& extension)
    : std::runtime_error("Unknown picture file extension (." + extension + ")") {}

std::string PictureExtension(const std::string& name) {
    const std::string file = ExtractFileName(name);
    const auto dot = file.rfind('.');
    return dot == std::string::npos ? std::string() : file.substr(dot + 1);
}

namespace {

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
    const std::string lower = LowerAscii(ext);
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

} // namespace quillory
