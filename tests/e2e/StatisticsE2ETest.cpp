// The statistics window opened from the main window against the real server
// script, on MariaDB and on SQLite: codes redeemed as customers do, several
// times each and in any letter case, then summed per coupon in the "By
// coupon" view with the names the main window's list holds.
#include "app/ErrorReport.h"
#include "app/FMain.h"
#include "platform/DateTime.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "tests/e2e/WindowFixture.h"
#include "tests/support/ModalHelper.h"
#include "windows/CouponListView.h"
#include "windows/FStatistics.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <cstdio>

using namespace quillory;
using namespace quillory::e2e;

namespace {

const std::string kOrderPage = "https://shop.example/order.php";

class StatisticsE2E : public TWindowE2ETest {
protected:
    void Add(const std::string& code, const std::string& name, TExpiryKind kind) {
        TCoupon c;
        c.Code = code;
        c.Name = name;
        c.Expiry = kind;
        c.Days = 30;
        c.SetExpiryDateText("2099-12-31");
        c.OrderPage = kOrderPage;
        c.CreateDate = FormatDateYMD(Today());
        ASSERT_EQ(service->AddCoupon(c), TCouponResult::Done) << service->LastError();
    }
    // True when the customer's redemption form led to the order page.
    bool Redeem(const std::string& code) { return RedeemedTo(code) == kOrderPage; }
};

TEST_P(StatisticsE2E, ByCouponSumsRedemptionsWithNamesAndLastUses) {
    Add("SPRING", "Spring sale", TExpiryKind::ByDays);
    Add("VIP", "Friends, family", TExpiryKind::None);
    Add("ONCE", "One shot", TExpiryKind::OneTimeUse);
    Add("UNUSED", "Never redeemed", TExpiryKind::None);
    // Seven uses in this order; the second use of ONCE is refused and
    // recorded nowhere.
    const char* typed[] = {"SPRING", "vip", "ONCE", "spring", "VIP", "Spring", "SPRING"};
    for (const char* code : typed)
        ASSERT_TRUE(Redeem(code)) << code;
    EXPECT_FALSE(Redeem("ONCE"));
    // Known times, so the last uses can be told apart: the n-th use on day n.
    const int first = std::stoi(QueryValue(*backend, "SELECT MIN(id) FROM redemptions"));
    for (int n = 0; n < 7; ++n) {
        char when[24];
        std::snprintf(when, sizeof when, "2026-03-%02d %02d:00:00", n + 1, 9 + n);
        RunSql(*backend, std::string("UPDATE redemptions SET dateused = '") + when +
                             "' WHERE id = " + std::to_string(first + n));
    }

    StartWindow();
    ASSERT_EQ(Rows()->rowCount(), 4);

    std::vector<std::string> rows, byDay;
    QString totals;
    std::size_t fetched = 0;
    test::AnswerNextModal([&](QWidget* modal) {
        auto* w = dynamic_cast<TfrmStats*>(modal);
        ASSERT_NE(w, nullptr) << modal->metaObject()->className();
        fetched = w->Traces().Count();
        QTest::mouseClick(w->findChild<QPushButton*>("btnShow"), Qt::LeftButton);
        QTest::mouseClick(w->findChild<QPushButton*>("btnViewCoupons"), Qt::LeftButton);
        totals = w->findChild<QLabel*>("lblTotals")->text();
        const QAbstractItemModel* m = w->findChild<QTableView*>("lvwCoupons")->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < m->columnCount(); ++c)
                cells << m->index(r, c).data().toString();
            rows.push_back(cells.join(" | ").toStdString());
        }
        // The chart of the redemptions over time, from the same rows.
        for (const TChartBar& bar : w->ChartData().Bars)
            byDay.push_back(std::to_string(bar.Count));
        QTest::mouseClick(w->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
    });
    QTest::mouseClick(main->findChild<QPushButton*>("btnStats"), Qt::LeftButton);

    EXPECT_EQ(fetched, 7u);
    EXPECT_EQ(totals, "7 redemptions of 3 codes shown");
    // In the order of first use; codes as the coupons spell them.
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "SPRING | Spring sale | 4 | 3/7/2026 3:00:00 PM",
                        "VIP | Friends, family | 2 | 3/5/2026 1:00:00 PM",
                        "ONCE | One shot | 1 | 3/3/2026 11:00:00 AM",
                    }));
    EXPECT_EQ(byDay, (std::vector<std::string>{"1", "1", "1", "1", "1", "1", "1"}));
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, StatisticsE2E, ::testing::Values("MariaDB", "SQLite"),
                         [](const auto& info) { return info.param; });

} // namespace
