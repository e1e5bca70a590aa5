#pragma once
// JPEG files written by Qt for the picture tests, and the same files with
// their frame header declaring another size.
#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <string>

namespace quillory::test {

inline std::string JpegBytes(int w, int h, bool progressive = false) {
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

// The frame header (baseline or progressive) rewritten to declare w x h.
inline std::string WithJpegSize(std::string jpeg, int w, int h) {
    std::size_t sof = jpeg.find("\xFF\xC0");
    if (sof == std::string::npos)
        sof = jpeg.find("\xFF\xC2");
    EXPECT_NE(sof, std::string::npos);
    if (sof == std::string::npos)
        return jpeg;
    jpeg[sof + 5] = static_cast<char>(h >> 8);
    jpeg[sof + 6] = static_cast<char>(h & 0xFF);
    jpeg[sof + 7] = static_cast<char>(w >> 8);
    jpeg[sof + 8] = static_cast<char>(w & 0xFF);
    return jpeg;
}

} // namespace quillory::test
