// The coupon list's use count and status columns, the filter bar, and the
// editor's "no limit" choice, through the main window against a scripted
// coupon service on loopback.
#include "AppFixture.h"
#include "platform/ProfileFile.h"
#include "tests/support/CouponServiceScript.h"
#include "tests/support/ModalHelper.h"
#include "ui/SkinMessage.h"
#include "windows/CouponFilterBar.h"
#include "windows/CouponListView.h"
#include "windows/FCoupon.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace quillory;
using namespace quillory::test;
using quillory::testsupport::ListReplyOf;
using quillory::testsupport::TCouponRequest;
using quillory::testsupport::TCouponServiceScript;

namespace {

using TRecord = std::vector<std::string>;

TRecord Coupon(const std::string& id, const std::string& code, const std::string& name,
               const std::string& uses, const std::string& status, const std::string& type = "1") {
    return {id, code,       name, "0",   type, "5", "2030-1-1", "http://shop.example/order",
            "", "2026-1-1", uses, status};
}

const std::vector<TRecord> kShop = {
    Coupon("11", "SAVE10", "Spring sale", "0", "active"),
    Coupon("12", "save20", "Summer", "1", "used up"),
    Coupon("13", "WINTER", "Big save", "3", "expired", "3"),
    Coupon("14", "FREE", "Free shipping", "7", "active", ""),
};

// Answers like our server: the list with details when asked for them (or
// never, for a server that knows only the plain list), deletes, the record
// of one coupon, and OK to the rest.
struct TShop {
    std::vector<TRecord> Coupons = kShop;
    bool KnowsDetails = true;
    std::string operator()(const TCouponRequest& r) {
        const std::string action = r.Action();
        if (action == "5") {
            std::vector<TRecord> out = Coupons;
            if (!KnowsDetails || r.Field("details") != "1")
                for (auto& c : out)
                    c.resize(10);
            return ListReplyOf(out);
        }
        if (action == "4") {
            const std::string ids = "," + r.Field("coupdeleteids") + ",";
            std::erase_if(Coupons, [&](const TRecord& c) {
                return ids.find("," + c[0] + ",") != std::string::npos;
            });
        }
        if (action == "9")
            for (const auto& c : Coupons)
                if (c[0] == r.Field("coupid"))
                    return ListReplyOf({TRecord(c.begin(), c.begin() + 10)});
        return "OK";
    }
};

class CouponFilterTest : public AppFixture {
protected:
    void TearDown() override {
        main.reset();
        AppFixture::TearDown();
    }
    void Start(TCouponServiceScript& service) { main = StartMain(service.SiteURL()); }
    TCouponListModel* Model() { return main->CouponList()->CouponModel(); }
    void Click(const char* button) {
        QTest::mouseClick(main->findChild<QPushButton*>(button), Qt::LeftButton);
    }
    // The codes of the shown rows, top to bottom.
    std::vector<std::string> Shown() {
        std::vector<std::string> codes;
        for (int r = 0; r < Model()->rowCount(); ++r)
            codes.push_back(Model()->index(r, ccCode).data().toString().toStdString());
        return codes;
    }
    std::vector<std::string> Row(int row) {
        std::vector<std::string> cells;
        for (int c = 0; c < Model()->columnCount(); ++c)
            cells.push_back(Model()->index(row, c).data().toString().toStdString());
        return cells;
    }
    std::unique_ptr<TfrmMain> main;
};

// Our server gets "details" = "1" and the window shows Uses and Status; a
// server that ignores the field gets the three columns, with nothing empty.
TEST_F(CouponFilterTest, UsesAndStatusColumnsShowOnlyWhenTheServerSendsThem) {
    TShop shop;
    TCouponServiceScript service([&](const TCouponRequest& r) { return shop(r); });
    const struct {
        bool knows;
        std::vector<std::string> headers;
        std::vector<std::string> second;
    } cases[] = {
        {true,
         {"Coupon Name", "Code", "Expired", "Uses", "Status"},
         {"Summer", "save20", "False", "1", "used up"}},
        {false, {"Coupon Name", "Code", "Expired"}, {"Summer", "save20", "False"}},
        {true,
         {"Coupon Name", "Code", "Expired", "Uses", "Status"},
         {"Summer", "save20", "False", "1", "used up"}},
    };
    Start(service);
    for (const auto& c : cases) {
        shop.KnowsDetails = c.knows;
        service.ClearRequests();
        Click("SkinButton8");
        ASSERT_EQ(service.Actions(), std::vector<std::string>{"5"});
        EXPECT_EQ(service.Requests()[0].Field("details"), "1");
        std::vector<std::string> headers;
        for (int col = 0; col < Model()->columnCount(); ++col)
            headers.push_back(Model()->headerData(col, Qt::Horizontal).toString().toStdString());
        EXPECT_EQ(headers, c.headers);
        EXPECT_EQ(Row(1), c.second);
        EXPECT_FALSE(main->CouponList()->isColumnHidden(Model()->columnCount() - 1));
    }
    // Sortable like the others: the header cycles the order.
    main->CouponList()->CycleSort(ccUses);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"SAVE10", "save20", "WINTER", "FREE"}));
    main->CouponList()->CycleSort(ccUses);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"FREE", "WINTER", "save20", "SAVE10"}));
    main->CouponList()->CycleSort(ccStatus);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"SAVE10", "FREE", "WINTER", "save20"}));
    EXPECT_TRUE(errors.isEmpty());
}

