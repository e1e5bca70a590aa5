// Filling the coupon list view with 100,000 decoded coupons: the time from
// handing the rows to the view until it has laid them out and painted once.
// Peers, measured in the same run on the same rows: a plain QTreeView over a
// minimal table model holding the three texts per row, and the item-per-row
// QTreeWidget the window used before. Offscreen; best of several runs.
#include "tests/support/CouponServiceScript.h"
#include "windows/CouponListView.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace quillory;

namespace {

constexpr int kCoupons = 100000;
constexpr int kRuns = 7;

// The least a table model needs: the texts, ready as QStrings.
class TMinimalModel : public QAbstractTableModel {
public:
    std::vector<std::array<QString, 3>> Rows;
    void Set(std::vector<std::array<QString, 3>> rows) {
        beginResetModel();
        Rows = std::move(rows);
        endResetModel();
    }
    int rowCount(const QModelIndex& p) const override {
        return p.isValid() ? 0 : static_cast<int>(Rows.size());
    }
    int columnCount(const QModelIndex& p) const override { return p.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex& i, int role) const override {
        if (role == Qt::DisplayRole)
            return Rows[i.row()][i.column()];
        return {};
    }
};

template <typename View> void Prepare(View& view) {
    view.resize(775, 360);
    view.show();
    QApplication::processEvents();
}

// Milliseconds from `fill` until the view has laid out and painted.
template <typename View, typename Fill> double Time(View& view, Fill&& fill) {
    QElapsedTimer t;
    t.start();
    fill();
    view.viewport()->repaint(); // lays the rows out first
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

double Best(std::vector<double> v) {
    return *std::min_element(v.begin(), v.end());
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const std::string reply = testsupport::SyntheticCouponList(kCoupons);
    const TCouponList decoded{std::string(reply)};
    if (decoded.Count() != kCoupons) {
        std::fprintf(stderr, "the reply did not decode\n");
        return 1;
    }
    std::vector<std::array<QString, 3>> texts(kCoupons);
    for (std::size_t i = 0; i < decoded.Count(); ++i)
        texts[i] = {QString::fromLocal8Bit(decoded.Name(i).data(), decoded.Name(i).size()),
                    QString::fromLocal8Bit(decoded.Code(i).data(), decoded.Code(i).size()),
                    decoded.Expired(i) ? QStringLiteral("True") : QStringLiteral("False")};

    std::vector<double> ours, plain, widget;
    TCouponListView list;
    Prepare(list);
    QTreeView tree;
    TMinimalModel minimal;
    tree.setModel(&minimal);
    tree.setRootIsDecorated(false);
    tree.setUniformRowHeights(true);
    Prepare(tree);
    QTreeWidget items;
    items.setColumnCount(3);
    items.setRootIsDecorated(false);
    items.setUniformRowHeights(true);
    Prepare(items);
    for (int run = 0; run < kRuns; ++run) {
        TCouponList copy = decoded;
        ours.push_back(Time(list, [&] { list.CouponModel()->SetList(std::move(copy)); }));
        auto rows = texts;
        plain.push_back(Time(tree, [&] { minimal.Set(std::move(rows)); }));
        if (run < 3) { // slow: three runs are enough
            widget.push_back(Time(items, [&] {
                items.clear();
                QList<QTreeWidgetItem*> all;
                all.reserve(kCoupons);
                for (std::size_t i = 0; i < decoded.Count(); ++i) {
                    auto* item =
                        new QTreeWidgetItem(QStringList{texts[i][0], texts[i][1], texts[i][2]});
                    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                    item->setCheckState(0, Qt::Unchecked);
                    all.append(item);
                }
                items.addTopLevelItems(all);
            }));
        }
        QApplication::processEvents();
    }
    std::printf("Filling the coupon list view with %d decoded coupons (offscreen, best of "
                "%d):\n",
                kCoupons, kRuns);
    std::printf("  ours, TCouponListView over the decoded list   %7.2f ms\n", Best(ours));
    std::printf("  peer, QTreeView over a minimal table model    %7.2f ms\n", Best(plain));
    std::printf("  before, QTreeWidget with an item per row      %7.2f ms\n", Best(widget));
    std::printf("  ratio ours / peer %.2f, before / ours %.0fx\n", Best(ours) / Best(plain),
                Best(widget) / Best(ours));
    return 0;
}
