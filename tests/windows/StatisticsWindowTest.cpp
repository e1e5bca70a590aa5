// The statistics window against scripted servers: what it fetches, the
// controls and their filters, the chart and the export, a hundred thousand
// redemptions, and screenshots for a look by eye.
#include "coupons/CouponList.h"
#include "coupons/Csv.h"
#include "http/AntiFreeze.h"
#include "tests/support/CouponServiceScript.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/ModalHelper.h"
#include "tests/support/WindowShot.h"
#include "tests/windows/WindowTestSupport.h"
#include "ui/SkinDateEdit.h"
#include "ui/SkinMessage.h"
#include "windows/FStatistics.h"

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGroupBox>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillory;
using quillory::testsupport::TLoopbackServer;
using quillory::testsupport::TScriptedServer;

namespace {

std::string Record(const std::string& code, const std::string& when, const std::string& ip) {
    return "\"1\",\"" + code + "\",\"" + when + "\",\"" + ip + "\"^";
}

// The records most tests use: two days in May 2008, a midnight, a code in two
// spellings.
std::string SampleReply() {
    return Record("ABC", "2008-05-18 10:48:42", "10.0.0.1") +
           Record("abc", "2008-05-18 00:00:00", "10.0.0.2") +
           Record("SPRING", "2008-05-18 23:59:59", "10.0.0.3") +
           Record("ABC", "2008-05-20 08:00:00", "10.\"0\".0.4") + "OK";
}

class StatisticsWindowTest : public ::testing::Test {
protected:
    void SetUp() override { TAntiFreeze::SetHook({}); }

    // A window over a server that answers one request with `body`.
    // `coupons` gives the "By coupon" view its names.
    std::unique_ptr<TfrmStats> Open(const std::string& body, const TCouponList* coupons = nullptr) {
        server = std::make_unique<TScriptedServer>(
            TScriptedServer::OnePerConnection({testsupport::PlainReply(body)}));
        site = "http://127.0.0.1:" + std::to_string(server->Port());
        return std::make_unique<TfrmStats>(service, messages, TFormatSettings::EnglishUS(),
                                           coupons);
    }

    template <typename T> static T* Find(QWidget* w, const char* name) {
        T* child = w->findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static QRadioButton* Radio(QWidget* w, const char* name) { return Find<QRadioButton>(w, name); }
    static void Press(QWidget* w, const char* button) {
        QTest::mouseClick(Find<QPushButton>(w, button), Qt::LeftButton);
    }
    static void Show(TfrmStats& w) { Press(&w, "btnShow"); }
    // The names of the ticked radio buttons.
    static std::string Selected(QWidget* w) {
        std::string on;
        for (const char* name : {"rbtCodeSel", "rbtCodeType", "rbtCodeAll", "rbtDateSel",
                                 "rbtDateRange", "rbtDateAll"})
            if (Radio(w, name)->isChecked())
                on += std::string(name) + " ";
        return on;
    }
    // The chart's bar heights.
    static std::vector<qreal> Counts(TfrmStats& w) {
        std::vector<qreal> out;
        const QBarSet* set =
            qobject_cast<QBarSeries*>(w.Chart()->series().front())->barSets().front();
        for (int i = 0; i < set->count(); ++i)
            out.push_back(set->at(i));
        return out;
    }
    static std::vector<std::string> Codes(TfrmStats& w, const char* table = "lvwItems") {
        std::vector<std::string> out;
        const QTableView* view = w.findChild<QTableView*>(table);
        for (int r = 0; r < view->model()->rowCount(); ++r)
            out.push_back(view->model()->index(r, 0).data().toString().toStdString());
        return out;
    }
    // A click on a column's header, as the user makes it.
    static void ClickHeader(TfrmStats& w, const char* table, int column) {
        QHeaderView* header = w.findChild<QTableView*>(table)->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, 5));
    }
    // What Export… writes (the file dialog is ExportWritesTheShownRows…'s).
    static std::vector<TCsvRow> Exported(TfrmStats& w) {
        const QString path = QDir::temp().filePath(
            QStringLiteral("quillory-stats-view-%1.csv").arg(QCoreApplication::applicationPid()));
        EXPECT_TRUE(w.ExportCsv(path));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        std::vector<TCsvRow> rows;
        for (const TCsvRecord& record : ParseCsv(file.readAll().toStdString()))
            rows.push_back(record.Fields);
        file.remove();
        return rows;
    }

