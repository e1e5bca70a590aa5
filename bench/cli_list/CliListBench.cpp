// `quillory-cli list` of 100,000 coupons against `curl -s -F action=5 URL`
// on the same server, measured in the same run, both writing to /dev/null:
//  1. the server script on SQLite under php -S (what a user sees);
//  2. a loopback server replaying that reply from memory (what the client
//     itself costs: receiving, decoding, formatting, writing).
// Each program runs several times, alternating; the median wall time counts.
// Usage: bench_cli_list [COUNT] [RUNS]
#include "coupons/CouponService.h"
#include "platform/FileSystem.h"
#include "tests/e2e/ServiceHarness.h"
#include "tests/support/LoopbackServer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <vector>

extern char** environ;

using namespace quillory;
using namespace quillory::e2e;
using Clock = std::chrono::steady_clock;

namespace {

// Runs a program with its output to `outPath`; returns the wall time in ms.
double TimeRun(const std::vector<std::string>& argv, const std::string& outPath = "/dev/null") {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0)
        throw std::runtime_error("cannot start " + argv[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(argv[0] + " failed");
    return ms;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Times both programs against one site, alternating, and prints the figures.
void Compare(const char* title, const std::string& site, int runs) {
    const std::vector<std::string> cli = {QUILLORY_CLI, "--site", site, "list"};
    const std::vector<std::string> curl = {"curl", "-s", "-F", "action=5",
                                           site + "/couponsactions.php"};
    TimeRun(cli); // warm both up (page cache, PHP's opcode cache)
    TimeRun(curl);
    std::vector<double> ours, peer;
    for (int i = 0; i < runs; ++i) {
        ours.push_back(TimeRun(cli));
        peer.push_back(TimeRun(curl));
    }
    const double o = Median(ours), p = Median(peer);
    std::printf("%s\n", title);
    std::printf("  quillory-cli list          median %8.1f ms   min %8.1f ms\n", o,
                *std::min_element(ours.begin(), ours.end()));
    std::printf("  curl -s -F action=5 (peer) median %8.1f ms   min %8.1f ms\n", p,
                *std::min_element(peer.begin(), peer.end()));
    std::printf("  ratio (ours / curl)        %.2f   (goal: at most 1.30)\n", o / p);
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    try {
        const std::string dir = MakeScratchDir("bench-cli-list");
        auto server = StartFilledCouponServer(dir, count);
        const std::string site = server->SiteURL();

        // The listing is complete: a header, one line per coupon, a count.
        const std::string listing = dir + "/list.txt";
        TimeRun({QUILLORY_CLI, "--site", site, "list"}, listing);
        const std::string text = ReadWholeFile(listing);
        if (std::count(text.begin(), text.end(), '\n') != count + 2)
            throw std::runtime_error("the listing does not hold every coupon");

        // The same reply, from memory.
        std::string reply;
        {
            THTTPClient http;
            TCouponService service(http, [&] { return site; });
            if (!service.RefreshCoupons([&](const std::string& r) { reply = r; }))
                throw std::runtime_error("the list request failed: " + service.LastError());
        }
        const std::string canned = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\n"
                                   "Content-Length: " +
                                   std::to_string(reply.size()) + "\r\nConnection: close\r\n\r\n" +
                                   reply;
        testsupport::TLoopbackServer replay([&](testsupport::TServerConnection& c) {
            c.ReadRequest();
            c.Send(canned);
            c.Close();
        });

        std::printf("quillory-cli list of %d coupons (%.1f MB reply), %d runs each\n", count,
                    static_cast<double>(reply.size()) / 1e6, runs);
        Compare("Server script on SQLite (php -S):", site, runs);
        Compare("Loopback server replaying the reply from memory:",
                "http://127.0.0.1:" + std::to_string(replay.Port()), runs);
    } catch (const std::exception& e) {
        std::cerr << "bench_cli_list: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
