// Median times of loading the built-in skin package, step by step, and the
// ratio of our inflate to zlib's one-shot uncompress() of the same bytes.
#include "ui/SkinData.h"
#include "ui/SkinDescription.h"
#include "ui/SkinPackage.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>

using namespace quillory;

namespace {

const TCompressedStoredSkin& Skin() {
    static const TCompressedStoredSkin skin = BuiltInSkin();
    return skin;
}

const std::string& Raw() {
    static const std::string raw = InflateSkin(Skin().CompressedData);
    return raw;
}

void BM_Inflate(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(InflateSkin(Skin().CompressedData));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Raw().size()));
}

// The peer: zlib's own one-shot call, told the output size in advance, into
// a fresh buffer each time as ours returns a fresh string.
void BM_ZlibUncompress(benchmark::State& state) {
    for (auto _ : state) {
        std::string out(Raw().size(), '\0');
        uLongf size = static_cast<uLongf>(out.size());
        uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                   reinterpret_cast<const Bytef*>(Skin().CompressedData.data()),
                   static_cast<uLong>(Skin().CompressedData.size()));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Raw().size()));
}

void BM_ParsePackage(benchmark::State& state) {
    for (auto _ : state) {
        const TSkinPackage p = ParseSkinPackage(Raw());
        const TIniDescription ini(p.Description);
        benchmark::DoNotOptimize(ini.HasSection("SKINCONTROLS"));
    }
}

void BM_InflateAndParse(benchmark::State& state) {
    for (auto _ : state) {
        const TSkinPackage p = ParseSkinPackage(InflateSkin(Skin().CompressedData));
        const TIniDescription ini(p.Description);
        benchmark::DoNotOptimize(ini.HasSection("SKINCONTROLS"));
    }
}

// Everything LoadCompressedStoredSkin does, bitmaps decoded into images.
void BM_LoadIntoSkinData(benchmark::State& state) {
    TSkinData data;
    for (auto _ : state) {
        data.LoadCompressedStoredSkin(Skin());
        benchmark::DoNotOptimize(data.Empty());
    }
}

constexpr int kRepetitions = 15;
BENCHMARK(BM_Inflate)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_ZlibUncompress)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_ParsePackage)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_InflateAndParse)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
BENCHMARK(BM_LoadIntoSkinData)->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

// Collects the medians to print the ratio to the peer at the end.
class TMedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.aggregate_name == "median")
                Medians[r.run_name.function_name] = r.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Medians;
};

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::printf("built-in skin: %zu bytes compressed, %zu bytes uncompressed\n",
                Skin().CompressedData.size(), Raw().size());
    TMedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double ours = reporter.Medians["BM_Inflate"];
    const double peer = reporter.Medians["BM_ZlibUncompress"];
    if (ours > 0 && peer > 0)
        std::printf("median CPU time of inflate (the machine is shared): ours %.1f us, zlib "
                    "uncompress() into a fresh buffer %.1f us, ratio %.2f\n",
                    ours / 1000.0, peer / 1000.0, ours / peer);
    if (reporter.Medians.count("BM_InflateAndParse"))
        std::printf("median inflate + parse of the built-in package: %.1f us\n",
                    reporter.Medians["BM_InflateAndParse"] / 1000.0);
    return 0;
}
