// Generate coupons… from the main window: the dialog's checks, the coupons
// it adds through the bulk action, and the fallback of one request a coupon
// with a progress dialog that stops it.
#include "AppFixture.h"
#include "platform/ProfileFile.h"
#include "tests/support/BulkAddScript.h"
#include "tests/support/MessageText.h"
#include "tests/support/ModalHelper.h"
#include "ui/SkinMessage.h"
#include "windows/CouponListView.h"
#include "windows/FGenerateCoupons.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressDialog>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

using namespace quillory;
using namespace quillory::test;
using quillory::testsupport::TBulkAddServer;

namespace {

// Answers the next message dialog with OK and keeps its text; another
// modal window shown first (the progress dialog) is passed over.
void AnswerMessageDialog(QString* said) {
    AnswerNextModal([said](QWidget* w) {
        auto* message = qobject_cast<TSkinMessageForm*>(w);
        if (!message) {
            AnswerMessageDialog(said);
            return;
        }
        *said = MessageText(message);
        message->SetModalResult(mrOk);
    });
}

class GenerateCouponsTest : public AppFixture {
protected:
    void TearDown() override {
        main.reset();
        AppFixture::TearDown();
    }
    void Start(TBulkAddServer& service) { main = StartMain(service.SiteURL()); }
    // Opens the dialog from the list's menu, lets `fill` set its fields and
    // presses OK; returns the text of the message that ends the command
    // (`onProgress` may act on the progress dialog first).
    QString Generate(const std::function<void(TfrmGenerateCoupons*)>& fill,
                     const std::function<void(QProgressDialog*)>& onProgress = {}) {
        QString said;
        AnswerNextModal([&](QWidget* w) {
            auto* dialog = qobject_cast<TfrmGenerateCoupons*>(w);
            ASSERT_NE(dialog, nullptr);
            fill(dialog);
            if (onProgress)
                AnswerNextModal([&](QWidget* p) {
                    auto* progress = qobject_cast<QProgressDialog*>(p);
                    ASSERT_NE(progress, nullptr);
                    onProgress(progress);
                    AnswerMessageDialog(&said);
                });
            else
                AnswerMessageDialog(&said);
            dialog->accept();
        });
        main->findChild<QAction*>(QStringLiteral("actGenerateCoupons"))->trigger();
        return said;
    }
    std::unique_ptr<TfrmMain> main;
};

} // namespace

TEST_F(GenerateCouponsTest, TheDialogRefusesWhatCannotBeAdded) {
    TSkinMessage messages;
    const struct {
        std::function<void(TfrmGenerateCoupons*)> Set;
        const char* Says; // empty: accepted
    } cases[] = {
        {[](TfrmGenerateCoupons* d) { d->CouponName()->setText("Sale"); }, ""},
        {[](TfrmGenerateCoupons*) {}, "Please provide a Coupon Name."},
        {[](TfrmGenerateCoupons* d) {
             d->CouponName()->setText("Sale");
             d->Prefix()->setText("A B");
         },
         "prefix cannot contain blanks"},
        {[](TfrmGenerateCoupons* d) {
             d->CouponName()->setText("Sale");
             d->Count()->setValue(5000);
             d->Length()->setValue(4);
             d->Alphabet()->setCurrentIndex(2); // digits
         },
         "too few different codes"},
        {[](TfrmGenerateCoupons* d) { d->CouponName()->setText("a^b"); }, "cannot contain \"^\""},
        {[](TfrmGenerateCoupons* d) {
             d->CouponName()->setText("Sale");
             d->OrderPage()->setText("javascript:x");
         },
         "order page"},
    };
    for (const auto& c : cases) {
        TfrmGenerateCoupons dialog(messages);
        c.Set(&dialog);
        const auto problem = dialog.Problem();
        if (std::string(c.Says).empty())
            EXPECT_FALSE(problem) << *problem;
        else
            EXPECT_NE(problem.value_or("").find(c.Says), std::string::npos)
                << problem.value_or("(accepted)");
    }
    TfrmGenerateCoupons dialog(messages);
    dialog.ByDays()->setChecked(true);
    dialog.Days()->setValue(14);
    EXPECT_EQ(dialog.Pattern().Expiry, TExpiryKind::ByDays);
    EXPECT_EQ(dialog.Pattern().DaysText(), "14");
    dialog.NoLimit()->setChecked(true);
    EXPECT_EQ(dialog.Pattern().ExpiryText(), "");
}

TEST_F(GenerateCouponsTest, OkAddsTheCouponsReloadsTheListAndSaysHowMany) {
    TBulkAddServer service(true);
    Start(service);
    const QString said = Generate([](TfrmGenerateCoupons* d) {
        d->Count()->setValue(25);
        d->Prefix()->setText("WIN-");
        d->CouponName()->setText("Winter");
        d->OrderPage()->setText("order.php");
    });
    EXPECT_TRUE(said.contains("25 of 25 coupon(s) added.")) << said.toStdString();
    ASSERT_EQ(service.Stored.size(), 25u);
    EXPECT_EQ(service.Stored[0][1], "Winter");
    EXPECT_EQ(main->CouponList()->CouponModel()->rowCount(), 25);
    const auto actions = service.Actions();
    EXPECT_EQ(std::count(actions.begin(), actions.end(), "10"), 1);
}

TEST_F(GenerateCouponsTest, WithoutTheBulkActionEachIsAddedAloneAndCancelStops) {
    TBulkAddServer service(false);
    Start(service);
    const QString said = Generate(
        [](TfrmGenerateCoupons* d) {
            d->Count()->setValue(2000);
            d->CouponName()->setText("Old server");
        },
        [](QProgressDialog* progress) {
            // The dialog shows once a coupon went in; Cancel stops the rest.
            progress->cancel();
        });
    EXPECT_TRUE(said.contains("Stopped by you.")) << said.toStdString();
    const std::size_t added = service.Stored.size();
    EXPECT_GE(added, 1u);
    EXPECT_LT(added, 2000u);
    EXPECT_TRUE(said.contains(QString::number(added) + " of 2000 coupon(s) added."))
        << said.toStdString();
    EXPECT_EQ(main->CouponList()->CouponModel()->rowCount(), static_cast<int>(added));
}
