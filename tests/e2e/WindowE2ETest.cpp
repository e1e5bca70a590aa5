// The coupon manager's window against the real server script on MariaDB and
// on SQLite: a coupon is added with the editor, edited, ticked and deleted
// through the window's own commands, and after each step the server's list
// agrees.
#include "app/ErrorReport.h"
#include "app/FMain.h"
#include "coupons/CouponRecord.h"
#include "platform/DateTime.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "tests/e2e/WindowFixture.h"
#include "tests/support/ModalHelper.h"
#include "ui/SkinDateEdit.h"
#include "ui/SkinMessage.h"
#include "ui/SkinNumericEdit.h"
#include "windows/CouponListView.h"
#include "windows/FCoupon.h"
#include "windows/FGenerateCoupons.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <filesystem>
#include <set>

using namespace quillory;
using namespace quillory::e2e;
using quillory::test::AnswerNextModal;

namespace {

class WindowE2E : public TWindowE2ETest {};

TEST_P(WindowE2E, AddEditTickAndDeleteThroughTheWindow) {
    StartWindow();
    EXPECT_EQ(Rows()->rowCount(), 0);
    EXPECT_TRUE(main->CouponList()->EmptyHint().isEmpty()); // the service answered

    // Add.
    AnswerNextModal([&](QWidget* w) {
        auto* editor = qobject_cast<TfrmCoupon*>(w);
        ASSERT_NE(editor, nullptr);
        editor->edtCouponName()->setText("Summer, half price");
        editor->edtCouponCode()->setText("SUMMER50");
        editor->rbtByDate()->setChecked(true);
        editor->edtDays()->SetValue(14);
        editor->edtDate()->SetDate(EncodeDate(2031, 7, 4));
        editor->edtURL()->setText("https://shop.example/order.php?sku=1,2");
        editor->memComments()->setPlainText("For the newsletter, July\nSecond line");
        QTest::mouseClick(editor->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
    });
    Click("SkinButton5");
    auto coupons = ServerList();
    ASSERT_EQ(coupons.size(), 1u);
    EXPECT_EQ(coupons[0].Name, "Summer, half price");
    EXPECT_EQ(coupons[0].Code, "SUMMER50");
    EXPECT_EQ(coupons[0].ExpiryText(), "3");
    EXPECT_EQ(coupons[0].DaysText(), "14");
    EXPECT_EQ(coupons[0].ExpiryDateText(), "2031-7-4");
    EXPECT_EQ(coupons[0].OrderPage, "https://shop.example/order.php?sku=1,2");
    EXPECT_EQ(coupons[0].Comments, "For the newsletter, July\r\nSecond line");
    ASSERT_EQ(Rows()->rowCount(), 1); // the window reloaded its list
    EXPECT_EQ(Rows()->index(0, 0).data().toString(), "Summer, half price");
    EXPECT_EQ(Rows()->IdAt(0), coupons[0].Id);

    // Edit: the editor shows what the server holds; a change goes back.
    main->CouponList()->setCurrentIndex(Rows()->index(0, 1));
    AnswerNextModal([&](QWidget* w) {
        auto* editor = qobject_cast<TfrmCoupon*>(w);
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->edtCouponName()->text(), "Summer, half price");
        EXPECT_EQ(editor->memComments()->toPlainText(), "For the newsletter, July\nSecond line");
        EXPECT_EQ(FormatDateYMD(editor->edtDate()->Date()), "2031-7-4");
        editor->edtCouponName()->setText("Summer, a third off");
        editor->chkEpired()->setChecked(true);
        editor->rbtNoLimit()->setChecked(true);
        QTest::mouseClick(editor->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
    });
    Click("SkinButton6");
    coupons = ServerList();
    ASSERT_EQ(coupons.size(), 1u);
    EXPECT_EQ(coupons[0].Name, "Summer, a third off");
    EXPECT_TRUE(coupons[0].Expired);
    EXPECT_EQ(coupons[0].Expiry, TExpiryKind::None);
    EXPECT_EQ(coupons[0].ExpiryDateText(), "2031-7-4"); // untouched, sent back the same
    EXPECT_EQ(coupons[0].Comments, "For the newsletter, July\r\nSecond line");
    ASSERT_EQ(Rows()->rowCount(), 1);
    EXPECT_EQ(Rows()->index(0, 2).data().toString(), "True");
    // Opened again, the coupon without a limit has that choice selected.
    bool reopened = false;
    main->CouponList()->setCurrentIndex(Rows()->index(0, 1));
    AnswerNextModal([&](QWidget* w) {
        auto* editor = qobject_cast<TfrmCoupon*>(w);
        ASSERT_NE(editor, nullptr);
        reopened = true;
        EXPECT_TRUE(editor->rbtNoLimit()->isChecked());
        editor->reject();
    });
    Click("SkinButton6");
    EXPECT_TRUE(reopened);

    // Tick and delete.
    Rows()->SetChecked(0, true);
    AnswerNextModal([](QWidget* w) { static_cast<TSkinMessageForm*>(w)->SetModalResult(mrOk); });
    Click("SkinButton3");
    EXPECT_TRUE(ServerList().empty());
    EXPECT_EQ(Rows()->rowCount(), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

// What redemption decided shows in the list: a redeemed one-time coupon has
// 1 use and is "used up", a date in the past is "expired", the others are
// "active"; the filter's status choice finds each.
TEST_P(WindowE2E, UsesAndStatusFollowRedemptionAndTheFilterFindsThem) {
    const struct {
        const char* code;
        TExpiryKind kind;
        std::string date;
    } added[] = {{"ONCE", TExpiryKind::OneTimeUse, "2031-1-1"},
                 {"PAST", TExpiryKind::ByDate, "2001-1-1"},
                 {"OPEN", TExpiryKind::None, "2001-1-1"}};
    for (const auto& a : added) {
        TCoupon c;
        c.Code = a.code;
        c.Name = std::string("Coupon ") + a.code;
        c.Expiry = a.kind;
        c.SetExpiryDateText(a.date);
        c.OrderPage = "https://shop.example/order.php";
        c.CreateDate = FormatDateYMD(Today());
        ASSERT_EQ(service->AddCoupon(c), TCouponResult::Done) << service->LastError();
    }
    for (const char* code : {"ONCE", "OPEN", "OPEN"})
        ASSERT_EQ(RedeemedTo(code), "https://shop.example/order.php") << code;
    StartWindow();
    ASSERT_EQ(Rows()->rowCount(), 3);
    ASSERT_EQ(Rows()->columnCount(), 5);
    auto cells = [&](int row) {
        return std::vector<std::string>{
            Rows()->index(row, ccCode).data().toString().toStdString(),
            Rows()->index(row, ccUses).data().toString().toStdString(),
            Rows()->index(row, ccStatus).data().toString().toStdString()};
    };
    EXPECT_EQ(cells(0), (std::vector<std::string>{"ONCE", "1", "used up"}));
    EXPECT_EQ(cells(1), (std::vector<std::string>{"PAST", "0", "expired"}));
    EXPECT_EQ(cells(2), (std::vector<std::string>{"OPEN", "2", "active"}));
    const std::pair<TCouponStatus, const char*> filters[] = {{TCouponStatus::UsedUp, "ONCE"},
                                                             {TCouponStatus::Expired, "PAST"},
                                                             {TCouponStatus::Active, "OPEN"}};
    for (const auto& [status, code] : filters) {
        main->CouponList()->SetFilter("", status);
        ASSERT_EQ(Rows()->rowCount(), 1);
        EXPECT_EQ(cells(0)[0], code);
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

// Generate coupons… (Ctrl+G): a thousand one-time codes made in the window
// reach the server, all different, and redeem once.
TEST_P(WindowE2E, AThousandCouponsGeneratedInTheWindowAreDistinctAndRedeemOnce) {
    StartWindow();
    const std::string page = "https://shop.example/order.php";
    AnswerNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<TfrmGenerateCoupons*>(w);
        ASSERT_NE(dialog, nullptr);
        dialog->Count()->setValue(1000);
        dialog->Prefix()->setText("GEN-");
        dialog->Length()->setValue(8);
        dialog->CouponName()->setText("Autumn");
        dialog->OneUse()->setChecked(true);
        dialog->OrderPage()->setText(QString::fromStdString(page));
        AnswerNextModal(
            [](QWidget* m) { static_cast<TSkinMessageForm*>(m)->SetModalResult(mrOk); });
        dialog->accept();
    });
    QTest::keyClick(main.get(), Qt::Key_G, Qt::ControlModifier);
    ASSERT_EQ(Rows()->rowCount(), 1000);
    std::set<std::string> codes;
    for (int r = 0; r < Rows()->rowCount(); ++r)
        codes.insert(Rows()->index(r, ccCode).data().toString().toStdString());
    ASSERT_EQ(codes.size(), 1000u);
    // Every code has the prefix; every 50th is redeemed here (the service's
    // own end-to-end test redeems a whole batch).
    int n = 0;
    for (const std::string& code : codes) {
        ASSERT_EQ(code.rfind("GEN-", 0), 0u) << code;
        if (n++ % 50 == 0) {
            ASSERT_EQ(RedeemedTo(code), page) << code;
        }
    }
    EXPECT_NE(RedeemedTo(*codes.begin()), page); // one time use
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Databases, WindowE2E, ::testing::Values("MariaDB", "SQLite"),
                         [](const auto& info) { return info.param; });

} // namespace
