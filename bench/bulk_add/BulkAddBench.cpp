// Adding many coupons through nginx + PHP-FPM (as sellers deploy the
// script), on SQLite and on MariaDB: the bulk add of COUNT generated coupons
// (codes drawn, taken ones drawn anew) against one add request a coupon, the
// peer, timed on PEER coupons and scaled to COUNT. Prints both times and the
// ratio; the goal is at most 5 s for 10,000 coupons.
// Usage: bench_bulk_add [COUNT] [PEER]   (QUILLORY_E2E_FRONT is set to nginx)
#include "coupons/CodeBatch.h"
#include "tests/e2e/E2EBackends.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

using namespace quillory;
using namespace quillory::e2e;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

TCoupon Pattern() {
    TCoupon c;
    c.Name = "Spring sale, bench";
    c.Expiry = TExpiryKind::ByDays;
    c.Days = 30;
    c.OrderPage = "http://shop.example/order.php?item=7";
    c.Comments = "Made by the bulk add benchmark\r\nsecond line";
    c.CreateDate = ServerDate();
    return c;
}

void Run(const std::string& name, int count, int peerCount) {
    TBackend& backend = Backend(name);
    const std::string site = backend.Php.SiteURL();
    THTTPClient http;
    TCouponService service(http, [&] { return site; });
    if (!service.DeleteCoupons("all"))
        throw std::runtime_error("cannot empty the " + name + " service");

    TCodeRules rules;
    rules.Count = count;
    rules.Prefix = "BULK-";
    rules.Length = 10;
    auto start = Clock::now();
    const TBatchResult bulk = AddCouponBatch(service, Pattern(), rules);
    const double bulkSeconds = Seconds(start);
    if (bulk.Added.size() != static_cast<std::size_t>(count) || bulk.FellBack)
        throw std::runtime_error("the bulk add did not add every coupon: " +
                                 service.FailureReason());

    // The peer: one request a coupon, as a server without the bulk action gets.
    std::set<std::string> taken;
    rules.Prefix = "ONE-";
    const auto codes = DrawCouponCodes(rules, peerCount, taken);
    start = Clock::now();
    for (const auto& code : codes) {
        TCoupon c = Pattern();
        c.Code = code;
        if (service.AddCoupon(c) != TCouponResult::Done)
            throw std::runtime_error("a single add failed: " + service.FailureReason());
    }
    const double peerSeconds = Seconds(start) * count / peerCount;
    service.DeleteCoupons("all");

    std::printf("%s (nginx + PHP-FPM):\n", name.c_str());
    std::printf("  bulk add of %d coupons              %8.2f s  (%6.0f coupons/s)  goal <= 5 s\n",
                count, bulkSeconds, count / bulkSeconds);
    std::printf("  one request a coupon (%d timed)    %8.2f s for %d  (%6.0f coupons/s)\n",
                peerCount, peerSeconds, count, count / peerSeconds);
    std::printf("  ratio (bulk / one a coupon)         %8.3f  (%.0fx faster)\n",
                bulkSeconds / peerSeconds, peerSeconds / bulkSeconds);
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int peer = argc > 2 ? std::atoi(argv[2]) : 1000;
    if (count < 1 || count > kMaxBatchCoupons || peer < 1) {
        std::fprintf(stderr, "usage: bench_bulk_add [COUNT 1..10000] [PEER]\n");
        return 2;
    }
    ::setenv("QUILLORY_E2E_FRONT", "nginx", 1);
    try {
        for (const char* name : {"SQLite", "MariaDB"})
            Run(name, count, peer);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_bulk_add: %s\n", e.what());
        return 1;
    }
    return 0;
}
