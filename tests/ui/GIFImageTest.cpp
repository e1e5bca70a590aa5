// The GIF reader, LZW decoder and frame composition, on GIFs the tests build
// themselves; decoded pixels are compared with the pictures they were made from.
#include "ui/GIFImage.h"
#include "ui/GIFWriter.h"

#include <gtest/gtest.h>

#include <random>

using namespace quillory;

namespace {

std::vector<std::uint8_t> RandomIndices(int w, int h, int colors, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    // Runs of equal pixels, as real pictures have, mixed with noise.
    std::uint8_t run = 0;
    for (std::size_t i = 0; i < px.size(); ++i) {
        if (rng() % 4 == 0)
            run = static_cast<std::uint8_t>(rng() % static_cast<unsigned>(colors));
        px[i] = run;
    }
    return px;
}

std::vector<std::uint32_t> Palette(int colors) {
    std::vector<std::uint32_t> p(static_cast<std::size_t>(colors));
    for (int i = 0; i < colors; ++i)
        p[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(
            ((i * 37) & 0xFF) << 16 | ((i * 11) & 0xFF) << 8 | (255 - i));
    return p;
}

TGIFWriterFrame Frame(int left, int top, int w, int h, std::vector<std::uint8_t> px) {
    TGIFWriterFrame f;
    f.Left = left;
    f.Top = top;
    f.Width = w;
    f.Height = h;
    f.Pixels = std::move(px);
    return f;
}

std::vector<std::uint8_t> Fill(int w, int h, std::uint8_t v) {
    return std::vector<std::uint8_t>(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), v);
}

TGIFWriterFrame Solid(int left, int top, int w, int h, std::uint8_t v) {
    return Frame(left, top, w, h, Fill(w, h, v));
}

// A w x h screen with a palette of `colors` entries (none when 0).
TGIFWriterImage Gif(int w, int h, int colors, std::vector<TGIFWriterFrame> frames = {}) {
    TGIFWriterImage g;
    g.Width = w;
    g.Height = h;
    if (colors)
        g.GlobalColorTable = Palette(colors);
    g.Frames = std::move(frames);
    return g;
}

TGIFImage Load(const std::string& bytes) {
    TGIFImage img;
    img.LoadFromBytes(bytes);
    return img;
}

int ErrorId(const std::string& bytes, std::string* message = nullptr) {
    try {
        TGIFImage img;
        img.LoadFromBytes(bytes);
    } catch (const EGIFError& e) {
        if (message)
            *message = e.what();
        return e.Id;
    }
    return -1;
}

struct RoundTripCase {
    int Width, Height, Colors;
    bool Interlaced;
};

class GIFRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(GIFRoundTrip, DecodesExactlyThePixelsItWasMadeFrom) {
    const RoundTripCase c = GetParam();
    TGIFWriterImage w = Gif(c.Width, c.Height, c.Colors);
    auto px =
        RandomIndices(c.Width, c.Height, c.Colors, static_cast<unsigned>(c.Width * 31 + c.Height));
    TGIFWriterFrame f = Frame(0, 0, c.Width, c.Height, px);
    f.Interlaced = c.Interlaced;
    w.Frames.push_back(f);

    TGIFImage img = Load(WriteGIF(w));
    ASSERT_EQ(img.FrameCount(), 1);
    TGIFFrame& fr = img.Frame(0);
    EXPECT_FALSE(fr.Corrupted);
    const TGIFBitmap& bmp = fr.Bitmap();
    ASSERT_EQ(bmp.Width, c.Width);
    ASSERT_EQ(bmp.Height, c.Height);
    EXPECT_EQ(bmp.Pixels, px);
    const int expectedDepth = c.Colors <= 2 ? 1 : c.Colors <= 16 ? 4 : 8;
    EXPECT_EQ(bmp.Depth, expectedDepth);
    EXPECT_EQ(bmp.PixelColor(c.Width - 1, c.Height - 1), w.GlobalColorTable[px.back()]);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, GIFRoundTrip,
    ::testing::Values(RoundTripCase{1, 1, 2, false}, RoundTripCase{13, 7, 2, false},
                      RoundTripCase{40, 30, 4, false}, RoundTripCase{64, 64, 16, false},
                      // Large enough for the code table to fill and be cleared.
                      RoundTripCase{500, 300, 256, false}, RoundTripCase{333, 211, 32, true},
                      // Interlaced heights where the four passes are partly empty.
                      RoundTripCase{9, 1, 4, true}, RoundTripCase{9, 2, 4, true},
                      RoundTripCase{9, 3, 4, true}, RoundTripCase{9, 5, 4, true},
                      RoundTripCase{9, 17, 4, true}));

TEST(GIFReader, InterlacedRowsAreEachFilledOnce) {
    // Each row holds its own row number: a pass that misses or repeats a row shows.
    for (int h : {1, 2, 3, 5}) {
        std::vector<std::uint8_t> px;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < 4; ++x)
                px.push_back(static_cast<std::uint8_t>(y + 1));
        TGIFWriterImage w = Gif(4, h, 8);
        TGIFWriterFrame f = Frame(0, 0, 4, h, px);
        f.Interlaced = true;
        w.Frames.push_back(f);
        TGIFImage img = Load(WriteGIF(w));
        EXPECT_EQ(img.Frame(0).Bitmap().Pixels, px) << "height " << h;
    }
}

