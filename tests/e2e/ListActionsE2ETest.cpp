// The coupon list's menu through the real window against the server script,
// on MariaDB and on SQLite: ticked coupons marked expired and given a past
// date show "expired" as the server judges it, with every other value kept;
// an import from the window adds what it can and reports each refused row.
#include "app/ErrorReport.h"
#include "app/FMain.h"
#include "coupons/CouponInput.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "tests/e2e/WindowFixture.h"
#include "tests/support/MessageText.h"
#include "tests/support/ModalHelper.h"
#include "ui/SkinMessage.h"
#include "windows/CouponListView.h"
#include "windows/FExpiryDate.h"
#include "windows/FImportReport.h"

#include <gtest/gtest.h>

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

using namespace quillory;
using quillory::test::MessageText;
using namespace quillory::e2e;
using quillory::test::TModalCounter;

namespace {

class ListMenuE2E : public TWindowE2ETest {
protected:
    void Add(const std::string& code, TExpiryKind kind) {
        TCoupon c;
        c.Code = code;
        c.Name = "Coupon " + code + ", spring";
        c.Expiry = kind;
        c.Days = 30;
        c.SetExpiryDateText(ServerDate(60));
        c.OrderPage = "https://shop.example/order.php?sku=" + code;
        c.Comments = "First line\r\nsecond, with a comma";
        c.CreateDate = ServerDate();
        ASSERT_EQ(service->AddCoupon(c), TCouponResult::Done) << service->LastError();
    }
    // Ticks a row as a user does: highlight it, press Space.
    void TickRow(int row) {
        main->CouponList()->setCurrentIndex(Rows()->index(row, ccCode));
        QTest::keyClick(main->CouponList(), Qt::Key_Space);
    }
    // Opens the list's menu with a right-click and clicks the entry `name`.
    void ChooseFromMenu(const char* name) {
        QWidget* viewport = main->CouponList()->viewport();
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(30, 10),
                                     viewport->mapToGlobal(QPoint(30, 10)));
        QApplication::sendEvent(viewport, &rightClick);
        auto* menu = main->findChild<QMenu*>(QStringLiteral("mnuCouponList"));
        ASSERT_TRUE(menu && menu->isVisible());
        auto* entry = main->findChild<QAction*>(QLatin1String(name));
        ASSERT_NE(entry, nullptr);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(entry).center());
    }
    std::string Cell(int row, int column) {
        return Rows()->index(row, column).data().toString().toStdString();
    }

    // What the windows of a command said, and how they are answered.
    QStringList said;
    QDate date;
    QString file, summary, report;
    void Answer(QWidget* w) {
        if (auto* message = qobject_cast<TSkinMessageForm*>(w)) {
            said << MessageText(message);
            message->SetModalResult(mrOk);
        } else if (auto* picker = qobject_cast<TfrmExpiryDate*>(w)) {
            picker->edtDate()->setDate(date);
            picker->accept();
        } else if (auto* files = qobject_cast<QFileDialog*>(w)) {
            if (auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(file);
            if (files->selectedFiles().value(0) == file)
                QMetaObject::invokeMethod(files, "done", Q_ARG(int, QDialog::Accepted));
        } else if (auto* done = qobject_cast<TfrmImportReport*>(w)) {
            summary = done->lblSummary()->text();
            report = done->memRows()->toPlainText();
            done->accept();
        }
    }
};

