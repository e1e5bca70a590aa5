// Refreshing the coupon list against the server script on SQLite, with
// 10,000 and 100,000 coupons: the time the server takes to answer (the whole
// exchange through our HTTP client) and the time the client takes to decode
// the reply, reported separately; decoding also as throughput.
//
// The closing summary compares, on the 100,000-coupon reply, the decoders the
// program uses (in place for the list, records for Edit Coupon and the
// command line) with a peer: a general split into one std::string per field,
// the straightforward way to read the format. A bare memchr pass over the
// reply for "^" shows the memory-speed ceiling.
#include "coupons/CouponList.h"
#include "coupons/CouponRecord.h"
#include "coupons/CouponService.h"
#include "platform/FileSystem.h"
#include "tests/e2e/ServiceHarness.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <filesystem>
#include <iostream>
#include <map>
#include <memory>

using namespace quillory;
using namespace quillory::e2e;

namespace {

struct TDataSet {
    std::unique_ptr<TPhpCouponServer> Server;
    std::string Reply; // one reply, kept for the decode runs
};

std::map<int, TDataSet>& DataSets() {
    static std::map<int, TDataSet> sets;
    return sets;
}

// Starts a server on a fresh SQLite file holding `count` coupons.
void Prepare(int count) {
    const std::string dir = MakeScratchDir("bench-" + std::to_string(count));
    auto server = StartFilledCouponServer(dir, count);
    THTTPClient http;
    const std::string site = server->SiteURL();
    TCouponService service(http, [&] { return site; });
    TDataSet& set = DataSets()[count];
    if (!service.RefreshCoupons([&](const std::string& r) { set.Reply = r; }))
        throw std::runtime_error("the list request failed: " + service.LastError());
    if (DecodeCouponList(set.Reply).size() != static_cast<std::size_t>(count))
        throw std::runtime_error("the list does not hold every coupon");
    set.Server = std::move(server);
}

void ServerReply(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    TDataSet& set = DataSets().at(count);
    THTTPClient http;
    const std::string site = set.Server->SiteURL();
    TCouponService service(http, [&] { return site; });
    std::size_t bytes = 0;
    for (auto _ : state) {
        if (!service.RefreshCoupons([&](const std::string& r) { bytes = r.size(); }))
            state.SkipWithError("the list request failed");
    }
    state.counters["reply_MB"] = static_cast<double>(bytes) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void ClientDecode(benchmark::State& state) {
    const TDataSet& set = DataSets().at(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto coupons = DecodeCouponList(set.Reply);
        benchmark::DoNotOptimize(coupons.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * set.Reply.size()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ClientDecodeInPlace(benchmark::State& state) {
    const TDataSet& set = DataSets().at(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TCouponList list{std::string(set.Reply)};
        benchmark::DoNotOptimize(list.Count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * set.Reply.size()));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Best of `runs` timings of `work`, in seconds of this thread's CPU time (on a
// shared machine the wall time also counts other programs' turns).
template <typename Work> double BestOf(int runs, Work&& work) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const double t0 = ThreadSeconds();
        work();
        best = std::min(best, ThreadSeconds() - t0);
    }
    return best;
}

void PrintDecodeSummary() {
    const std::string& reply = DataSets().at(100000).Reply;
    const double mb = static_cast<double>(reply.size()) / 1e6;
    std::size_t sink = 0;
    const double inPlace = BestOf(7, [&] { sink += TCouponList(std::string(reply)).Count(); });
    const double records = BestOf(7, [&] { sink += DecodeCouponList(reply).size(); });
    const double peer =
        BestOf(7, [&] { sink += DecodeListReply(reply, kCouponRecordFields).Records.size(); });
    const double scan = BestOf(7, [&] {
        for (const char *p = reply.data(), *end = p + reply.size();
             (p = static_cast<const char*>(std::memchr(p, '^', end - p))); ++p)
            ++sink;
    });
    std::printf("\nDecoding the 100,000-coupon list reply (%.1f MB), best of 7, CPU time:\n", mb);
    std::printf("  ours, in place (coupon list)    %7.1f ms  %7.0f MB/s\n", inPlace * 1e3,
                mb / inPlace);
    std::printf("  ours, records (Edit, CLI)       %7.1f ms  %7.0f MB/s\n", records * 1e3,
                mb / records);
    std::printf("  peer, std::string per field     %7.1f ms  %7.0f MB/s\n", peer * 1e3, mb / peer);
    std::printf("  memchr scan for \"^\" (ceiling) %7.1f ms  %7.0f MB/s\n", scan * 1e3, mb / scan);
    std::printf("  ratio in place / peer %.1fx, records / peer %.1fx  (%zu)\n", peer / inPlace,
                peer / records, sink % 10);
}

void ClientDecodeFields(benchmark::State& state) {
    const TDataSet& set = DataSets().at(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto reply = DecodeListReply(set.Reply, kCouponRecordFields);
        benchmark::DoNotOptimize(reply.Records.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * set.Reply.size()));
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    try {
        for (int count : {10000, 100000})
            Prepare(count);
    } catch (const std::exception& e) {
        std::cerr << "coupon_list: " << e.what() << "\n";
        return 1;
    }
    for (int count : {10000, 100000}) {
        benchmark::RegisterBenchmark("ServerReply", ServerReply)
            ->Arg(count)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(count > 10000 ? 3 : 10);
        benchmark::RegisterBenchmark("ClientDecode", ClientDecode)
            ->Arg(count)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("ClientDecodeInPlace", ClientDecodeInPlace)
            ->Arg(count)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("ClientDecodeFields", ClientDecodeFields)
            ->Arg(count)
            ->Unit(benchmark::kMillisecond);
    }
    std::cout << "Reply sizes: 10,000 coupons " << DataSets()[10000].Reply.size()
              << " bytes, 100,000 coupons " << DataSets()[100000].Reply.size() << " bytes\n";
    benchmark::RunSpecifiedBenchmarks();
    PrintDecodeSummary();
    for (auto& [count, set] : DataSets())
        set.Server->Stop();
    benchmark::Shutdown();
    std::error_code ec;
    for (int count : {10000, 100000})
        std::filesystem::remove_all(MakeScratchDir("bench-" + std::to_string(count)), ec);
    return 0;
}