TEST(GIFReader, SignatureRules) {
    TGIFWriterImage w = Gif(2, 2, 2, {Solid(0, 0, 2, 2, 1)});
    const std::pair<const char*, int> cases[] = {{"GIF89a", 2}, {"GIF87a", 1}, {"gif89a", 2},
                                                 {"GiF87A", 1}, {"GIF88a", 0}, {"GIX89a", 0},
                                                 {"PNG89a", 0}}; // version, 0: refused
    for (const auto& [signature, version] : cases) {
        w.Signature = signature;
        const std::string bytes = WriteGIF(w);
        if (version)
            EXPECT_EQ(Load(bytes).Version, version) << signature;
        else
            EXPECT_EQ(ErrorId(bytes), sGIFImageVersion) << signature;
    }
}

TEST(GIFReader, DelaysAreMillisecondsInSixteenBits) {
    TGIFWriterImage w = Gif(2, 2, 2);
    for (int cs : {0, 20, 1500, 6600}) {
        TGIFWriterFrame f = Solid(0, 0, 2, 2, 0);
        f.DelayCs = cs;
        w.Frames.push_back(f);
    }
    TGIFImage img = Load(WriteGIF(w));
    ASSERT_EQ(img.FrameCount(), 4);
    const int expected[] = {0, 200, 15000, 464}; // 66000 wraps in 16 bits
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(img.Frame(i).Delay, expected[i]) << i;
}

TEST(GIFReader, GraphicControlFieldsGoWithTheNextImage) {
    TGIFWriterImage w = Gif(4, 4, 4);
    w.LoopCount = 1;
    TGIFWriterFrame a = Frame(0, 0, 0, 0, Fill(4, 4, 2)); // 0 x 0 takes the screen size
    a.Disposal = 2;
    a.TransparentIndex = 3;
    w.Frames.push_back(a);
    TGIFWriterFrame b = Solid(1, 1, 2, 2, 1);
    b.TransparentIndex = 9; // outside the table: no transparent colour
    w.Frames.push_back(b);
    TGIFImage img = Load(WriteGIF(w));
    ASSERT_EQ(img.FrameCount(), 2);
    EXPECT_EQ(std::pair(img.Frame(0).Width, img.Frame(0).Height), std::pair(4, 4));
    EXPECT_EQ(img.Frame(0).Disposal, 2);
    EXPECT_EQ(img.Frame(0).TransparentColor, w.GlobalColorTable[3]);
    EXPECT_FALSE(img.Frame(1).TransparentColor.has_value());
    EXPECT_TRUE(img.Looping);
    EXPECT_EQ(img.RepeatCount, 1);
    EXPECT_EQ(img.BackgroundColor, w.GlobalColorTable[0]);
    EXPECT_EQ(img.FrameIndex, 0);
    EXPECT_TRUE(img.Frame(0).Decoded());  // frame 0 is decoded on load
    EXPECT_FALSE(img.Frame(1).Decoded()); // the others on first use
}

