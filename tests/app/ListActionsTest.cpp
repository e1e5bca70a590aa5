// The coupon list's menu through the main window against an in-memory
// coupon service: each action asks with the number of ticked coupons shown
// (or says none is ticked) and sends nothing unless confirmed; confirmed, it
// changes exactly the ticked coupons and tells the outcome; export and
// import go through files the user picks.
#include "AppFixture.h"
#include "coupons/CouponCsv.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "tests/support/BulkAddScript.h"
#include "tests/support/MessageText.h"
#include "tests/support/ModalHelper.h"
#include "ui/SkinMessage.h"
#include "windows/CouponFilterBar.h"
#include "windows/CouponListView.h"
#include "windows/FExpiryDate.h"
#include "windows/FImportReport.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include <deque>

using namespace quillory;
using namespace quillory::test;
using quillory::testsupport::TBulkAddServer;

namespace {

using TRow = std::vector<std::string>;

TRow Stored(const std::string& code, const std::string& expired = "0") {
    return {code,       "Sale " + code, expired, "2",        "abc",
            "2030-1-1", "order.php",    "",      "2026-1-1", "3"};
}

// How the modal windows of one command are answered, and what they said.
struct TAnswers {
    std::deque<int> Replies; // to the message dialogs in turn; OK once they run out
    QString File;            // chosen in a file dialog
    QDate Date;              // chosen in the expiry date dialog
    QStringList Said;        // every message, in order
    QString Summary, Rows;   // the import report
    int DateDialogs = 0;
};

class ListActionsTest : public AppFixture {
protected:
    void TearDown() override {
        main.reset();
        AppFixture::TearDown();
    }
    void Start(TBulkAddServer& service) { main = StartMain(service.SiteURL()); }
    TCouponListModel* Model() { return main->CouponList()->CouponModel(); }
    void Tick(std::initializer_list<int> rows) {
        Model()->SetAllChecked(false);
        for (int r : rows)
            Model()->SetChecked(r, true);
    }
    // Runs the menu entry `action`, answering its windows by `a`.
    void Run(const char* action, TAnswers& a) {
        TModalCounter answer([&a](QWidget* w) {
            if (auto* message = qobject_cast<TSkinMessageForm*>(w)) {
                a.Said << MessageText(message);
                const int reply = a.Replies.empty() ? mrOk : a.Replies.front();
                if (!a.Replies.empty())
                    a.Replies.pop_front();
                message->SetModalResult(reply);
            } else if (auto* files = qobject_cast<QFileDialog*>(w)) {
                // The name typed into the dialog's own field, and the
                // dialog closed as accepted once it holds the file.
                if (auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                    name->setText(a.File);
                if (files->selectedFiles().value(0) == a.File)
                    QMetaObject::invokeMethod(files, "done", Q_ARG(int, QDialog::Accepted));
            } else if (auto* date = qobject_cast<TfrmExpiryDate*>(w)) {
                ++a.DateDialogs;
                date->edtDate()->setDate(a.Date);
                date->accept();
            } else if (auto* report = qobject_cast<TfrmImportReport*>(w)) {
                a.Summary = report->lblSummary()->text();
                a.Rows = report->memRows()->toPlainText();
                report->accept();
            } // a progress dialog runs on
        });
        auto* entry = main->findChild<QAction*>(QLatin1String(action));
        ASSERT_NE(entry, nullptr) << action;
        entry->trigger();
    }
    std::unique_ptr<TfrmMain> main;
};

} // namespace

TEST_F(ListActionsTest, EachActionAsksWithTheTickedCountShownOrSaysNoneIsTicked) {
    TBulkAddServer service(true);
    service.Stored = {Stored("C1"), Stored("C2"), Stored("C3"), Stored("D4")};
    Start(service);
    ASSERT_EQ(Model()->rowCount(), 4);

    // One menu, on a right-click in the list and on the filter bar's button.
    auto* menu = main->findChild<QMenu*>(QStringLiteral("mnuCouponList"));
    ASSERT_NE(menu, nullptr);
    QStringList captions;
    for (QAction* a : menu->actions())
        if (!a->isSeparator())
            captions << a->text();
    EXPECT_EQ(captions, (QStringList{"Export coupons\u2026", "Import coupons\u2026", "Mark expired",
                                     "Clear expired", "Set expiry date\u2026", "Duplicate",
                                     "Generate coupons\u2026"}));
    EXPECT_EQ(main->FilterBar()->btnListMenu()->menu(), menu);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(20, 20),
                                 main->CouponList()->viewport()->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(main->CouponList()->viewport(), &rightClick);
    EXPECT_TRUE(menu->isVisible());
    menu->hide();

    const std::string none = "No coupon is ticked. Tick the coupons first, then choose \"";
    const struct {
        const char* Action;
        std::vector<int> Ticks;
        const char* Filter; // hides rows, ticked or not
        std::string Asked;  // the first message (a prefix)
    } cases[] = {
        {"actMarkExpired", {}, "", none + "Mark expired\" again."},
        {"actMarkExpired", {0, 1, 2}, "", "Mark 3 coupons expired?"},
        {"actMarkExpired", {0, 1, 3}, "c", "Mark 2 coupons expired?"},
        {"actClearExpired", {2}, "", "Clear the expired mark of 1 coupon?"},
        {"actClearExpired", {}, "", none + "Clear expired\" again."},
        {"actExportCoupons", {0, 3}, "", "Export 2 coupons to a CSV file?"},
        {"actExportCoupons", {3}, "C", none + "Export coupons\u2026\" again."},
        {"actDuplicateCoupons", {1}, "", "Duplicate 1 coupon? Each copy gets a new code."},
        {"actDuplicateCoupons", {}, "", none + "Duplicate\" again."},
        {"actSetExpiryDate", {0, 2}, "", "Make 2 coupons expire on "},
        {"actSetExpiryDate", {}, "", none + "Set expiry date\u2026\" again."},
    };
    const std::size_t requests = service.Requests().size();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Action) + " " + c.Filter);
        main->CouponList()->ClearFilter();
        Model()->SetAllChecked(false);
        for (int r : c.Ticks)
            Model()->SetChecked(r, true);
        main->CouponList()->SetFilter(c.Filter, TCouponStatus::None);
        TAnswers a;
        a.Replies = {mrCancel};
        a.Date = QDate(2031, 7, 4);
        Run(c.Action, a);
        ASSERT_EQ(a.Said.size(), 1);
        EXPECT_TRUE(a.Said[0].startsWith(QString::fromUtf8(c.Asked))) << a.Said[0].toStdString();
        // The date is asked before the confirmation names it.
        EXPECT_EQ(a.DateDialogs, std::string(c.Action) == "actSetExpiryDate" && !c.Ticks.empty());
    }
    EXPECT_EQ(service.Requests().size(), requests); // nothing sent

    // While a request is in flight every entry does nothing, without a word.
    Tick({0, 1});
    main->CouponList()->ClearFilter();
    {
        TModalCounter anyWindow([](QWidget* w) { w->close(); });
        TCommandDispatcher::TRequest busy(main->Dispatcher(), false);
        for (QAction* a : menu->actions())
            a->trigger();
        EXPECT_EQ(anyWindow.Count(), 0);
    }
    EXPECT_EQ(service.Requests().size(), requests);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(ListActionsTest, ConfirmedChangesTouchTheTickedCouponsAndTellTheOutcome) {
    TBulkAddServer service(true);
    service.Stored = {Stored("C1"), Stored("C2", "1"), Stored("C3"), Stored("WIN-ABCD")};
    Start(service);
    const struct {
        const char* Action;
        std::vector<int> Ticks;
        std::string Told; // the outcome message
        std::vector<TRow> After;
    } steps[] = {
        {"actMarkExpired",
         {0, 2},
         "2 of 2 coupons marked expired.",
         {Stored("C1", "1"), Stored("C2", "1"), Stored("C3", "1"), Stored("WIN-ABCD")}},
        {"actClearExpired",
         {1, 3},
         "1 of 2 coupons no longer marked expired. 1 coupon already was so and was left alone.",
         {Stored("C1", "1"), Stored("C2"), Stored("C3", "1"), Stored("WIN-ABCD")}},
        {"actSetExpiryDate",
         {2},
         "1 of 1 coupon now expires on ",
         {Stored("C1", "1"),
          Stored("C2"),
          {"C3", "Sale C3", "1", "3", "abc", "2031-7-4", "order.php", "", "2026-1-1", "3"},
          Stored("WIN-ABCD")}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.Action);
        Model()->SetAllChecked(false);
        for (int r : step.Ticks)
            Model()->SetChecked(r, true);
        TAnswers a;
        a.Date = QDate(2031, 7, 4);
        Run(step.Action, a);
        ASSERT_EQ(a.Said.size(), 2);
        EXPECT_TRUE(a.Said[1].startsWith(QString::fromStdString(step.Told)))
            << a.Said[1].toStdString();
        EXPECT_EQ(service.Stored, step.After);
        // The list was reloaded: its ticks are gone, its Expired column follows.
        ASSERT_EQ(Model()->rowCount(), 4);
        EXPECT_TRUE(Model()->CheckedIds().empty());
        for (int r = 0; r < 4; ++r)
            EXPECT_EQ(Model()->index(r, ccExpired).data().toString(),
                      step.After[r][2] == "1" ? "True" : "False");
    }

    // Duplicate: a copy of each ticked coupon with a fresh code of the same shape.
    Model()->SetAllChecked(false);
    Model()->SetChecked(3, true);
    TAnswers a;
    Run("actDuplicateCoupons", a);
    ASSERT_EQ(a.Said.size(), 2);
    ASSERT_EQ(service.Stored.size(), 5u);
    const std::string copy = service.Stored[4][0];
    EXPECT_EQ(copy.rfind("WIN-", 0), 0u);
    EXPECT_EQ(copy.size(), 8u);
    EXPECT_NE(copy, "WIN-ABCD");
    EXPECT_EQ(a.Said[1].toStdString(), "1 of 1 coupon duplicated.\nWIN-ABCD: copy " + copy);
    EXPECT_EQ(Model()->rowCount(), 5);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_F(ListActionsTest, ExportWritesTheTickedCouponsAndImportReportsEveryRow) {
    TBulkAddServer service(true, [](const TRow& f) {
        return f[1] == "Refuse me" ? std::string("the coupon name is not allowed") : std::string();
    });
    service.Stored = {Stored("=C1"), Stored("C2"), Stored("C3")};
    service.Taken = {"=C1", "C2", "C3"};
    Start(service);
    Tick({0, 2});
    TAnswers a;
    a.File = QString::fromStdString(File("out.csv"));
    Run("actExportCoupons", a);
    ASSERT_EQ(a.Said.size(), 2);
    EXPECT_EQ(a.Said[1].toStdString(), "Exported 2 coupons to " + File("out.csv") + ".");
    const std::string written = ReadRegularFileOrThrow(File("out.csv"), 1 << 20);
    EXPECT_EQ(written, CouponCsvHeader() +
                           "1,'=C1,Sale =C1,0,2,abc,2030-1-1,order.php,,2026-1-1,3,active\r\n"
                           "3,C3,Sale C3,0,2,abc,2030-1-1,order.php,,2026-1-1,3,active\r\n");
    EXPECT_EQ(Model()->CheckedIds(), (std::vector<std::string>{"1", "3"})); // nothing reloaded

    // Import: a new coupon (restoring its use count), a code that is taken,
    // a value that does not read, a row the server refuses.
    WriteWholeFile(File("in.csv"), "code;name;days;uses\r\n"
                                   "NEW1;New one;5;2\r\n"
                                   "c2;Taken;1;\r\n"
                                   "BAD;Bad days;abc;\r\n"
                                   "R1;Refuse me;1;\r\n");
    TAnswers in;
    in.File = QString::fromStdString(File("in.csv"));
    Run("actImportCoupons", in);
    ASSERT_EQ(in.Said.size(), 1);
    EXPECT_EQ(in.Said[0].toStdString(),
              "Add 3 coupons from in.csv?\n1 row of the file cannot be added; the report at the "
              "end names it.");
    EXPECT_EQ(in.Summary.toStdString(), "1 added, 3 refused, from in.csv.");
    EXPECT_EQ(in.Rows.toStdString(),
              "line 2: added NEW1\n"
              "line 3: refused c2: the code is already in use.\n"
              "line 4: refused BAD: The number of days must be a whole number, not \"abc\".\n"
              "line 5: refused R1: the server replied \"the coupon name is not allowed\".\n");
    ASSERT_EQ(service.Stored.size(), 4u);
    EXPECT_EQ(service.Stored[3], (TRow{"NEW1", "New one", "0", "1", "5", service.Stored[3][5], "",
                                       "", service.Stored[3][8], "2"}));
    EXPECT_EQ(Model()->rowCount(), 4); // reloaded
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}
