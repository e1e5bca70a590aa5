// The GIF reader against giflib on pictures made by another encoder:
// ImageMagick writes a set of GIFs at test time (depths of 1 to 8 bits,
// interlacing, local colour tables, transparency, every disposal method,
// frames at offsets, odd sizes, both versions), then every frame is decoded
// by our reader and by giflib and compared field by field and pixel by pixel.
#include "ui/GIFImage.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace quillory;
namespace fs = std::filesystem;

namespace {

// The encoder: ImageMagick's own program, not whatever else answers to
// "convert" on the PATH.
constexpr const char* kConvert = "/usr/bin/convert";

std::string RunForOutput(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        std::array<char, 512> buf;
        std::size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
            out.append(buf.data(), n);
        if (::pclose(p) != 0)
            out += "\n(exit status not 0)";
    }
    return out;
}

// One picture: ImageMagick's arguments (the output file is appended).
struct TPeerSample {
    const char* Name;
    std::string Args;
    const char* Format = "GIF";
};

std::vector<TPeerSample> Samples() {
    std::vector<TPeerSample> s;
    // Every table size from 2 to 256 colours, so every LZW code size.
    for (int bits = 1; bits <= 8; ++bits) {
        const std::string colors = std::to_string(1 << bits);
        s.push_back({"plasma-colors",
                     "-seed " + colors + " -size 61x17 plasma: +dither -colors " + colors});
    }
    // Noise in 256 colours fills the code table many times over.
    s.push_back({"noise-256", "-seed 11 -size 203x149 xc:gray +noise Random -colors 256"});
    s.push_back({"interlaced", "-seed 7 -size 37x23 plasma: -colors 200 -interlace GIF"});
    s.push_back({"interlaced-short", "-seed 8 -size 9x3 plasma: -colors 5 -interlace GIF"});
    s.push_back({"one-pixel", "-size 1x1 xc:'#3a7f19'"});
    s.push_back({"one-column", "-seed 9 -size 1x97 plasma: -colors 7"});
    s.push_back({"wide-and-low", "-seed 10 -size 257x3 plasma: -colors 33 -interlace GIF"});
    s.push_back({"gif87a", "-seed 12 -size 45x31 plasma: -colors 16", "GIF87"});
    s.push_back({"transparent", "-size 40x30 xc:none -fill '#c03030' -draw \"circle 20,15 20,5\""});
    // Frames of their own sizes and palettes at offsets, one disposal each.
    s.push_back({"disposal-and-offsets",
                 "-delay 7 -dispose None -size 50x40 xc:navy "
                 "-dispose Background -page +5+7 -size 13x9 xc:yellow "
                 "-dispose Previous -page +20+11 -seed 3 -size 17x5 plasma: "
                 "-dispose None -page +33+29 -seed 4 -size 17x11 plasma: -colors 70 "
                 "-loop 0"});
    // An animation ImageMagick optimises itself: partial frames, transparency
    // and disposals of its choosing.
    s.push_back({"optimised-animation",
                 "-delay 5 -seed 5 -size 64x48 plasma: -colors 100 "
                 "\\( +clone -fill red -draw \"rectangle 10,10 30,20\" \\) "
                 "\\( +clone -fill blue -draw \"circle 40,30 45,35\" \\) "
                 "\\( -clone 0 -fill '#00ff00' -draw \"rectangle 0,40 63,47\" \\) "
                 "-layers optimize -loop 3"});
    s.push_back({"transparent-frames",
                 "-delay 12 -dispose Background -size 30x30 xc:none -fill '#1060f0' "
                 "-draw \"rectangle 3,3 12,12\" "
                 "\\( -size 30x30 xc:none -fill '#f0a010' -draw \"circle 18,18 18,10\" \\) "
                 "-loop 0"});
    return s;
}

// A colour map as 0xRRGGBB values.
std::vector<std::uint32_t> Colors(const ColorMapObject* map) {
    std::vector<std::uint32_t> out;
    if (map != nullptr)
        for (int i = 0; i < map->ColorCount; ++i)
            out.push_back(static_cast<std::uint32_t>(map->Colors[i].Red) << 16 |
                          static_cast<std::uint32_t>(map->Colors[i].Green) << 8 |
                          map->Colors[i].Blue);
    return out;
}

// What the set of pictures covered, as giflib read them.
struct TCoverage {
    std::set<int> Bits, Disposals;
    bool Interlaced = false, LocalTable = false, Transparent = false, Offset = false,
         Version87 = false;
    int MostFrames = 0;
};

