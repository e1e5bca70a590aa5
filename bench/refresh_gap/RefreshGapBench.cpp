// How responsive the main window stays while it refreshes a 100,000-coupon
// list (17 MB) from a loopback server: a zero-interval timer ticks on every
// turn of the event loop, and the longest gap between two ticks from the click
// until the rows are on screen is the figure. The peer does the same refresh
// the straightforward way in one handler on the GUI thread: a blocking libcurl
// POST, the general decoder, and a QTreeWidget with an item per row.
#include "app/Application.h"
#include "app/FMain.h"
#include "coupons/ListReply.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "tests/support/CouponServiceScript.h"
#include "windows/CouponListView.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QTreeWidget>

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <unistd.h>

using namespace quillory;

namespace {

constexpr int kCoupons = 100000;
constexpr int kRuns = 3;
// The large case: ours alone (the peer would take minutes), one run.
constexpr int kMillion = 1000000;

// A "kB" line of /proc/self/status, in MB.
double StatusMB(const char* key) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    double mb = -1;
    const std::size_t n = std::strlen(key);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, n) == 0)
            mb = std::atof(line + n) / 1024.0;
    std::fclose(f);
    return mb;
}

// Starts a new peak: the kernel's high-water mark of the resident set is set
// back to what is resident now.
void ResetPeak() {
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

class TBenchMain : public TfrmMain {
protected:
    void RunStartupStep() override {}
};

struct TGap {
    double Longest = 0; // ms
    double Total = 0;   // ms, from the start until the rows are painted
};

// Runs `refresh` from the event loop with a ticking timer, keeps ticking for
// a while after it returned (so the layout and paint that follow count), and
// reports the longest gap between two ticks.
TGap Measure(const std::function<void()>& refresh) {
    TGap gap;
    QElapsedTimer clock;
    qint64 last = 0;
    bool measuring = false;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (measuring)
            gap.Longest = std::max(gap.Longest, static_cast<double>(now - last) / 1e6);
        last = now;
    });
    QEventLoop loop;
    QTimer::singleShot(50, [&] {
        clock.start();
        last = 0;
        measuring = true;
        refresh();
        QCoreApplication::processEvents(); // the layout and the first paint
        gap.Total = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        QTimer::singleShot(300, [&] {
            measuring = false;
            loop.quit();
        });
    });
    ticker.start();
    loop.exec();
    return gap;
}

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* target) {
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplication app(argc, argv);
    const std::string reply = testsupport::SyntheticCouponList(kCoupons);
    testsupport::TCouponServiceScript service(
        [&](const testsupport::TCouponRequest&) { return reply; });

    const auto folder = std::filesystem::temp_directory_path() /
                        ("quillory-refresh-gap-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    SetProgramFolder(folder.string());
    WriteProfileString((folder / "settings.dat").string(), "Settings", "webserver",
                       service.SiteURL());

    std::vector<TGap> ours, peer;
    {
        TBenchMain main;
        main.show();
        for (int run = 0; run < kRuns; ++run) {
            bool ok = false;
            ours.push_back(Measure([&] { ok = main.RefreshCoupons(); }));
            if (!ok || main.CouponList()->model()->rowCount() != kCoupons) {
                std::fprintf(stderr, "the refresh failed\n");
                return 1;
            }
        }
    }

    // 1,000,000 coupons: the longest gap, and the peak of the resident set
    // above what was resident before. The server side of this process sends
    // one prepared reply from where it stands, so only the window's own
    // memory is counted.
    TGap million{};
    double millionMB = 0, peakMB = 0;
    {
        const std::string big = testsupport::PlainReply(testsupport::SyntheticCouponList(kMillion));
        millionMB = static_cast<double>(big.size()) / 1e6;
        testsupport::TLoopbackServer bigService([&](testsupport::TServerConnection& c) {
            c.ReadRequest();
            c.Send(big);
            c.Close();
        });
        bigService.Recording = false;
        WriteProfileString((folder / "settings.dat").string(), "Settings", "webserver",
                           bigService.Url(""));
        TBenchMain main;
        main.show();
        QCoreApplication::processEvents();
        const double before = StatusMB("VmRSS:");
        ResetPeak();
        bool ok = false;
        million = Measure([&] { ok = main.RefreshCoupons(); });
        peakMB = StatusMB("VmHWM:") - before;
        if (!ok || main.CouponList()->model()->rowCount() != kMillion) {
            std::fprintf(stderr, "the refresh of %d coupons failed\n", kMillion);
            return 1;
        }
    }

    curl_global_init(CURL_GLOBAL_DEFAULT);
    QTreeWidget items;
    items.setColumnCount(3);
    items.setRootIsDecorated(false);
    items.setUniformRowHeights(true);
    items.resize(775, 360);
    items.show();
    const std::string url = service.SiteURL() + "/couponsactions.php";
    for (int run = 0; run < kRuns; ++run) {
        peer.push_back(Measure([&] {
            CURL* curl = curl_easy_init();
            curl_mime* form = curl_mime_init(curl);
            for (auto [name, value] : {std::pair{"action", "5"}, std::pair{"end", ""}}) {
                curl_mimepart* part = curl_mime_addpart(form);
                curl_mime_name(part, name);
                curl_mime_data(part, value, CURL_ZERO_TERMINATED);
            }
            std::string body;
            curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
            curl_easy_setopt(curl, CURLOPT_MIMEPOST, form);
            curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
            curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
            curl_easy_perform(curl);
            curl_mime_free(form);
            curl_easy_cleanup(curl);
            const TListReply decoded = DecodeListReply(body, 4);
            items.clear();
            QList<QTreeWidgetItem*> rows;
            for (const TListRecord& r : decoded.Records) {
                auto* item = new QTreeWidgetItem(
                    QStringList{QString::fromLocal8Bit(r[2]), QString::fromLocal8Bit(r[1]),
                                TrimText(RemoveQuotes(r[3])) == "1" ? "True" : "False"});
                item->setCheckState(0, Qt::Unchecked);
                rows.append(item);
            }
            items.addTopLevelItems(rows);
        }));
    }
    curl_global_cleanup();
    std::filesystem::remove_all(folder);

    auto best = [](const std::vector<TGap>& v, double TGap::*field) {
        double b = 1e9;
        for (const TGap& g : v)
            b = std::min(b, g.*field);
        return b;
    };
    auto worst = [](const std::vector<TGap>& v, double TGap::*field) {
        double w = 0;
        for (const TGap& g : v)
            w = std::max(w, g.*field);
        return w;
    };
    std::printf("Refreshing %d coupons (%.1f MB) from a loopback server, %d runs:\n", kCoupons,
                static_cast<double>(reply.size()) / 1e6, kRuns);
    std::printf("                                         longest gap (best/worst)   total\n");
    std::printf("  ours, the main window's Refresh        %7.1f / %7.1f ms      %7.1f ms\n",
                best(ours, &TGap::Longest), worst(ours, &TGap::Longest), best(ours, &TGap::Total));
    std::printf("  peer, libcurl + split + QTreeWidget    %7.1f / %7.1f ms      %7.1f ms\n",
                best(peer, &TGap::Longest), worst(peer, &TGap::Longest), best(peer, &TGap::Total));
    std::printf("  ratio of the longest gaps (worst runs) peer / ours %.1fx\n",
                worst(peer, &TGap::Longest) / worst(ours, &TGap::Longest));
    std::printf("Refreshing %d coupons (%.1f MB), ours, one run:\n", kMillion, millionMB);
    std::printf("  longest gap %.1f ms, total %.1f ms, peak %.0f MB above the start (%.2fx the "
                "reply)\n",
                million.Longest, million.Total, peakMB, peakMB / millionMB);
    return 0;
}