TEST(GIFReader, BytesBetweenBlocks) {
    const TGIFWriterImage w = Gif(3, 3, 2, {Solid(0, 0, 3, 3, 1)});
    const std::string good = WriteGIF(w), header = WriteGIFHeader(w);
    const std::string body = good.substr(0, good.size() - 1); // without the trailer
    // Trailing garbage after the last image, or zero bytes before the next
    // block: the frames read stand.
    EXPECT_EQ(Load(body + "garbage!").FrameCount(), 1);
    EXPECT_EQ(Load(body + std::string(3, '\0') + ";").FrameCount(), 1);
    // A comment block right before the trailer becomes the picture's comment.
    EXPECT_EQ(Load(body + std::string("!\xFE\x05hello\0;", 10)).Comment,
              std::vector<std::string>{"hello"});
    // A header alone reads as a picture without frames.
    EXPECT_TRUE(Load(header).Empty());
}

TEST(GIFReader, RefusedPicturesNameTheirFault) {
    const std::string header = WriteGIFHeader(Gif(3, 3, 2));
    TGIFWriterImage huge = Gif(65535, 65535, 2, {Frame(0, 0, 65535, 65535, {})});
    TGIFWriterImage signature = Gif(2, 2, 2, {Solid(0, 0, 2, 2, 1)});
    signature.Signature = "GIF88a";
    const struct {
        const char* Name;
        std::string Bytes;
        int Id;
        std::string Message;
    } cases[] = {
        {"version", WriteGIF(signature), sGIFImageVersion, "GIF image version not recognised"},
        {"garbage after the colour table",
         header + "X" + WriteGIF(Gif(3, 3, 2)).substr(header.size()), 0, "Stream read error"},
        {"unknown extension", header + "!\x42", sGIFUnknownExt, "Undefined GIF extension: 42"},
        {"cut descriptor", header + ",\x01\x00", 0, "Stream read error"},
        {"no colour table", WriteGIF(Gif(2, 2, 0, {Solid(0, 0, 2, 2, 0)})), sGIFBitsPerPixel,
         "Invalid number of colours, must be a power of 2"},
        // Refused from the header, before any pixel memory is asked for.
        {"65535 x 65535", WriteGIF(huge), sGIFDecodeError,
         "GIF image is 65535 x 65535 pixels, larger than 4096 x 4096"},
        {"screen one pixel too wide", WriteGIF(Gif(4097, 2, 2, {Solid(0, 0, 2, 2, 1)})),
         sGIFDecodeError, "GIF image is 4097 x 2 pixels, larger than 4096 x 4096"},
        {"frame one pixel too tall",
         WriteGIFHeader(Gif(8, 8, 2)) + std::string(",\0\0\0\0\x02\0\x01\x10\0", 10),
         sGIFDecodeError, "GIF image is 2 x 4097 pixels, larger than 4096 x 4096"},
    };
    for (const auto& c : cases) {
        std::string message;
        EXPECT_EQ(ErrorId(c.Bytes, &message), c.Id) << c.Name;
        EXPECT_EQ(message, c.Message) << c.Name;
    }
    // A small frame on a huge screen is refused just the same: every
    // composed picture has the screen's size.
    huge.Frames[0] = Solid(0, 0, 2, 2, 1);
    TGIFImage img;
    EXPECT_THROW(img.LoadFromBytes(WriteGIF(huge)), EGIFTooLarge);
    EXPECT_TRUE(img.Empty());
    // The largest screen is taken.
    img = Load(WriteGIF(Gif(4096, 4096, 2, {Solid(0, 0, 2, 2, 1)})));
    EXPECT_EQ(img.FrameCount(), 1);
    // A failed load leaves the picture reset.
    EXPECT_THROW(img.LoadFromBytes("GIF89a\x01"), EGIFError);
    EXPECT_TRUE(img.Empty());
    EXPECT_EQ(img.FrameIndex, -1);
    EXPECT_EQ(img.ScreenWidth, 0);
}