    std::unique_ptr<TScriptedServer> server;
    std::string site;
    THTTPClient http;
    TCouponService service{http, [this] { return site; }};
    TSkinMessage messages;
};

} // namespace

TEST_F(StatisticsWindowTest, FetchesOnceOnCreationAndWaitsForShow) {
    auto w = Open(SampleReply());
    EXPECT_EQ(server->ConnectionCount(), 1);
    const std::string request = server->Received(0);
    EXPECT_EQ(request.rfind("POST /couponsactions.php HTTP/1.", 0), 0u) << request;
    EXPECT_NE(request.find("name=\"action\"\r\n\r\n6\r\n"), std::string::npos) << request;
    EXPECT_EQ(w->Traces().Count(), 4u);

    EXPECT_EQ(w->windowTitle(), "Statistics");
    EXPECT_EQ(w->size(), QSize(725, 444));
    for (const char* name : {"SkinGroupBox3", "SkinGroupBox1"})
        EXPECT_NE(w->findChild<QGroupBox*>(name), nullptr) << name;
    EXPECT_EQ(Selected(w.get()), "rbtCodeAll rbtDateAll ");
    EXPECT_EQ(Find<QPushButton>(w.get(), "btnShow")->text(), "Show");
    EXPECT_EQ(Find<QPushButton>(w.get(), "btnOk")->text(), "Close");

    // Today in all three date fields, without selecting a date filter.
    for (const char* name : {"edtDateFixed", "edtDateIni", "edtDateEnd"}) {
        auto* edit = Find<TSkinDateEdit>(w.get(), name);
        EXPECT_EQ(DayNumber(edit->Date()), DayNumber(Today())) << name;
    }

    auto* cbx = Find<QComboBox>(w.get(), "cbxCodes");
    ASSERT_EQ(cbx->count(), 2);
    EXPECT_EQ(cbx->itemText(0) + cbx->itemText(1), "ABCSPRING");
    EXPECT_EQ(cbx->currentIndex(), -1);
    EXPECT_FALSE(cbx->isEditable());
    EXPECT_EQ(cbx->maxVisibleItems(), 8);

    auto* table = Find<QTableView>(w.get(), "lvwItems");
    EXPECT_EQ(table->model()->rowCount(), 0);
    const std::pair<QString, int> columns[] = {
        {"Coupon Code", 132}, {"Date Used", 150}, {"Computer IP", 150}};
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(table->model()->headerData(c, Qt::Horizontal).toString(), columns[c].first);
        EXPECT_EQ(table->columnWidth(c), columns[c].second);
    }

    Show(*w);
    ASSERT_EQ(table->model()->rowCount(), 4);
    auto row = [&](int r) {
        QStringList cells;
        for (int c = 0; c < 3; ++c)
            cells << table->model()->index(r, c).data().toString();
        return cells.join(" | ");
    };
    EXPECT_EQ(row(0), "ABC | 5/18/2008 10:48:42 AM | 10.0.0.1");
    EXPECT_EQ(row(1), "abc | 5/18/2008 | 10.0.0.2"); // midnight: the date alone
    EXPECT_EQ(row(3), "ABC | 5/20/2008 8:00:00 AM | 10.0.0.4");
    // Each row has a tick box that only ticks.
    const QModelIndex first = table->model()->index(0, 0);
    EXPECT_EQ(first.data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
    EXPECT_TRUE(table->model()->setData(first, Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(first.data(Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Checked);
    EXPECT_TRUE(w->isHidden()); // "Show" does not close the window either way
    EXPECT_EQ(server->ConnectionCount(), 1);
}

// A fetch that read nothing is said in a message (trouble text, then the
// reason), never an empty window that reads as "no redemptions".
TEST_F(StatisticsWindowTest, AFailedFetchSaysWhyInAMessage) {
    const std::string trouble = "There is a trouble loading the statistics, please check your "
                                "settings and your internet connection.";
    const struct {
        const char* name;
        std::string reply; // empty: nothing listens
        std::string reason;
    } cases[] = {
        {"service down", "", "Connection refused"},
        {"500 with a text",
         "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 39\r\nConnection: close\r\n\r\n"
         "ERROR: cannot connect to the database\r\n",
         "HTTP/1.1 500 Internal Server Error: ERROR: cannot connect to the database"},
        {"credentials refused",
         "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"\r\n"
         "Content-Length: 6\r\nConnection: close\r\n\r\nDenied",
         kRefusedCredentials},
        {"a NUL byte in the reply", testsupport::PlainReply(std::string("bad\0byte", 8)),
         "The server answered: bad byte"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        server.reset();
        if (!c.reply.empty())
            server =
                std::make_unique<TScriptedServer>(TScriptedServer::OnePerConnection({c.reply}));
        site = "http://127.0.0.1:" +
               std::to_string(server ? server->Port() : TLoopbackServer::UnusedPort());
        QString text;
        int shown = 0;
        test::AnswerNextModal([&](QWidget* dialog) {
            ++shown;
            for (auto* label : dialog->findChildren<TSkinStdLabel*>())
                text += label->Caption();
            static_cast<TSkinMessageForm*>(dialog)->SetModalResult(mrOk);
        });
        TfrmStats w(service, messages, TFormatSettings::EnglishUS());
        EXPECT_EQ(shown, 1);
        const std::string said = text.toStdString();
        EXPECT_EQ(said.rfind(trouble + "\n", 0), 0u) << said;
        EXPECT_NE(text.mid(trouble.size()).replace('\n', ' ').toStdString().find(c.reason),
                  std::string::npos)
            << said;
        EXPECT_EQ(w.Traces().Count(), 0u);
        EXPECT_EQ(w.StatusText(), "The redemptions could not be loaded.");
        EXPECT_TRUE(w.findChild<QWidget*>("lblStatus")->isVisibleTo(&w));
    }
}

// A reply that fails part-way keeps what was read and says so, without a message.
TEST_F(StatisticsWindowTest, AnErrorInTheReplyKeepsTheRecordsBeforeItAndSaysSo) {
    auto w =
        Open(Record("ONE", "2008-05-18 10:48:42", "1") + Record("TWO", "2008-5-18 1:2:3", "2") +
             Record("THREE", "2008-05-18 10:48:42", "3") + "OK");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(w->Traces().Count(), 1u);
    EXPECT_EQ(w->findChild<QComboBox*>("cbxCodes")->count(), 1);
    EXPECT_EQ(w->StatusText(), "Incomplete: only the first redemption could be read.");
    // Why, in the status line's tool tip.
    auto* status = w->findChild<QWidget*>("lblStatus");
    EXPECT_EQ(status->toolTip().toStdString(), service.FailureReason());
    EXPECT_FALSE(status->toolTip().isEmpty());
    EXPECT_TRUE(status->isVisibleTo(w.get()));
    Show(*w);
    EXPECT_EQ(Codes(*w), std::vector<std::string>{"ONE"});
    EXPECT_EQ(w->Chart()->title(), "Redemptions per day, 5/18/2008 (incomplete)");

    // A whole reply leaves the status line empty.
    auto whole = Open(SampleReply());
    EXPECT_TRUE(whole->StatusText().isEmpty());
}

TEST_F(StatisticsWindowTest, UserEditsSelectTheirFilterAndShowApplies) {
    auto w = Open(SampleReply());
    auto* cbx = Find<QComboBox>(w.get(), "cbxCodes");
    auto* edtCode = Find<QLineEdit>(w.get(), "edtCode");
    auto* fixed = Find<TSkinDateEdit>(w.get(), "edtDateFixed");
    auto* from = Find<TSkinDateEdit>(w.get(), "edtDateIni");
    // The radio buttons now ticked, and the codes "Show" then lists.
    auto expect = [&](const std::string& selected, const std::vector<std::string>& codes,
                      // The caller's line (std::source_location is missing with clang 14).
                      unsigned line = __builtin_LINE()) {
        EXPECT_EQ(Selected(w.get()), selected) << "line " << line;
        Show(*w);
        EXPECT_EQ(Codes(*w), codes) << "line " << line;
    };
    // With rbtCodeSel and no code chosen, the compared text is empty.
    Radio(w.get(), "rbtCodeSel")->setChecked(true);
    expect("rbtCodeSel rbtDateAll ", {});
    // Choosing a code in the list (as the user does) selects rbtCodeSel; the
    // other group is left alone.
    Radio(w.get(), "rbtCodeAll")->setChecked(true);
    cbx->setCurrentIndex(0);
    emit cbx->activated(0);
    // The code list holds ABC once for ABC and abc: choosing it finds both.
    expect("rbtCodeSel rbtDateAll ", {"ABC", "abc", "ABC"});
    // Typing selects rbtCodeType; the match ignores the case of letters.
    QTest::keyClicks(edtCode, "aBc");
    expect("rbtCodeType rbtDateAll ", {"ABC", "abc", "ABC"});
    edtCode->setText("ab");
    expect("rbtCodeType rbtDateAll ", {});
    // Deleting all of it is still a change: the typed (empty) code filters.
    Radio(w.get(), "rbtCodeAll")->setChecked(true);
    edtCode->clear();
    expect("rbtCodeType rbtDateAll ", {});
    // One day: midnight and 23:59:59 both count.
    Radio(w.get(), "rbtCodeAll")->setChecked(true);
    fixed->SetText("05/18/2008");
    expect("rbtCodeAll rbtDateSel ", {"ABC", "abc", "SPRING"});
    // A range, both ends inclusive; either end selects rbtDateRange.
    from->SetText("05/19/2008");
    EXPECT_EQ(Selected(w.get()), "rbtCodeAll rbtDateRange ");
    Radio(w.get(), "rbtDateAll")->setChecked(true);
    Find<TSkinDateEdit>(w.get(), "edtDateEnd")->SetText("05/20/2008");
    expect("rbtCodeAll rbtDateRange ", {"ABC"});
    // "From" after "To": nothing.
    from->SetText("05/21/2008");
    expect("rbtCodeAll rbtDateRange ", {});
    // Changing a filter alone does not refresh the table.
    Radio(w.get(), "rbtDateAll")->setChecked(true);
    EXPECT_TRUE(Codes(*w).empty());
    Show(*w);
    EXPECT_EQ(Codes(*w).size(), 4u);
}

TEST_F(StatisticsWindowTest, ChartCountsTheShownRowsPerDay) {
    auto w = Open(SampleReply());
    EXPECT_TRUE(w->ChartData().Bars.empty()); // nothing shown yet
    Show(*w);
    const auto series = w->Chart()->series();
    ASSERT_EQ(series.size(), 1);
    auto* bars = qobject_cast<QBarSeries*>(series.front());
    ASSERT_NE(bars, nullptr);
    ASSERT_EQ(bars->barSets().size(), 1);
    // 18, 19 (none) and 20 May.
    EXPECT_EQ(Counts(*w), (std::vector<qreal>{3, 0, 1}));
    EXPECT_EQ(w->Chart()->title(), "Redemptions per day, 5/18/2008 - 5/20/2008");

    // Redrawn by "Show" from the rows the table shows.
    Find<QLineEdit>(w.get(), "edtCode")->setText("SPRING");
    Show(*w);
    EXPECT_EQ(Counts(*w), (std::vector<qreal>{1}));
    EXPECT_EQ(Selected(w.get()), "rbtCodeType rbtDateAll ");

    // The switch shows the chart in the table's place and back.
    auto* pages = Find<QStackedWidget>(w.get(), "pagItems");
    Press(w.get(), "btnChart");
    EXPECT_EQ(pages->currentWidget()->objectName(), "panChart");
    EXPECT_EQ(Selected(w.get()), "rbtCodeType rbtDateAll "); // the filters are left alone
    Press(w.get(), "btnTable");
    EXPECT_TRUE(Find<QPushButton>(w.get(), "btnTable")->isChecked());
    EXPECT_FALSE(Find<QPushButton>(w.get(), "btnChart")->isChecked());
    EXPECT_EQ(pages->currentWidget()->objectName(), "lvwItems");
}

// The date axis as drawn: every label of the range whole, none elided.
TEST_F(StatisticsWindowTest, TheDateAxisDrawsEveryLabelWhole) {
    const struct {
        std::string first, last;
        QString labels;
    } cases[] = {{"2026-03-01 10:00:00", "2026-04-29 11:00:00",
                  "Mar 8,Mar 15,Mar 22,Mar 29,Apr 5,Apr 12,Apr 19,Apr 26"},
                 {"2023-01-10 10:00:00", "2025-12-20 11:00:00",
                  "Apr,Jul,Oct,2024,Apr,Jul,Oct,2025,Apr,Jul,Oct"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        const QStringList labels = c.labels.split(',');
        auto w = Open(Record("A", c.first, "1") + Record("B", c.last, "2") + "OK");
        w->show();
        Show(*w);
        Press(w.get(), "btnChart");
        QApplication::processEvents();
        w->ChartView()->grab(); // lays the axis out as it is painted
        QStringList drawn;
        for (QGraphicsItem* item : w->ChartView()->scene()->items(Qt::AscendingOrder)) {
            auto* text = dynamic_cast<QGraphicsTextItem*>(item);
            if (!text || !text->isVisible())
                continue;
            const QString t = text->toPlainText();
            EXPECT_FALSE(t.contains(QChar(0x22EE)) || t.contains(QChar(0x2026)) ||
                         t.contains("..."))
                << t.toStdString();
            drawn.push_back(QString(t).remove(QChar(0x200B)));
        }
        // Each label as often as the axis has it ("Apr" once a year).
        for (const QString& label : labels)
            EXPECT_EQ(drawn.count(label), labels.count(label)) << label.toStdString();
    }
}

TEST_F(StatisticsWindowTest, ExportWritesTheShownRowsThroughTheFileDialog) {
    auto w = Open(Record("A,B", "2008-05-18 10:48:42", "10.0.0.1") +
                  Record("say \"hi\"", "2008-05-19 00:00:00", "10.0.0.2") +
                  Record("two\r\nlines", "2008-05-20 01:02:03", "::1") +
                  Record("other", "2008-05-20 01:02:03", "x") + "OK");
    Radio(w.get(), "rbtDateRange")->setChecked(true);
    Find<TSkinDateEdit>(w.get(), "edtDateIni")->SetText("05/18/2008");
    Find<TSkinDateEdit>(w.get(), "edtDateEnd")->SetText("05/20/2008");
    Show(*w);
    ASSERT_EQ(Codes(*w).size(), 4u);
    Find<QLineEdit>(w.get(), "edtCode")->setText("other");
    Radio(w.get(), "rbtCodeAll")->setChecked(true);

    const std::string path = (std::filesystem::temp_directory_path() /
                              ("quillory-stats-" + std::to_string(::getpid()) + ".csv"))
                                 .string();
    std::filesystem::remove(path);
    test::AnswerNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(QString::fromStdString(path));
        static_cast<QDialog*>(dialog)->accept();
    });
    Press(w.get(), "btnExport");

    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string csv = file.readAll().toStdString();
    std::vector<TCsvRow> rows;
    for (const TCsvRecord& record : ParseCsv(csv))
        rows.push_back(record.Fields);
    EXPECT_EQ(rows, (std::vector<TCsvRow>{{"Coupon Code", "Date Used", "Computer IP"},
                                          {"A,B", "2008-05-18 10:48:42", "10.0.0.1"},
                                          {"say \"hi\"", "2008-05-19 00:00:00", "10.0.0.2"},
                                          {"two\r\nlines", "2008-05-20 01:02:03", "::1"},
                                          {"other", "2008-05-20 01:02:03", "x"}}))
        << csv;
    std::filesystem::remove(path);

    // A file that cannot be written: a warning, and no crash.
    int warnings = 0;
    test::AnswerNextModal([&](QWidget* modal) {
        ++warnings;
        EXPECT_NE(modal->findChild<QWidget*>("Message"), nullptr);
        static_cast<QDialog*>(modal)->done(1);
    });
    EXPECT_FALSE(w->ExportCsv("/nonexistent-folder/stats.csv"));
    EXPECT_EQ(warnings, 1);
}

TEST_F(StatisticsWindowTest, TheTableGrowsWithTheWindowAndCloseStaysInTheCornerAndEndsIt) {
    auto w = Open("OK");
    EXPECT_EQ(w->Traces().Count(), 0u);
    w->show();
    auto* items = Find<QWidget>(w.get(), "panItems");
    auto* close = Find<QPushButton>(w.get(), "btnOk");
    const QRect before = items->geometry();
    const QPoint cornerGap = QPoint(w->width(), w->height()) - close->geometry().bottomRight();
    w->resize(900, 600);
    QApplication::processEvents();
    EXPECT_EQ(items->pos(), before.topLeft());
    EXPECT_EQ(items->size(), before.size() + QSize(175, 156));
    EXPECT_EQ(QPoint(w->width(), w->height()) - close->geometry().bottomRight(), cornerGap);
    w->hide();
    test::AnswerNextModal([](QWidget* modal) { Press(modal, "btnOk"); });
    EXPECT_EQ(w->exec(), 1);
}

TEST_F(StatisticsWindowTest, AHundredThousandRedemptionsDecodeInStepsAndShow) {
    std::string body;
    const int n = 100000;
    body.reserve(static_cast<std::size_t>(n) * 48);
    for (int i = 0; i < n; ++i) {
        char when[32];
        std::snprintf(when, sizeof when, "2008-%02d-%02d %02d:%02d:%02d", 1 + i % 12, 1 + i % 28,
                      i % 24, i % 60, (i * 7) % 60);
        body += Record("CODE" + std::to_string(i % 5000), when,
                       "10.0." + std::to_string(i % 250) + ".1");
    }
    body += "OK";
    // The window's events are processed while the reply is decoded: the pump
    // runs while the window holds some of the records but not all.
    TAntiFreeze pump;
    std::size_t seenMidway = 0;
    TAntiFreeze::SetHook([&](bool) {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* stats = dynamic_cast<TfrmStats*>(top)) {
                const std::size_t count = stats->Traces().Count();
                if (count > 0 && count < static_cast<std::size_t>(n))
                    seenMidway = count;
            }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    });
    auto w = Open(body);
    TAntiFreeze::SetHook({});
    EXPECT_GT(seenMidway, 0u);
    EXPECT_EQ(w->Traces().Count(), static_cast<std::size_t>(n));
    EXPECT_EQ(w->findChild<QComboBox*>("cbxCodes")->count(), 5000);

    // How long opening and showing them takes is a figure of bench/statistics.
    w->show();
    Show(*w);
    QApplication::processEvents();
    EXPECT_EQ(w->findChild<QTableView*>("lvwItems")->model()->rowCount(), n);
    w->hide();
}

// The table and the chart as drawn in the skin, each kept as a screenshot.
TEST_F(StatisticsWindowTest, TableAndChartAreDrawnInTheSkin) {
    test::TBuiltInSkin skin;
    std::string body;
    const char* codes[] = {"SPRING10", "WELCOME", "VIP-2008", "SPRING10", "FREESHIP"};
    for (int i = 0; i < 40; ++i) {
        char when[32];
        std::snprintf(when, sizeof when, "2008-05-%02d %02d:%02d:%02d", 3 + (i * 7) % 24,
                      (i * 5) % 24, (i * 13) % 60, (i * 17) % 60);
        body += Record(codes[i % 5], when, "192.168.1." + std::to_string(10 + i));
    }
    body += Record("WELCOME", "2008-05-12 00:00:00", "10.0.0.7") + "OK";
    auto w = Open(body);
    w->show();
    Show(*w);
    QApplication::processEvents();
    const QColor client = skin.Data().FormInfo().Color("clientcolor", Qt::magenta);
    auto* table = Find<QTableView>(w.get(), "lvwItems");
    EXPECT_TRUE(test::DrawnAs(w.get(), client));
    EXPECT_TRUE(table->isVisible());
    EXPECT_EQ(table->model()->rowCount(), 41);
    // The first rows are on screen, drawn in the table's own colours.
    EXPECT_TRUE(table->viewport()->rect().contains(table->visualRect(table->model()->index(0, 0))));
    EXPECT_NE(test::SurfaceColour(table->viewport(), table->viewport()->grab().toImage()), client);
    EXPECT_TRUE(test::SaveScreenshot(w.get(), "statistics-table.png"));
    Press(w.get(), "btnChart");
    QTest::mouseMove(w.get(), QPoint(1, 1));
    QApplication::processEvents();
    EXPECT_TRUE(test::DrawnAs(w.get(), client));
    EXPECT_FALSE(table->isVisible());
    ASSERT_TRUE(w->ChartView()->isVisible());
    EXPECT_FALSE(w->ChartView()->geometry().isEmpty());
    EXPECT_EQ(Counts(*w).size(), 24u); // one bar a day, 3 to 26 May
    EXPECT_TRUE(test::SaveScreenshot(w.get(), "statistics-chart.png"));
    // The same redemptions by coupon: a bar per code, then a row per code.
    Press(w.get(), "btnViewCoupons");
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the old chart's parts
    EXPECT_TRUE(test::DrawnAs(w.get(), client));
    auto* bars = qobject_cast<QHorizontalBarSeries*>(w->Chart()->series().value(0));
    ASSERT_NE(bars, nullptr);
    EXPECT_EQ(bars->barSets().front()->count(), 4);
    EXPECT_TRUE(test::SaveScreenshot(w.get(), "statistics-by-coupon-chart.png"));
    Press(w.get(), "btnTable");
    QApplication::processEvents();
    auto* coupons = Find<QTableView>(w.get(), "lvwCoupons");
    EXPECT_TRUE(coupons->isVisible());
    EXPECT_EQ(coupons->model()->rowCount(), 4);
    EXPECT_TRUE(test::SaveScreenshot(w.get(), "statistics-by-coupon.png"));
    w->hide();
}

// A click on a header sorts by that column: ascending, descending, then the
// reply's order again, with the sort indicator; the highlighted row and the
// ticks stay with their redemptions, and "Show" keeps the order.
TEST_F(StatisticsWindowTest, HeaderClicksSortTheRedemptions) {
    auto w = Open(Record("b", "2008-05-18 10:00:00", "10.0.0.10") +
                  Record("A", "2008-05-17 10:00:00", "10.0.0.9") +
                  Record("c", "2008-05-19 10:00:00", "10.0.0.200") +
                  Record("B", "2008-05-17 10:00:00", "10.0.0.1") + "OK");
    w->show();
    Show(*w);
    auto* table = Find<QTableView>(w.get(), "lvwItems");
    QHeaderView* header = table->horizontalHeader();
    table->model()->setData(table->model()->index(0, 0), Qt::Checked, Qt::CheckStateRole); // b
    table->selectRow(1);                                                                   // A
    const struct {
        int column;
        std::vector<std::string> codes;
        int indicator; // 1 ascending, 2 descending, 0 none
    } clicks[] = {
        {0, {"A", "b", "B", "c"}, 1}, {0, {"c", "b", "B", "A"}, 2},
        {0, {"b", "A", "c", "B"}, 0}, {1, {"A", "B", "b", "c"}, 1}, // equal dates in reply order
        {1, {"c", "b", "A", "B"}, 2}, {2, {"B", "A", "b", "c"}, 1}, // .1 .9 .10 .200
    };
    for (const auto& click : clicks) {
        SCOPED_TRACE(testing::Message() << "column " << click.column);
        ClickHeader(*w, "lvwItems", click.column);
        const std::vector<std::string> codes = Codes(*w);
        EXPECT_EQ(codes, click.codes);
        EXPECT_EQ(header->isSortIndicatorShown(), click.indicator != 0);
        if (click.indicator != 0) {
            EXPECT_EQ(header->sortIndicatorOrder(),
                      click.indicator == 1 ? Qt::AscendingOrder : Qt::DescendingOrder);
        }
        EXPECT_EQ(codes[static_cast<std::size_t>(table->selectionModel()->selectedRows()[0].row())],
                  "A");
        for (int r = 0; r < 4; ++r)
            EXPECT_EQ(table->model()->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked,
                      codes[static_cast<std::size_t>(r)] == "b");
    }
    Find<QLineEdit>(w.get(), "edtCode")->setText("b");
    Show(*w);
    EXPECT_EQ(Codes(*w), (std::vector<std::string>{"B", "b"}));
    w->hide();
}

// "By coupon" lists one row per code with the name from the coupon list, the
// count and the last use, sorts like the other table, and with the totals
// line, the chart and the export follows what "Show" listed.
TEST_F(StatisticsWindowTest, ByCouponSumsTheShownRedemptionsPerCode) {
    const TCouponList coupons(
        "\"1\",\"SPRING\",\"Spring, sale\",\"0\",\"2\",\"30\",\"2099-1-1\",\"http://s/o\",\"\"^OK");
    auto w = Open(SampleReply(), &coupons);
    auto* totals = Find<QLabel>(w.get(), "lblTotals");
    auto* pages = Find<QStackedWidget>(w.get(), "pagItems");
    EXPECT_EQ(totals->text(), "No redemptions shown");
    Show(*w);
    EXPECT_EQ(totals->text(), "4 redemptions of 2 codes shown");
    Press(w.get(), "btnViewCoupons");
    EXPECT_EQ(pages->currentWidget()->objectName(), "lvwCoupons");
    const QAbstractItemModel* m = Find<QTableView>(w.get(), "lvwCoupons")->model();
    auto rows = [&] {
        std::vector<std::string> out;
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < m->columnCount(); ++c)
                cells << m->index(r, c).data().toString();
            out.push_back(cells.join(" | ").toStdString());
        }
        return out;
    };
    // ABC is no coupon of the list: its first spelling and no name.
    EXPECT_EQ(rows(),
              (std::vector<std::string>{"ABC |  | 3 | 5/20/2008 8:00:00 AM",
                                        "SPRING | Spring, sale | 1 | 5/18/2008 11:59:59 PM"}));
    ClickHeader(*w, "lvwCoupons", scRedemptions);
    EXPECT_EQ(Codes(*w, "lvwCoupons"), (std::vector<std::string>{"SPRING", "ABC"}));
    EXPECT_EQ(Exported(*w),
              (std::vector<TCsvRow>{{"Coupon Code", "Coupon Name", "Redemptions", "Last Used"},
                                    {"SPRING", "Spring, sale", "1", "2008-05-18 23:59:59"},
                                    {"ABC", "", "3", "2008-05-20 08:00:00"}}));

    // A filter narrows the sums, the totals, the chart and the export alike;
    // the view and its order stay.
    Find<TSkinDateEdit>(w.get(), "edtDateFixed")->SetText("05/18/2008");
    Find<QLineEdit>(w.get(), "edtCode")->setText("abc");
    Show(*w);
    EXPECT_EQ(rows(), (std::vector<std::string>{"ABC |  | 2 | 5/18/2008 10:48:42 AM"}));
    EXPECT_EQ(totals->text(), "2 redemptions of 1 code shown");
    EXPECT_EQ(Exported(*w)[1], (TCsvRow{"ABC", "", "2", "2008-05-18 10:48:42"}));
    Press(w.get(), "btnChart");
    auto* bars = qobject_cast<QHorizontalBarSeries*>(w->Chart()->series().value(0));
    ASSERT_NE(bars, nullptr);
    EXPECT_EQ(bars->barSets().front()->at(0), 2);
    EXPECT_EQ(w->Chart()->title(), "Redemptions per coupon");

    // Back to the redemptions: their chart over time, their table and export.
    Press(w.get(), "btnViewTraces");
    EXPECT_EQ(Counts(*w), (std::vector<qreal>{2}));
    Press(w.get(), "btnTable");
    EXPECT_EQ(pages->currentWidget()->objectName(), "lvwItems");
    ClickHeader(*w, "lvwItems", tcDateUsed);
    EXPECT_EQ(Exported(*w), (std::vector<TCsvRow>{{"Coupon Code", "Date Used", "Computer IP"},
                                                  {"abc", "2008-05-18 00:00:00", "10.0.0.2"},
                                                  {"ABC", "2008-05-18 10:48:42", "10.0.0.1"}}));
}
