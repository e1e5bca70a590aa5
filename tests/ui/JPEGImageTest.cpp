// The JPEG decoder on pictures Qt writes: sizes are checked from the headers
// before decoding, damaged and cut-short data is refused instead of padded.
#include "ui/JPEGImage.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

using namespace quillory;

namespace {

std::string Jpeg(int w, int h, bool progressive = false) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(qRgb(0xE0, 0x20, 0x20));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPG");
    writer.setProgressiveScanWrite(progressive);
    writer.setQuality(95);
    EXPECT_TRUE(writer.write(img));
    return bytes.toStdString();
}

// The frame header (baseline or progressive) declaring another size.
std::string WithSize(std::string jpeg, int w, int h) {
    std::size_t sof = jpeg.find("\xFF\xC0");
    if (sof == std::string::npos)
        sof = jpeg.find("\xFF\xC2");
    EXPECT_NE(sof, std::string::npos);
    jpeg[sof + 5] = static_cast<char>(h >> 8);
    jpeg[sof + 6] = static_cast<char>(h & 0xFF);
    jpeg[sof + 7] = static_cast<char>(w >> 8);
    jpeg[sof + 8] = static_cast<char>(w & 0xFF);
    return jpeg;
}

} // namespace

TEST(JPEGDecoder, SizesBeyondTheLimitsAreRefusedFromTheHeader) {
    const std::string small = Jpeg(64, 32);
    const struct {
        const char* Name;
        std::string Bytes;
        int MaxWidth, MaxHeight;
        bool Refused;
    } cases[] = {
        {"16384 x 16384", WithSize(small, 16384, 16384), kMaxPictureSide, kMaxPictureSide, true},
        {"4097 wide", WithSize(small, 4097, 32), kMaxPictureSide, kMaxPictureSide, true},
        {"wider than asked", small, 63, 200, true},
        {"taller than asked", small, 775, 31, true},
        {"exactly as asked", small, 64, 32, false},
        {"a larger limit than the budget's stays at the budget", WithSize(small, 5000, 8), 10000,
         10000, true},
    };
    for (const auto& c : cases) {
        try {
            const TJPEGPicture p = DecodeJPEGPicture(c.Bytes, c.MaxWidth, c.MaxHeight);
            EXPECT_FALSE(c.Refused) << c.Name;
            EXPECT_EQ(p.RGB.size(), std::size_t{64} * 32 * 3) << c.Name;
        } catch (const EPictureTooLarge& e) {
            EXPECT_TRUE(c.Refused) << c.Name;
            EXPECT_EQ(e.Width, ReadJPEGSize(c.Bytes).Width) << c.Name;
            EXPECT_EQ(e.Height, ReadJPEGSize(c.Bytes).Height) << c.Name;
        }
    }
}

TEST(JPEGDecoder, DamagedOrCutShortDataIsRefused) {
    const std::string baseline = Jpeg(64, 64);
    const std::string progressive = Jpeg(64, 64, true);
    const struct {
        const char* Name;
        std::string Bytes;
    } cases[] = {
        {"empty", ""},
        {"no JPEG at all", "GIF89a"},
        {"header only", baseline.substr(0, 20)},
        {"baseline cut in the middle", baseline.substr(0, baseline.size() / 2)},
        {"baseline without its end marker and last bytes",
         baseline.substr(0, baseline.size() - 40)},
        {"progressive cut in the middle", progressive.substr(0, progressive.size() / 2)},
        // Cut short, then closed with an end marker: the scan ends early.
        {"baseline cut and closed",
         baseline.substr(0, baseline.size() * 2 / 3) + std::string("\xFF\xD9")},
    };
    for (const auto& c : cases)
        EXPECT_THROW(DecodeJPEGPicture(c.Bytes), EJPEGError) << c.Name;
    try {
        DecodeJPEGPicture(baseline.substr(0, baseline.size() / 2));
    } catch (const EJPEGError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("JPEG error: ", 0), 0u) << e.what();
    }
}
