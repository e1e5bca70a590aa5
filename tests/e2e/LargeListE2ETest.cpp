// A million coupons through the real server script and the main window, on
// each database: the list fills, the filter bar narrows it as a seller types
// and Escape shows every row again.
#include "tests/e2e/WindowFixture.h"
#include "windows/CouponFilterBar.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <cstdlib>

using namespace quillory;
using namespace quillory::e2e;

namespace {

constexpr int kCoupons = 1000000;

class LargeListE2E : public TWindowE2ETest {
protected:
    // Codes L0000001 to L1000000, named "Coupon N", without a limit, straight
    // into the table.
    void InsertCoupons() {
        const bool maria = backend->Database != nullptr;
        const std::string code =
            maria ? "CONCAT('L', LPAD(seq, 7, '0'))" : "'L' || printf('%07d', seq)";
        const std::string name = maria ? "CONCAT('Coupon ', seq)" : "'Coupon ' || seq";
        const std::string rows =
            maria ? "seq_1_to_" + std::to_string(kCoupons)
                  : "(WITH RECURSIVE n(seq) AS (SELECT 1 UNION ALL SELECT seq + 1 FROM n WHERE "
                    "seq < " +
                        std::to_string(kCoupons) + ") SELECT seq FROM n)";
        RunSql(*backend, "INSERT INTO coupons (code, code_key, name, expired, expirtype, "
                         "expirdays, expirdate, orderurl, comments, createdate) SELECT " +
                             code + ", " + code + ", " + name +
                             ", '0', '', '', '', 'https://shop.example/order.php', '', "
                             "'2026-1-1' FROM " +
                             rows + " AS s");
        ASSERT_EQ(QueryValue(*backend, "SELECT COUNT(*) FROM coupons"), std::to_string(kCoupons));
    }
};

TEST_P(LargeListE2E, AMillionCouponsFillTheListAndTheFilterBarNarrowsThem) {
    // Once per database is enough: the fronts carry the same bytes, and a
    // million coupons take a while through each.
    if (const char* front = std::getenv("QUILLORY_E2E_FRONT"); front && *front)
        GTEST_SKIP() << "run without a front only (this run goes through " << front << ")";
    InsertCoupons();
    main = std::make_unique<TfrmMain>();
    main->show();
    TCouponListModel* rows = Rows();
    QElapsedTimer t;
    t.start();
    while ((main->StartupTimer().isActive() || main->CouponService().Busy() ||
            rows->rowCount() < kCoupons) &&
           errors.isEmpty() && t.elapsed() < 300000)
        QTest::qWait(50);
    ASSERT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    ASSERT_EQ(rows->rowCount(), kCoupons) << main->CouponList()->EmptyHint().toStdString();
    EXPECT_EQ(rows->index(kCoupons - 1, ccCode).data().toString(), "L1000000");

    // Ctrl+F opens the bar; what is typed filters by code or by name.
    QTest::keyClick(main.get(), Qt::Key_F, Qt::ControlModifier);
    auto* bar = main->findChild<TCouponFilterBar*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(bar->isVisible());
    const struct {
        const char* typed;
        int shown;
        const char* first;
    } steps[] = {
        {"l0", kCoupons - 1, "L0000001"}, // every code but L1000000
        {"01", 10000, "L0010000"},        // "l001": L0010000 to L0019999
        {"2", 1000, "L0012000"},
        {"3", 100, "L0012300"},
    };
    std::string typed;
    for (const auto& s : steps) {
        QTest::keyClicks(bar->edtFilter(), s.typed);
        typed += s.typed;
        EXPECT_EQ(rows->rowCount(), s.shown) << typed;
        EXPECT_EQ(rows->index(0, ccCode).data().toString(), s.first) << typed;
    }
    bar->edtFilter()->clear();
    QTest::keyClicks(bar->edtFilter(), "coupon 99999");
    // "Coupon 99999" and "Coupon 999990" to "Coupon 999999".
    EXPECT_EQ(rows->rowCount(), 11);
    EXPECT_TRUE(bar->lblCount()->text().startsWith("11 of"))
        << bar->lblCount()->text().toStdString();

    QTest::keyClick(bar->edtFilter(), Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(rows->rowCount(), kCoupons);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Databases, LargeListE2E, ::testing::Values("MariaDB", "SQLite"),
                         [](const auto& info) { return info.param; });

} // namespace