// Each step types into the bar or picks a status, then acts; the rows shown,
// the ticks and what Delete Selected sends follow the filter.
TEST_F(CouponFilterTest, TheFilterBarShowsMatchingRowsAndTicksActOnThemAlone) {
    TShop shop;
    TCouponServiceScript service([&](const TCouponRequest& r) { return shop(r); });
    Start(service);
    TCouponFilterBar* bar = main->FilterBar();
    ASSERT_TRUE(bar->isHidden());
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    QTest::keyClick(main.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(bar->isVisible());
    EXPECT_TRUE(bar->edtFilter()->hasFocus());

    using TCodes = std::vector<std::string>;
    const struct {
        const char* typed; // appended to the text; "\b" erases one character
        int status;        // index in the status box
        TCodes shown;
        const char* count;
    } steps[] = {
        {"s", 0, {"SAVE10", "save20", "WINTER", "FREE"}, "4 of 4 coupons"},
        {"AV", 0, {"SAVE10", "save20", "WINTER"}, "3 of 4 coupons"}, // code or name
        {"e1", 0, {"SAVE10"}, "1 of 4 coupons"},
        {"\b\b", 1, {"SAVE10"}, "1 of 4 coupons"}, // "sav", active
        {"", 2, {"save20"}, "1 of 4 coupons"},
        {"", 3, {"WINTER"}, "1 of 4 coupons"},
        {"\b\b\b", 1, {"SAVE10", "FREE"}, "2 of 4 coupons"},
        {"zz", 0, {}, "0 of 4 coupons"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.typed);
        for (const char* p = s.typed; *p; ++p) {
            if (*p == '\b')
                QTest::keyClick(bar->edtFilter(), Qt::Key_Backspace);
            else
                QTest::keyClicks(bar->edtFilter(), QString(QLatin1Char(*p)));
        }
        bar->cbxStatus()->setCurrentIndex(s.status);
        EXPECT_EQ(Shown(), s.shown);
        EXPECT_EQ(bar->lblCount()->text().toStdString(), s.count);
    }

    // Ticks: Select All ticks the shown rows; a hidden ticked row is never
    // deleted.
    bar->edtFilter()->setText("WINTER");
    Model()->SetChecked(0, true); // WINTER, then hidden
    bar->edtFilter()->setText("sav");
    bar->cbxStatus()->setCurrentIndex(0);
    ASSERT_EQ(Shown(), (TCodes{"SAVE10", "save20", "WINTER"}));
    bar->edtFilter()->setText("sav");
    bar->cbxStatus()->setCurrentIndex(1); // SAVE10 alone
    Click("SkinButton1");
    EXPECT_TRUE(Model()->Checked(0));
    service.ClearRequests();
    AnswerNextModal([](QWidget* w) { static_cast<TSkinMessageForm*>(w)->SetModalResult(mrOk); });
    Click("SkinButton3");
    ASSERT_FALSE(service.Requests().empty());
    EXPECT_EQ(service.Requests()[0].Field("coupdeleteids"), "11");
    // The reloaded list keeps the filter.
    EXPECT_TRUE(Shown().empty());

    // Escape closes the bar and shows every row.
    QTest::keyClick(bar->edtFilter(), Qt::Key_Escape);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(Shown(), (TCodes{"save20", "WINTER", "FREE"}));
    EXPECT_TRUE(bar->edtFilter()->text().isEmpty());
    // The Find button opens it again.
    Click("btnFind");
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(errors.isEmpty());
}

// A coupon without a limit opens with "No limit" on and goes back with the
// empty expiry type; one made in the window with it too. A type the editor
// does not offer goes back as it came.
TEST_F(CouponFilterTest, NoLimitRoundTripsThroughTheEditor) {
    TShop shop;
    shop.Coupons.push_back(Coupon("15", "ODD", "Odd type", "0", "active", "7"));
    TCouponServiceScript service([&](const TCouponRequest& r) { return shop(r); });
    Start(service);
    const struct {
        int row; // -1: Add Coupon
        bool noLimitOn;
        const char* choose; // the option to turn on, or nullptr
        std::string sent;
    } cases[] = {
        {3, true, nullptr, ""},       // FREE: no limit
        {0, false, "rbtNoLimit", ""}, // SAVE10: one time use made unlimited
        {4, false, nullptr, "7"},     // ODD: kept
        {3, true, "rbtByDays", "2"},  {-1, false, "rbtNoLimit", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        service.ClearRequests();
        bool opened = false;
        AnswerNextModal([&](QWidget* w) {
            auto* editor = qobject_cast<TfrmCoupon*>(w);
            ASSERT_NE(editor, nullptr);
            opened = true;
            EXPECT_EQ(editor->rbtNoLimit()->isChecked(), c.noLimitOn);
            if (c.choose)
                editor->findChild<QRadioButton*>(c.choose)->setChecked(true);
            if (c.row < 0) {
                editor->edtCouponName()->setText("New");
                editor->edtCouponCode()->setText("NEW1");
            }
            QTest::mouseClick(editor->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
        });
        if (c.row >= 0) {
            main->CouponList()->setCurrentIndex(Model()->index(c.row, 1));
            Click("SkinButton6");
        } else {
            Click("SkinButton5");
        }
        ASSERT_TRUE(opened);
        const auto requests = service.Requests();
        const auto sent = std::find_if(requests.begin(), requests.end(), [](const auto& r) {
            return r.Action() == "2" || r.Action() == "3";
        });
        ASSERT_NE(sent, requests.end());
        EXPECT_EQ(sent->Field("coupexpirtype"), c.sent);
    }
    EXPECT_TRUE(errors.isEmpty());
}

} // namespace
