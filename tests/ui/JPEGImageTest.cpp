// The JPEG decoder on pictures Qt writes: sizes are checked from the headers
// before decoding, damaged and cut-short data is refused instead of padded.
#include "ui/JPEGImage.h"

#include "tests/support/PictureBytes.h"

#include <gtest/gtest.h>

using namespace quillory;
using quillory::test::JpegBytes;
using quillory::test::WithJpegSize;

TEST(JPEGDecoder, SizesBeyondTheLimitsAreRefusedFromTheHeader) {
    const std::string small = JpegBytes(64, 32);
    const struct {
        const char* Name;
        std::string Bytes;
        int MaxWidth, MaxHeight;
        bool Refused;
    } cases[] = {
        {"16384 x 16384", WithJpegSize(small, 16384, 16384), kMaxPictureSide, kMaxPictureSide,
         true},
        {"4097 wide", WithJpegSize(small, 4097, 32), kMaxPictureSide, kMaxPictureSide, true},
        {"wider than asked", small, 63, 200, true},
        {"taller than asked", small, 775, 31, true},
        {"exactly as asked", small, 64, 32, false},
        {"a larger limit than the budget's stays at the budget", WithJpegSize(small, 5000, 8),
         10000, 10000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        try {
            EXPECT_EQ(DecodeJPEGPicture(c.Bytes, c.MaxWidth, c.MaxHeight).RGB.size(), 64u * 32 * 3);
            EXPECT_FALSE(c.Refused);
        } catch (const EPictureTooLarge& e) {
            EXPECT_TRUE(c.Refused);
            const TJPEGSize size = ReadJPEGSize(c.Bytes);
            EXPECT_EQ(e.Width, size.Width);
            EXPECT_EQ(e.Height, size.Height);
        }
    }
}

TEST(JPEGDecoder, DamagedOrCutShortDataIsRefused) {
    const std::string baseline = JpegBytes(64, 64);
    const std::string progressive = JpegBytes(64, 64, true);
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
    for (const auto& c : cases) {
        try {
            DecodeJPEGPicture(c.Bytes);
            ADD_FAILURE() << c.Name << ": decoded";
        } catch (const EJPEGError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("JPEG error: ", 0), 0u)
                << c.Name << ": " << e.what();
        }
    }
}
