// Filtering the coupon list at 1,000,000 coupons, one keystroke at a time:
// the time from the new text until the view has laid out the rows it shows
// and painted once. Ours searches each row's folded code and name (all rows,
// then only the rows the shorter text matched); the peer, in the same
// run on the same rows, is a QSortFilterProxyModel (fixed string, any case,
// every column) between the same model and a view. Offscreen.
#include "tests/support/CouponServiceScript.h"
#include "windows/CouponListView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace quillory;

namespace {

constexpr int kCoupons = 1000000;
// What a seller types, one keystroke after the other: a code, then erasing
// back to one character (each erase is a full pass again), then a word of
// the names, which every row holds.
const char* const kTyped[] = {"c",    "c0", "c00", "c001", "c0012", "c00123", "c0012",
                              "c001", "s",  "sp",  "spr",  "spri",  "sprin",  "spring"};
// The peer is slow; it types the first few only.
constexpr int kPeerKeys = 3;

template <typename View> void Prepare(View& view) {
    view.resize(775, 360);
    view.show();
    QApplication::processEvents();
}

template <typename View, typename Filter> double Time(View& view, Filter&& filter) {
    QElapsedTimer t;
    t.start();
    filter();
    view.viewport()->repaint(); // lays the rows out first
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    TCouponList list(testsupport::SyntheticCouponList(kCoupons));
    if (list.Count() != kCoupons) {
        std::fprintf(stderr, "the reply did not decode\n");
        return 1;
    }
    // The search alone, without the view: one full pass per text.
    std::printf("The search alone (TCouponList::Matching, one full pass):\n");
    for (const char* text : {"c", "c0012", "spring", "zzz"}) {
        QElapsedTimer t;
        t.start();
        const auto rows = list.Matching(text, TCouponStatus::None);
        std::printf("  \"%s\": %zu rows, %.1f ms\n", text, rows.size(),
                    static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    TCouponListView ours;
    ours.CouponModel()->SetList(std::move(list));
    Prepare(ours);

    TCouponListModel source;
    source.SetList(TCouponList(testsupport::SyntheticCouponList(kCoupons)));
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&source);
    proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
    proxy.setFilterKeyColumn(-1);
    // The same kind of view as ours: rows of one height, nothing laid out per row.
    QTableView peer;
    peer.verticalHeader()->hide();
    peer.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    peer.setModel(&proxy);
    Prepare(peer);

    std::printf("Filtering %d coupons by code or name, per keystroke (offscreen):\n", kCoupons);
    std::printf("  %-8s %8s %12s %12s\n", "text", "rows", "ours ms", "proxy ms");
    double oursWorst = 0, oursSum = 0, peerSum = 0, oursPeerKeys = 0;
    int keys = 0;
    for (const char* text : kTyped) {
        const double a = Time(ours, [&] { ours.SetFilter(text, TCouponStatus::None); });
        const int rows = ours.CouponModel()->rowCount();
        double b = -1;
        if (keys < kPeerKeys) {
            b = Time(peer, [&] { proxy.setFilterFixedString(QString::fromLatin1(text)); });
            peerSum += b;
            oursPeerKeys += a;
            if (proxy.rowCount() != rows)
                std::printf("  (the proxy shows %d rows)\n", proxy.rowCount());
        }
        oursWorst = std::max(oursWorst, a);
        oursSum += a;
        ++keys;
        if (b >= 0)
            std::printf("  %-8s %8d %12.2f %12.2f\n", text, rows, a, b);
        else
            std::printf("  %-8s %8d %12.2f %12s\n", text, rows, a, "-");
        QApplication::processEvents();
    }
    const double clear = Time(ours, [&] { ours.ClearFilter(); });
    std::printf("  Escape (every row again): %.2f ms\n", clear);
    std::printf("  ours: worst keystroke %.2f ms, mean %.2f ms (target: at most 30 ms)\n",
                oursWorst, oursSum / keys);
    std::printf("  ratio proxy / ours over the first %d keystrokes: %.0fx\n", kPeerKeys,
                peerSum / oursPeerKeys);
    return 0;
}
