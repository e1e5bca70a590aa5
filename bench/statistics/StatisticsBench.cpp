// Opening the statistics window on 100,000 redemptions served from loopback
// and showing them all: the whole time, and the longest gap between two
// turns of the event loop (what the user feels as a frozen window). The peer
// is the plain way: the same exchange, the reply decoded in one go and put
// into an item-based table (QTableWidget), one item per cell.
#include "coupons/CouponRecord.h"
#include "http/AntiFreeze.h"
#include "tests/support/LoopbackServer.h"
#include "windows/FStatistics.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
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
    return ours.Rows == kRecords && peer.Rows == kRecords ? 0 : 1;
}