TEST(GIFDecoder, DamagedDataNeverReadsPastTheEnd) {
    const int W = 20, H = 10;
    auto px = RandomIndices(W, H, 4, 7);
    TGIFWriterImage w = Gif(W, H, 4);
    TGIFWriterFrame f = Frame(0, 0, W, H, px);
    f.GraphicControl = false;
    w.Frames.push_back(f);
    const std::string header = WriteGIFHeader(w);
    const std::string codes = EncodeGIFLZW(px, 2);

    // The codes cut in half, properly terminated: the decoded rows match, the
    // rest stays at index 0.
    std::string block = WriteGIFImageBlock(f, 4);
    const std::string descriptor = block.substr(0, 10);
    const std::string half = codes.substr(0, codes.size() / 2);
    TGIFImage img = Load(header + descriptor + "\x02" + GIFSubBlocks(half) + ";");
    const TGIFBitmap& bmp = img.Frame(0).Bitmap();
    std::size_t same = 0;
    while (same < px.size() && bmp.Pixels[same] == px[same])
        ++same;
    EXPECT_GT(same, 0u);
    EXPECT_LT(same, px.size());
    for (std::size_t i = px.size() - 5; i < px.size(); ++i)
        EXPECT_EQ(bmp.Pixels[i], 0);

    // A sub-block whose length runs past the end: the frame is kept, corrupted.
    std::string cut = header + descriptor + "\x02" + std::string(1, '\xFF') + codes.substr(0, 10);
    TGIFImage corrupted = Load(cut);
    ASSERT_EQ(corrupted.FrameCount(), 1);
    EXPECT_TRUE(corrupted.Frame(0).Corrupted);

    // A code size outside 2..9 is clamped and the frame marked corrupted.
    TGIFImage clamped = Load(header + descriptor + "\x0B" + GIFSubBlocks(codes) + ";");
    EXPECT_TRUE(clamped.Frame(0).Corrupted);

    // A code that refers to nothing ends the frame, marked corrupted.
    TGIFImage bad = Load(header + descriptor + "\x02" + GIFSubBlocks(std::string("\x3C", 1)) + ";");
    EXPECT_TRUE(bad.Frame(0).Corrupted);
}

// Composition: 6 x 4 screen, colours by index: 0 white, 1 red, 2 green, 3 blue.
class GIFCompose : public ::testing::Test {
protected:
    void SetUp() override {
        w.Width = 6;
        w.Height = 4;
        w.GlobalColorTable = {0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF};
        w.BackgroundIndex = 0;
    }
    std::vector<std::uint32_t> Screen(std::uint32_t c) const {
        return std::vector<std::uint32_t>(24, c);
    }
    static void Paint(std::vector<std::uint32_t>& s, int l, int t, int wd, int ht,
                      std::uint32_t c) {
        for (int y = t; y < t + ht; ++y)
            for (int x = l; x < l + wd; ++x)
                s[static_cast<std::size_t>(y * 6 + x)] = c;
    }
    TGIFWriterImage w;
};

TEST_F(GIFCompose, DisposalTwoOnTheMiddleFrameClearsItsRectangle) {
    w.Frames.push_back(Solid(0, 0, 6, 4, 1));      // red screen
    TGIFWriterFrame middle = Solid(1, 1, 2, 2, 2); // green square
    middle.Disposal = 2;
    w.Frames.push_back(middle);
    w.Frames.push_back(Solid(4, 0, 2, 1, 3)); // blue bar
    const std::string bytes = WriteGIF(w);
    const std::uint32_t window = 0x123456;

    std::vector<std::uint32_t> expect = Screen(0xFF0000);
    Paint(expect, 1, 1, 2, 2, window); // cleared to the background colour
    Paint(expect, 4, 0, 2, 1, 0x0000FF);

    // Step by step through the cache, and straight to frame 2.
    TGIFImage a = Load(bytes);
    TGIFComposer step;
    step.Compose(a, 0, window, true);
    std::vector<std::uint32_t> one = Screen(0xFF0000);
    Paint(one, 1, 1, 2, 2, 0x00FF00);
    EXPECT_EQ(step.Compose(a, 1, window, true).Pixels, one);
    EXPECT_EQ(step.Compose(a, 2, window, true).Pixels, expect);

    TGIFImage b = Load(bytes);
    TGIFComposer direct;
    EXPECT_EQ(direct.Compose(b, 2, window, true).Pixels, expect);
    // Asking past the last frame shows the last one.
    TGIFComposer past;
    EXPECT_EQ(past.Compose(b, 9, window, true).Pixels, expect);
}

TEST_F(GIFCompose, RestoreToPreviousFrameIsReplayedNotIncremental) {
    w.Frames.push_back(Solid(0, 0, 6, 4, 1));
    TGIFWriterFrame restoring = Solid(0, 0, 3, 2, 2);
    restoring.Disposal = 3;
    w.Frames.push_back(restoring);
    w.Frames.push_back(Solid(5, 3, 1, 1, 3));
    TGIFImage img = Load(WriteGIF(w));
    TGIFComposer c;
    c.Compose(img, 1, 0, true);
    std::vector<std::uint32_t> expect = Screen(0xFF0000);
    Paint(expect, 5, 3, 1, 1, 0x0000FF);
    EXPECT_EQ(c.Compose(img, 2, 0, true).Pixels, expect);
}

