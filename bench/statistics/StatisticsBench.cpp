// Opening the statistics window on 100,000 redemptions served from loopback
// and showing them all: the whole time, and the longest gap between two
// turns of the event loop (what the user feels as a frozen window). The peer
// is the plain way: the same exchange, the reply decoded in one go and put
// into an item-based table (QTableWidget), one item per cell. Then, on the
// rows shown, sorting by each column (a header click) against the item
// table's own sortItems, and switching to the "By coupon" view.
#include "coupons/CouponRecord.h"
#include "http/AntiFreeze.h"
#include "tests/support/LoopbackServer.h"
#include "windows/FStatistics.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace quillory;
using quillory::testsupport::TLoopbackServer;
using quillory::testsupport::TServerConnection;

namespace {

constexpr int kRecords = 100000;

std::string MakeReply() {
    std::string body;
    body.reserve(static_cast<std::size_t>(kRecords) * 56);
    char when[32];
    for (int i = 0; i < kRecords; ++i) {
        std::snprintf(when, sizeof when, "2008-%02d-%02d %02d:%02d:%02d", 1 + i % 12, 1 + i % 28,
                      i % 24, i % 60, (i * 7) % 60);
        body += "\"" + std::to_string(i + 1) + "\",\"CODE" + std::to_string(i % 5000) + "\",\"" +
                when + "\",\"10.0." + std::to_string(i % 250) + "." + std::to_string(i % 200) +
                "\"^";
    }
    body += "OK";
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct TFigures {
    double TotalMs = 0;
    double MaxGapMs = 0;
    int Rows = 0;
};

// Runs `work` while a 1 ms timer notes every turn of the event loop.
template <typename F> TFigures Measure(F&& work) {
    QElapsedTimer clock;
    qint64 last = 0, maxGap = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        maxGap = std::max(maxGap, now - last);
        last = now;
    });
    ticker.start();
    QApplication::processEvents();
    clock.start();
    TFigures f;
    f.Rows = work();
    const qint64 end = clock.nsecsElapsed();
    maxGap = std::max(maxGap, end - last);
    f.TotalMs = static_cast<double>(end) / 1e6;
    f.MaxGapMs = static_cast<double>(maxGap) / 1e6;
    return f;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    TAntiFreeze pump;
    TAntiFreeze::SetHook([](bool) { QCoreApplication::processEvents(QEventLoop::AllEvents); });

    const std::string reply = MakeReply();
    TLoopbackServer server([&](TServerConnection& c) {
        c.ReadRequest();
        c.Send(reply);
        c.Close();
    });
    const std::string site = "http://127.0.0.1:" + std::to_string(server.Port());
    THTTPClient http;
    TCouponService service(http, [&] { return site; });
    TSkinMessage messages;

    std::printf("Statistics window, %d redemptions (%.1f MB reply) over loopback\n", kRecords,
                static_cast<double>(reply.size()) / 1e6);
    const int runs = 3;
    TFigures ours, peer;
    for (int run = 0; run < runs; ++run) {
        const TFigures o = Measure([&] {
            TfrmStats window(service, messages, TFormatSettings::EnglishUS());
            window.show();
            window.findChild<QPushButton*>("btnShow")->click();
            QApplication::processEvents();
            return window.ItemsModel().rowCount();
        });
        const TFigures p = Measure([&] {
            QTableWidget table(0, 3);
            table.show();
            bool ok = service.LoadStatistics([&](const std::string& text) {
                const std::vector<TRedemptionRecord> records = DecodeRedemptionList(text);
                table.setRowCount(static_cast<int>(records.size()));
                const TFormatSettings fs = TFormatSettings::EnglishUS();
                for (int r = 0; r < static_cast<int>(records.size()); ++r) {
                    const TRedemptionRecord& rec = records[static_cast<std::size_t>(r)];
                    table.setItem(r, 0, new QTableWidgetItem(QString::fromLocal8Bit(rec.Code)));
                    table.setItem(r, 1,
                                  new QTableWidgetItem(QString::fromLocal8Bit(
                                      FormatDateUsed(ParseServerDateTime(rec.DateUsed), fs))));
                    table.setItem(r, 2,
                                  new QTableWidgetItem(QString::fromLocal8Bit(rec.ComputerIP)));
                }
            });
            QApplication::processEvents();
            return ok ? table.rowCount() : -1;
        });
        if (run == 0 || o.TotalMs < ours.TotalMs)
            ours = o;
        if (run == 0 || p.TotalMs < peer.TotalMs)
            peer = p;
    }
    std::printf("%-44s %10s %14s %8s\n", "", "total ms", "max gap ms", "rows");
    std::printf("%-44s %10.1f %14.1f %8d\n", "ours: TfrmStats (decode in steps, model/view)",
                ours.TotalMs, ours.MaxGapMs, ours.Rows);
    std::printf("%-44s %10.1f %14.1f %8d\n", "peer: one-shot decode into QTableWidget",
                peer.TotalMs, peer.MaxGapMs, peer.Rows);
    std::printf("ratio ours/peer: total %.2f, max gap %.2f (best of %d runs)\n",
                ours.TotalMs / peer.TotalMs, ours.MaxGapMs / peer.MaxGapMs, runs);