TEST_P(ListMenuE2E, TickedCouponsMarkedExpiredOrGivenAPastDateShowExpired) {
    for (const char* code : {"ALPHA", "BRAVO", "CHARLIE", "DELTA"})
        Add(code, std::string(code) == "BRAVO" ? TExpiryKind::ByDays : TExpiryKind::OneTimeUse);
    const std::vector<TCoupon> before = ServerList(true);
    ASSERT_EQ(before.size(), 4u);
    StartWindow();
    ASSERT_EQ(Rows()->rowCount(), 4);
    ASSERT_EQ(Rows()->columnCount(), kDetailedColumnCount);
    for (int row : {0, 1, 3})
        TickRow(row);
    {
        TModalCounter answer([this](QWidget* w) { Answer(w); });
        ChooseFromMenu("actMarkExpired");
    }
    ASSERT_EQ(said.size(), 2) << said.join("\n").toStdString();
    EXPECT_EQ(said[0], "Mark 3 coupons expired?");
    EXPECT_EQ(said[1], "3 of 3 coupons marked expired.");
    ASSERT_EQ(Rows()->rowCount(), 4);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(Cell(row, ccStatus), row == 2 ? "active" : "expired") << row;
    // On the server only the flag changed.
    std::vector<TCoupon> after = ServerList(true);
    ASSERT_EQ(after.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(after[i].Expired, i != 2) << i;
        EXPECT_EQ(after[i].Code, before[i].Code);
        EXPECT_EQ(after[i].Name, before[i].Name);
        EXPECT_EQ(after[i].ExpiryText(), before[i].ExpiryText());
        EXPECT_EQ(after[i].DaysText(), before[i].DaysText());
        EXPECT_EQ(after[i].ExpiryDateText(), before[i].ExpiryDateText());
        EXPECT_EQ(after[i].OrderPage, before[i].OrderPage);
        EXPECT_EQ(after[i].Comments, before[i].Comments);
        EXPECT_EQ(after[i].CreateDate, before[i].CreateDate);
    }

    // The one still active gets a date two days past: the server says expired.
    said.clear();
    date = QDate::currentDate().addDays(-2);
    TickRow(2);
    {
        TModalCounter answer([this](QWidget* w) { Answer(w); });
        ChooseFromMenu("actSetExpiryDate");
    }
    ASSERT_EQ(said.size(), 2) << said.join("\n").toStdString();
    EXPECT_TRUE(said[0].startsWith("Make 1 coupon expire on ")) << said[0].toStdString();
    EXPECT_TRUE(said[1].startsWith("1 of 1 coupon now expires on ")) << said[1].toStdString();
    EXPECT_EQ(Cell(2, ccStatus), "expired");
    after = ServerList(true);
    EXPECT_EQ(after[2].Expiry, TExpiryKind::ByDate);
    EXPECT_EQ(after[2].ExpiryDateText(), FormatDateYMD(Today() - 2));
    EXPECT_FALSE(after[2].Expired);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

TEST_P(ListMenuE2E, AnImportFromTheWindowAddsWhatItCanAndReportsEachRefusedRow) {
    Add("TAKEN", TExpiryKind::OneTimeUse);
    file = QString::fromStdString(folder + "/import.csv");
    WriteWholeFile(file.toStdString(),
                   "code,name,expiry_type,days,order_page,comments,uses\r\n"
                   "NEW-1,\"Autumn, 10% off\",days,14,/order.html,\"two\r\nlines\",2\r\n"
                   "taken,Same code in another case,one-time,1,,,\r\n"
                   "BAD-DAYS,Bad,days,abc,,,\r\n" +
                       std::string(300, 'L') + ",Too long a code,one-time,1,,,\r\n");
    StartWindow();
    ASSERT_EQ(Rows()->rowCount(), 1);
    {
        TModalCounter answer([this](QWidget* w) { Answer(w); });
        ChooseFromMenu("actImportCoupons");
    }
    ASSERT_EQ(said.size(), 1) << said.join("\n").toStdString();
    EXPECT_EQ(said[0].toStdString(), "Add 3 coupons from import.csv?\n1 row of the file cannot be "
                                     "added; the report at the end names it.");
    EXPECT_EQ(summary.toStdString(), "1 added, 3 refused, from import.csv.");
    const QStringList lines = report.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << report.toStdString();
    EXPECT_EQ(lines[0], "line 2: added NEW-1");
    EXPECT_EQ(lines[1], "line 4: refused taken: the code is already in use.");
    EXPECT_EQ(lines[2].toStdString(),
              "line 5: refused BAD-DAYS: The number of days must be a whole number, not \"abc\".");
    EXPECT_TRUE(lines[3].startsWith("line 6: refused LLLL")) << lines[3].toStdString();
    EXPECT_TRUE(lines[3].contains("the server replied \"")) << lines[3].toStdString();
    EXPECT_TRUE(lines[3].contains("longer than 255 bytes")) << lines[3].toStdString();

    // The list shows the new coupon, and the server holds it as the file said.
    ASSERT_EQ(Rows()->rowCount(), 2);
    EXPECT_EQ(Cell(1, ccCode), "NEW-1");
    EXPECT_EQ(Cell(1, ccUses), "2");
    const std::vector<TCoupon> stored = ServerList(true);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[1].Name, "Autumn, 10% off");
    EXPECT_EQ(stored[1].ExpiryText(), "2");
    EXPECT_EQ(stored[1].DaysText(), "14");
    EXPECT_EQ(stored[1].OrderPage, "/order.html");
    EXPECT_EQ(stored[1].Comments, "two\r\nlines");
    EXPECT_EQ(stored[1].Uses, 2);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, ListMenuE2E, ::testing::Values("MariaDB", "SQLite"),
                         [](const auto& info) { return info.param; });

} // namespace