// Compares our reading of `path` with giflib's; adds what giflib saw to `seen`.
void CompareWithGiflib(const std::string& path, TCoverage& seen) {
    int error = 0;
    GifFileType* peer = DGifOpenFileName(path.c_str(), &error);
    ASSERT_NE(peer, nullptr) << "giflib cannot open it: " << GifErrorString(error);
    std::unique_ptr<GifFileType, void (*)(GifFileType*)> closer(
        peer, [](GifFileType* g) { DGifCloseFile(g, nullptr); });
    ASSERT_EQ(DGifSlurp(peer), GIF_OK)
        << "giflib cannot decode it: " << GifErrorString(peer->Error);

    TGIFImage ours;
    ASSERT_NO_THROW(ours.LoadFromFile(path));
    EXPECT_EQ(ours.ScreenWidth, peer->SWidth);
    EXPECT_EQ(ours.ScreenHeight, peer->SHeight);
    EXPECT_EQ(ours.GlobalColorTable, Colors(peer->SColorMap));
    // The version as the file's signature states it.
    char signature[7] = {};
    if (FILE* in = std::fopen(path.c_str(), "rb")) {
        if (std::fread(signature, 1, 6, in) != 6)
            signature[0] = 0;
        std::fclose(in);
    }
    const bool v87 = std::string(signature) == "GIF87a";
    ASSERT_TRUE(v87 || std::string(signature) == "GIF89a") << signature;
    EXPECT_EQ(ours.Version, v87 ? 1 : 2);
    seen.Version87 |= v87;
    ASSERT_EQ(ours.FrameCount(), peer->ImageCount);
    seen.MostFrames = std::max(seen.MostFrames, peer->ImageCount);

    for (int i = 0; i < peer->ImageCount; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i));
        const SavedImage& theirs = peer->SavedImages[i];
        const GifImageDesc& desc = theirs.ImageDesc;
        TGIFFrame& f = ours.Frame(i);
        EXPECT_EQ(f.Left, desc.Left);
        EXPECT_EQ(f.Top, desc.Top);
        EXPECT_EQ(f.Width, desc.Width);
        EXPECT_EQ(f.Height, desc.Height);
        EXPECT_EQ(f.Interlaced, desc.Interlace);
        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : peer->SColorMap;
        ASSERT_NE(map, nullptr);
        const std::vector<std::uint32_t> colors = Colors(map);
        EXPECT_EQ(f.ColorTable, colors);
        EXPECT_EQ(f.BitsPerPixel, map->BitsPerPixel);

        GraphicsControlBlock gcb{};
        const bool hasGCB = DGifSavedExtensionToGCB(peer, i, &gcb) == GIF_OK;
        if (hasGCB) {
            EXPECT_EQ(f.Disposal, gcb.DisposalMode);
            EXPECT_EQ(f.Delay, gcb.DelayTime * 10);
            if (gcb.TransparentColor != NO_TRANSPARENT_COLOR) {
                ASSERT_LT(gcb.TransparentColor, static_cast<int>(colors.size()));
                ASSERT_TRUE(f.TransparentColor.has_value());
                EXPECT_EQ(*f.TransparentColor,
                          colors[static_cast<std::size_t>(gcb.TransparentColor)]);
            } else {
                EXPECT_FALSE(f.TransparentColor.has_value());
            }
        }

        const TGIFBitmap& bitmap = f.Bitmap();
        EXPECT_FALSE(f.Corrupted);
        ASSERT_EQ(bitmap.Pixels.size(), static_cast<std::size_t>(desc.Width) * desc.Height);
        // giflib puts interlaced rows in their places, as ours does.
        const std::vector<std::uint8_t> raster(theirs.RasterBits,
                                               theirs.RasterBits + bitmap.Pixels.size());
        std::size_t differing = 0, first = 0;
        for (std::size_t p = raster.size(); p-- > 0;)
            if (raster[p] != bitmap.Pixels[p]) {
                ++differing;
                first = p;
            }
        EXPECT_EQ(differing, 0u) << "first at x " << first % static_cast<std::size_t>(desc.Width)
                                 << ", y " << first / static_cast<std::size_t>(desc.Width);
        // The colours shown are the table's, for every index the frame uses.
        for (std::size_t c = 0; c < colors.size(); ++c)
            EXPECT_EQ(bitmap.Palette[c], colors[c]);

        seen.Bits.insert(map->BitsPerPixel);
        seen.Interlaced |= desc.Interlace;
        seen.LocalTable |= desc.ColorMap != nullptr;
        seen.Offset |= desc.Left > 0 && desc.Top > 0;
        if (hasGCB) {
            seen.Disposals.insert(gcb.DisposalMode);
            seen.Transparent |= gcb.TransparentColor != NO_TRANSPARENT_COLOR;
        }
    }
}

TEST(GIFPeer, EveryFrameOfAnotherEncodersGIFsReadsAsGiflibReadsIt) {
    const std::string version = RunForOutput(std::string(kConvert) + " -version 2>&1");
    ASSERT_NE(version.find("ImageMagick"), std::string::npos)
        << kConvert << " is not ImageMagick (install the Debian package imagemagick; "
        << "scripts/setup does): " << version;

    const fs::path dir = QUILLORY_GIF_PEER_DIR;
    fs::remove_all(dir);
    fs::create_directories(dir);
    TCoverage seen;
    int n = 0;
    for (const TPeerSample& s : Samples()) {
        const fs::path file = dir / (std::to_string(n++) + "-" + s.Name + ".gif");
        SCOPED_TRACE(file.filename().string());
        const std::string command = std::string(kConvert) + " " + s.Args + " " + s.Format + ":\"" +
                                    file.string() + "\" 2>&1";
        const std::string said = RunForOutput(command);
        ASSERT_TRUE(fs::exists(file)) << command << "\n" << said;
        CompareWithGiflib(file.string(), seen);
    }

    // The pictures really had what they were made for.
    EXPECT_EQ(seen.Bits, (std::set<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(seen.Disposals, (std::set<int>{0, 1, 2, 3}));
    EXPECT_TRUE(seen.Interlaced);
    EXPECT_TRUE(seen.LocalTable);
    EXPECT_TRUE(seen.Transparent);
    EXPECT_TRUE(seen.Offset);
    EXPECT_TRUE(seen.Version87);
    EXPECT_GE(seen.MostFrames, 4);
}

} // namespace