TEST_F(GIFCompose, TransparencyIsByColour) {
    // Entries 1 and 3 have the same colour; entry 1 is the transparent one.
    w.GlobalColorTable = {0xFFFFFF, 0x00FF00, 0xFF0000, 0x00FF00};
    std::vector<std::uint8_t> px = {0, 1, 2, 3, 0, 1, //
                                    2, 2, 2, 2, 2, 2, //
                                    3, 3, 3, 3, 3, 3, //
                                    0, 0, 0, 0, 0, 0};
    TGIFWriterFrame f = Frame(0, 0, 6, 4, px);
    f.TransparentIndex = 1;
    w.Frames.push_back(f);
    TGIFImage img = Load(WriteGIF(w));
    EXPECT_TRUE(img.IsTransparent());
    TGIFComposer c;
    const TGIFComposed& out = c.Compose(img, 0, 0xABCDEF, true);
    ASSERT_TRUE(out.TransparentColor.has_value());
    EXPECT_EQ(*out.TransparentColor, 0x00FF00u);
    for (std::size_t i = 0; i < px.size(); ++i) {
        const bool seeThrough = px[i] == 1 || px[i] == 3;
        EXPECT_EQ(out.Pixels[i] == *out.TransparentColor, seeThrough) << i;
    }
    // With the control's switch off the picture is drawn opaque.
    TGIFComposer opaque;
    EXPECT_FALSE(opaque.Compose(img, 0, 0xABCDEF, false).TransparentColor.has_value());
    img.Transparent = false;
    EXPECT_FALSE(img.IsTransparent());
}

// A GIF of `count` full-screen frames of w x h, frame i filled with colour
// index i % 4; the frame block is encoded once per colour and repeated.
std::string ManyFrames(int w, int h, int count) {
    TGIFWriterImage g = Gif(w, h, 4);
    std::string out = WriteGIFHeader(g), blocks[4];
    for (int v = 0; v < 4; ++v) {
        TGIFWriterFrame f = Solid(0, 0, w, h, static_cast<std::uint8_t>(v));
        f.DelayCs = 2;
        blocks[v] = WriteGIFImageBlock(f, 4);
    }
    for (int i = 0; i < count; ++i)
        out += blocks[i % 4];
    return out + ";";
}

// However many frames an animation has, its decoded frames hold at most the
// picture budget; frames dropped to make room decode again, the same.
TEST(GIFBudget, DecodedFramesStayWithinTheBudget) {
    const struct {
        int Side, Frames;
        std::size_t Budget; // 0: the program's own
    } cases[] = {{64, 40, 5 * (64 * 64 + 64)}, {32, 9, 32 * 32 + 64}, {4096, 6, 0}};
    const auto palette = Palette(4);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Side);
        TGIFImage img;
        if (c.Budget)
            img.SetDecodedBudget(c.Budget);
        img.LoadFromBytes(ManyFrames(c.Side, c.Side, c.Frames));
        ASSERT_EQ(img.FrameCount(), c.Frames);
        const std::size_t budget = img.DecodedBudget(), frameBytes = std::size_t(c.Side) * c.Side;
        // Without the budget every frame would stay decoded.
        ASSERT_GT(frameBytes * c.Frames, budget);
        TGIFComposer composer;
        for (int i = 0; i < 2 * c.Frames; ++i) {
            const int f = i % c.Frames;
            EXPECT_EQ(composer.Compose(img, f, 0xFFFFFF, true).Pixels[frameBytes / 2],
                      palette[std::size_t(f % 4)])
                << "frame " << f;
            EXPECT_LE(img.DecodedBytes(), budget);
        }
        // Composed from scratch, far from the cached frame.
        EXPECT_EQ(TGIFComposer().Compose(img, c.Frames - 2, 0xFFFFFF, true).Pixels[0],
                  palette[std::size_t((c.Frames - 2) % 4)]);
        EXPECT_LE(img.PeakDecodedBytes(), budget);
        EXPECT_GE(img.PeakDecodedBytes(), frameBytes);
        // A new load starts counting afresh.
        img.LoadFromBytes(ManyFrames(8, 8, 2));
        EXPECT_EQ(img.DecodedBytes(), img.Frame(0).DecodedBytes());
    }
}

} // namespace
