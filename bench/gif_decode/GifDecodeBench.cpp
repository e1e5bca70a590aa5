// Median times of decoding every frame of a few animated GIFs, ours against
// giflib's DGifSlurp on the same bytes, and the ratio. Before timing, every
// frame's pixels are checked to be the same in both decoders.
#include "ui/GIFImage.h"
#include "ui/GIFWriter.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

using namespace quillory;

namespace {

std::vector<std::uint32_t> Palette256() {
    std::vector<std::uint32_t> p(256);
    for (int i = 0; i < 256; ++i)
        p[static_cast<std::size_t>(i)] =
            static_cast<std::uint32_t>((i * 7 & 0xFF) << 16 | (i * 13 & 0xFF) << 8 | (255 - i));
    return p;
}

// A smooth picture with some grain, as photos and rendered banners are.
std::vector<std::uint8_t> Plasma(int w, int h, int colors, double phase, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double v = std::sin(x / 37.0 + phase) + std::sin(y / 23.0 - phase) +
                             std::sin((x + y) / 51.0) +
                             std::sin(std::hypot(x - w / 2, y - h / 2) / 29.0);
            int c = static_cast<int>((v + 4) / 8 * (colors - 1));
            if (rng() % 16 == 0)
                c = (c + static_cast<int>(rng() % 3)) % colors;
            px[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
               static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(c);
        }
    return px;
}

// 1024 x 768, 256 colours, interlaced, four frames, index 0 transparent.
std::string LargeInterlacedTransparent() {
    TGIFWriterImage gif;
    gif.Width = 1024;
    gif.Height = 768;
    gif.GlobalColorTable = Palette256();
    gif.LoopCount = 0;
    for (int i = 0; i < 4; ++i) {
        TGIFWriterFrame f;
        f.Width = 1024;
        f.Height = 768;
        f.Pixels = Plasma(1024, 768, 256, i * 0.7, static_cast<unsigned>(i));
        f.Interlaced = true;
        f.TransparentIndex = 0;
        f.DelayCs = 10;
        gif.Frames.push_back(f);
    }
    return WriteGIF(gif);
}

// A 468 x 60 banner with 24 frames: a full first frame, then small updates.
std::string BannerAnimation() {
    TGIFWriterImage gif;
    gif.Width = 468;
    gif.Height = 60;
    gif.GlobalColorTable = Palette256();
    gif.GlobalColorTable.resize(64);
    for (int i = 0; i < 24; ++i) {
        TGIFWriterFrame f;
        f.Width = i == 0 ? 468 : 120;
        f.Height = 60;
        f.Left = i == 0 ? 0 : (i * 17) % 348;
        f.Pixels = Plasma(f.Width, f.Height, 64, i * 0.3, static_cast<unsigned>(100 + i));
        f.Disposal = 1;
        f.DelayCs = 8;
        gif.Frames.push_back(f);
    }
    return WriteGIF(gif);
}

std::string ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct TSample {
    std::string Name;
    std::string Bytes;
};

std::vector<TSample>& Samples() {
    static std::vector<TSample> samples = {
        {"large-interlaced-transparent", LargeInterlacedTransparent()},
        {"banner-24-frames", BannerAnimation()},
        {"sample-branding-banner", ReadFile(QUILLORY_SAMPLE_BANNER)},
    };
    return samples;
}

struct TMemoryReader {
    const std::string* Data;
    std::size_t Pos;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buf, int n) {
    auto* r = static_cast<TMemoryReader*>(gif->UserData);
    const std::size_t count =
        std::min<std::size_t>(static_cast<std::size_t>(n), r->Data->size() - r->Pos);
    std::memcpy(buf, r->Data->data() + r->Pos, count);
    r->Pos += count;
    return static_cast<int>(count);
}

// giflib: open from memory, decode every frame into its raster, close.
GifFileType* GiflibDecode(const std::string& bytes, TMemoryReader& reader) {
    reader = {&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) {
        std::fprintf(stderr, "giflib failed to decode\n");
        std::exit(1);
    }
    return gif;
}

// Ours: read the file and decode every frame.
void OursDecode(const std::string& bytes, TGIFImage& image) {
    image.LoadFromBytes(bytes);
    for (int i = 0; i < image.FrameCount(); ++i)
        benchmark::DoNotOptimize(image.Frame(i).Bitmap().Pixels.data());
}

void CheckSameFrames(const TSample& s) {
    TGIFImage ours;
    OursDecode(s.Bytes, ours);
    TMemoryReader reader;
    GifFileType* peer = GiflibDecode(s.Bytes, reader);
    bool same = ours.FrameCount() == peer->ImageCount;
    for (int i = 0; same && i < peer->ImageCount; ++i) {
        const SavedImage& frame = peer->SavedImages[i];
        const TGIFBitmap& bmp = ours.Frame(i).Bitmap();
        std::vector<std::uint8_t> raster(
            frame.RasterBits, frame.RasterBits + frame.ImageDesc.Width * frame.ImageDesc.Height);
        // DGifSlurp puts interlaced rows in their places, as ours does.
        same = raster == bmp.Pixels;
    }
    DGifCloseFile(peer, nullptr);
    std::printf("%-30s %8zu bytes, %2d frames, pixels %s giflib's\n", s.Name.c_str(),
                s.Bytes.size(), ours.FrameCount(), same ? "equal to" : "DIFFERENT FROM");
    if (!same)
        std::exit(1);
}

void BM_Ours(benchmark::State& state) {
    const TSample& s = Samples()[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state) {
        TGIFImage image;
        OursDecode(s.Bytes, image);
    }
    state.SetLabel(s.Name);
}

void BM_Giflib(benchmark::State& state) {
    const TSample& s = Samples()[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state) {
        TMemoryReader reader;
        GifFileType* gif = GiflibDecode(s.Bytes, reader);
        benchmark::DoNotOptimize(gif->SavedImages);
        DGifCloseFile(gif, nullptr);
    }
    state.SetLabel(s.Name);
}

constexpr int kRepetitions = 9;
BENCHMARK(BM_Ours)->DenseRange(0, 2)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_Giflib)->DenseRange(0, 2)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

class TMedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.aggregate_name == "median")
                Medians[r.run_name.function_name + "/" + r.run_name.args] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Medians;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    for (const TSample& s : Samples())
        CheckSameFrames(s);
    TMedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nmedian CPU time to decode every frame (ours / giflib; the machine is shared, so "
                "CPU time):\n");
    for (std::size_t i = 0; i < Samples().size(); ++i) {
        const std::string arg = std::to_string(i);
        const double ours = reporter.Medians["BM_Ours/" + arg];
        const double peer = reporter.Medians["BM_Giflib/" + arg];
        if (ours > 0 && peer > 0)
            std::printf("  %-30s ours %9.1f us, giflib %9.1f us, ratio %.2f\n",
                        Samples()[i].Name.c_str(), ours / 1000.0, peer / 1000.0, ours / peer);
    }
    return 0;
}