    // Sorting the rows shown, best of the runs per column: ours by a click on
    // the header, the peer by QTableWidget::sortItems on the same rows.
    // The first click on a column also makes its sort keys: it is shown apart.
    double oursSort[3] = {0, 0, 0}, oursFirst[3] = {0, 0, 0}, peerSort[3] = {0, 0, 0}, byCoupon = 0;
    auto time = [](double& best, int run, auto&& work, double* first = nullptr) {
        QElapsedTimer t;
        t.start();
        work();
        QApplication::processEvents();
        const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
        if (run == 0 && first)
            *first = ms;
        if (run == 0 || ms < best)
            best = ms;
    };
    {
        TfrmStats window(service, messages, TFormatSettings::EnglishUS());
        window.show();
        window.findChild<QPushButton*>("btnShow")->click();
        QHeaderView* header = window.findChild<QTableView*>("lvwItems")->horizontalHeader();
        for (int run = 0; run < runs; ++run) {
            for (int c = 0; c < 3; ++c)
                time(
                    oursSort[c], run, [&] { emit header->sectionClicked(c); }, &oursFirst[c]);
            time(byCoupon, run, [&] { window.findChild<QPushButton*>("btnViewCoupons")->click(); });
            window.findChild<QPushButton*>("btnViewTraces")->click();
        }
    }
    {
        const std::vector<TRedemptionRecord> records =
            DecodeRedemptionList(reply.substr(reply.find("\r\n\r\n") + 4));
        QTableWidget table(static_cast<int>(records.size()), 3);
        const TFormatSettings fs = TFormatSettings::EnglishUS();
        for (int r = 0; r < static_cast<int>(records.size()); ++r) {
            const TRedemptionRecord& rec = records[static_cast<std::size_t>(r)];
            table.setItem(r, 0, new QTableWidgetItem(QString::fromLocal8Bit(rec.Code)));
            table.setItem(r, 1,
                          new QTableWidgetItem(QString::fromLocal8Bit(
                              FormatDateUsed(ParseServerDateTime(rec.DateUsed), fs))));
            table.setItem(r, 2, new QTableWidgetItem(QString::fromLocal8Bit(rec.ComputerIP)));
        }
        table.show();
        for (int run = 0; run < runs; ++run)
            for (int c = 0; c < 3; ++c)
                time(peerSort[c], run, [&] { table.sortItems(c); });
    }
    std::printf("\nSorting the %d rows shown (ms, the view's update included)\n", kRecords);
    std::printf("%-32s %11s %10s %10s %8s\n", "column", "ours first", "ours", "peer", "ratio");
    const char* columns[] = {"Coupon Code", "Date Used", "Computer IP"};
    for (int c = 0; c < 3; ++c)
        std::printf("%-32s %11.1f %10.1f %10.1f %8.2f\n", columns[c], oursFirst[c], oursSort[c],
                    peerSort[c], oursSort[c] / peerSort[c]);
    std::printf("%-44s %10.1f\n", "ours: switch to \"By coupon\" (sums and table)", byCoupon);
    return ours.Rows == kRecords && peer.Rows == kRecords ? 0 : 1;
}
