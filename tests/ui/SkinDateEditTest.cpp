#include "ui/SkinDateEdit.h"
#include "SkinTestData.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace quillory;
using quillory::test::DateLocale;

namespace {

std::string TextOf(const TSkinDateEdit& e) {
    return e.text().toStdString();
}

// Types one character at a position of the field.
void TypeAt(TSkinDateEdit& e, int pos, char c) {
    e.setCursorPosition(pos);
    QTest::keyClick(&e, c);
}

class DateEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        FWindow.resize(300, 200);
        FEdit = new TSkinDateEdit(&FWindow, TFormatSettings::EnglishUS());
        FEdit->setGeometry(10, 10, 120, 22);
        FOther = new QLineEdit(&FWindow);
        FOther->setGeometry(10, 60, 120, 22);
        FEdit->SetTodayDefault(true);
        FWindow.show();
        FWindow.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&FWindow, 2000));
        FEdit->setFocus();
    }
    QWidget FWindow;
    TSkinDateEdit* FEdit = nullptr;
    QLineEdit* FOther = nullptr;
};

TEST_F(DateEditTest, NewFieldShowsTodayAndHoldsTheCurrentMoment) {
    EXPECT_NEAR(FEdit->Date(), Now(), 2.0 / 86400);
    const TFormatSettings us = TFormatSettings::EnglishUS();
    const TEditMask mask(FEdit->EditMask());
    EXPECT_EQ(TextOf(*FEdit), mask.Fit(FormatDateTime(us.ShortDateFormat, Now(), us), '/'));
    EXPECT_EQ(FEdit->EditMask(), "!99/99/0000;1; ");
    EXPECT_EQ(FEdit->maxLength(), 10);
    EXPECT_EQ(FEdit->property("SkinDataName").toString(), "buttonedit");
}

TEST_F(DateEditTest, ShortFieldsAreNotTakenOverAndFocusLossRestoresTheValue) {
    const TDateTime before = FEdit->Date();
    FEdit->SetText("6/30/2008");
    EXPECT_EQ(TextOf(*FEdit), " 6/30/2008");
    EXPECT_EQ(FEdit->Date(), before);
    FOther->setFocus();
    EXPECT_FALSE(FEdit->hasFocus());
    EXPECT_NE(TextOf(*FEdit), " 6/30/2008");
    EXPECT_EQ(FEdit->Date(), before);

    FEdit->SetText("12/15/2008");
    EXPECT_EQ(TextOf(*FEdit), "12/15/2008");
    EXPECT_EQ(FEdit->Date(), EncodeDate(2008, 12, 15));
    FEdit->SetText("12/5/2008");
    EXPECT_EQ(TextOf(*FEdit), "12/ 5/2008");
    EXPECT_EQ(FEdit->Date(), EncodeDate(2008, 12, 15));
}

TEST_F(DateEditTest, TypedKeysGoThroughTheFilter) {
    FEdit->SetText("6/30/2008");
    QSignalSpy changes(FEdit, &TSkinDateEdit::Change);
    QSignalSpy dateChanges(FEdit, &TSkinDateEdit::DateChange);
    TypeAt(*FEdit, 0, '1'); // month 16: refused
    EXPECT_EQ(TextOf(*FEdit), " 6/30/2008");
    TypeAt(*FEdit, 3, '4'); // day 40: refused
    EXPECT_EQ(TextOf(*FEdit), " 6/30/2008");
    TypeAt(*FEdit, 0, 'x'); // not a digit
    EXPECT_EQ(TextOf(*FEdit), " 6/30/2008");
    EXPECT_EQ(changes.count(), 0);
    TypeAt(*FEdit, 0, '0');
    EXPECT_EQ(TextOf(*FEdit), "06/30/2008");
    EXPECT_EQ(FEdit->Date(), EncodeDate(2008, 6, 30));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(dateChanges.count(), 1);
    EXPECT_EQ(FEdit->cursorPosition(), 1);
}

TEST_F(DateEditTest, MaskedEditingBlanksAndSkipsSeparators) {
    FEdit->SetText("06/30/2008");
    const TDateTime value = FEdit->Date();
    FEdit->setCursorPosition(5);
    QTest::keyClick(FEdit, Qt::Key_Backspace);
    EXPECT_EQ(TextOf(*FEdit), "06/3 /2008");
    QTest::keyClick(FEdit, Qt::Key_Backspace);
    EXPECT_EQ(TextOf(*FEdit), "06/  /2008");
    EXPECT_EQ(FEdit->cursorPosition(), 3);
    QTest::keyClick(FEdit, Qt::Key_Backspace); // over the separator
    EXPECT_EQ(TextOf(*FEdit), "0 /  /2008");
    TypeAt(*FEdit, 1, '7'); // cursor jumps over the separator
    EXPECT_EQ(FEdit->cursorPosition(), 3);
    QTest::keyClick(FEdit, '4'); // into an all-blank day field
    EXPECT_EQ(TextOf(*FEdit), "07/4 /2008");
    FEdit->setCursorPosition(0);
    QTest::keyClick(FEdit, Qt::Key_Delete);
    EXPECT_EQ(TextOf(*FEdit), " 7/4 /2008");
    EXPECT_EQ(FEdit->Date(), value); // nothing complete was typed
    FEdit->SetText("");
    EXPECT_EQ(TextOf(*FEdit), "  /  /    ");
    EXPECT_EQ(FEdit->Date(), value);
}

TEST_F(DateEditTest, ImpossibleDayRaisesTheParserError) {
    FEdit->SetText("02/28/2008");
    try {
        FEdit->SetText("02/30/2008");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'02/30/2008' is not a valid date");
    }
    EXPECT_EQ(FEdit->Date(), EncodeDate(2008, 2, 28));
    EXPECT_EQ(TextOf(*FEdit), "02/30/2008");
    // Typed, the error leaves the key handler the same way.
    FEdit->SetText("02/0/2008");
    EXPECT_EQ(TextOf(*FEdit), "02/ 0/2008");
    FEdit->setCursorPosition(3);
    EXPECT_THROW(QTest::keyClick(FEdit, '3'), EConvertError);
    EXPECT_EQ(TextOf(*FEdit), "02/30/2008");
    EXPECT_EQ(FEdit->Date(), EncodeDate(2008, 2, 28));
}

TEST_F(DateEditTest, WritingDateWritesTheShortDateText) {
    QSignalSpy dateChanges(FEdit, &TSkinDateEdit::DateChange);
    FEdit->SetDate(EncodeDate(2010, 3, 7) + 0.25);
    EXPECT_EQ(TextOf(*FEdit), " 3/ 7/2010");
    EXPECT_EQ(FEdit->Date(), EncodeDate(2010, 3, 7) + 0.25);
    EXPECT_EQ(dateChanges.count(), 1);
}

TEST_F(DateEditTest, PickingADayInTheCalendar) {
    FEdit->SetText("12/15/2008");
    QSignalSpy changes(FEdit, &TSkinDateEdit::Change);
    QSignalSpy dateChanges(FEdit, &TSkinDateEdit::DateChange);
    QTest::mouseClick(FEdit, Qt::LeftButton, {}, FEdit->ButtonRect().center());
    TSkinPopupMonthCalendar* cal = FEdit->Calendar();
    ASSERT_TRUE(FEdit->CalendarVisible());
    EXPECT_TRUE(FEdit->hasFocus());
    EXPECT_EQ(cal->size(), QSize(200, 150));
    EXPECT_EQ(cal->pos(), FEdit->mapToGlobal(QPoint(0, FEdit->height())));
    QTest::mouseClick(cal, Qt::LeftButton, {}, cal->DayRect(3).center());
    EXPECT_FALSE(FEdit->CalendarVisible());
    EXPECT_EQ(FEdit->Date(), EncodeDate(2008, 12, 3));
    EXPECT_EQ(TextOf(*FEdit), "12/ 3/2008");
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(dateChanges.count(), 1);
    EXPECT_TRUE(FEdit->hasFocus());
}

TEST_F(DateEditTest, CalendarClosesWithoutTakingADate) {
    FEdit->SetText("12/15/2008");
    auto open = [&] { QTest::mouseClick(FEdit, Qt::LeftButton, {}, FEdit->ButtonRect().center()); };
    open();
    ASSERT_TRUE(FEdit->CalendarVisible());
    open(); // the button again
    EXPECT_FALSE(FEdit->CalendarVisible());
    open();
    QTest::keyClick(FEdit, Qt::Key_Right); // any key
    EXPECT_FALSE(FEdit->CalendarVisible());
    open();
    QTest::mouseClick(FOther, Qt::LeftButton); // another control
    EXPECT_FALSE(FEdit->CalendarVisible());
    FEdit->setFocus();
    open();
    FOther->setFocus(); // focus loss
    EXPECT_FALSE(FEdit->CalendarVisible());
    EXPECT_EQ(FEdit->Date(), EncodeDate(2008, 12, 15));
}

TEST_F(DateEditTest, CalendarOpensAboveWhenThereIsNoRoomBelow) {
    const int screenBottom = FEdit->screen()->geometry().bottom();
    FWindow.move(0, screenBottom - 40);
    QApplication::processEvents();
    QTest::mouseClick(FEdit, Qt::LeftButton, {}, FEdit->ButtonRect().center());
    EXPECT_EQ(FEdit->Calendar()->y(), FEdit->mapToGlobal(QPoint(0, 0)).y() - 150);
}

TEST(MonthCalendarTest, NavigationClampsTheDayAndKeepsYearLimits) {
    TSkinMonthCalendar cal(nullptr, TFormatSettings::EnglishUS());
    cal.SetDate(EncodeDate(2008, 1, 31) + 0.5);
    cal.NextMonth();
    EXPECT_EQ(cal.Date(), EncodeDate(2008, 2, 29) + 0.5);
    cal.PriorYear();
    EXPECT_EQ(cal.Date(), EncodeDate(2007, 2, 28) + 0.5);
    cal.SetDate(EncodeDate(2008, 3, 31));
    cal.PriorMonth();
    EXPECT_EQ(cal.Date(), EncodeDate(2008, 2, 29));
    cal.SetDate(EncodeDate(2008, 12, 10));
    cal.NextMonth();
    EXPECT_EQ(cal.Date(), EncodeDate(2009, 1, 10));
    cal.PriorMonth();
    EXPECT_EQ(cal.Date(), EncodeDate(2008, 12, 10));
    cal.SetDate(EncodeDate(1761, 5, 5));
    cal.PriorYear();
    EXPECT_EQ(cal.Date(), EncodeDate(1761, 5, 5));
    cal.SetDate(EncodeDate(9999, 12, 5));
    QSignalSpy moved(&cal, &TSkinMonthCalendar::DateChanged);
    cal.NextYear();
    cal.NextMonth();
    EXPECT_EQ(cal.Date(), EncodeDate(9999, 12, 5));
    EXPECT_EQ(moved.count(), 0);
    cal.PriorYear();
    EXPECT_EQ(moved.count(), 1);
}

TEST(MonthCalendarTest, LayoutAndButtons) {
    TSkinMonthCalendar cal(nullptr, TFormatSettings::EnglishUS());
    cal.resize(200, 150);
    cal.SetDate(EncodeDate(2008, 2, 10)); // 1 February 2008 was a Friday
    EXPECT_EQ(cal.ColumnWidth(), 28);
    EXPECT_EQ(cal.FirstDayColumn(), 5);
    cal.FirstDayOfWeek = Mon;
    EXPECT_EQ(cal.FirstDayColumn(), 4);
    cal.FirstDayOfWeek = Sat;
    EXPECT_EQ(cal.FirstDayColumn(), 6);
    cal.FirstDayOfWeek = Sun;
    cal.show();
    EXPECT_EQ(cal.RowHeight(), (150 - cal.LinePosition() - 4) / 6);
    EXPECT_EQ(cal.DayAt(cal.DayRect(29).center()), 29);
    EXPECT_EQ(cal.DayAt(QPoint(2, cal.LinePosition() + 3)), 0); // before the 1st
    EXPECT_EQ(cal.NavigationButton(0)->geometry(), QRect(1, 1, 23, 23));
    EXPECT_EQ(cal.NavigationButton(1)->geometry(), QRect(25, 1, 23, 23));
    EXPECT_EQ(cal.NavigationButton(2)->geometry(), QRect(200 - 48, 1, 23, 23));
    EXPECT_EQ(cal.NavigationButton(3)->geometry(), QRect(200 - 24, 1, 23, 23));
    EXPECT_EQ(cal.NavigationButton(1)->autoRepeatInterval(), 250);
    EXPECT_EQ(cal.NavigationButton(3)->autoRepeatInterval(), 100);
    QTest::mouseClick(cal.NavigationButton(2), Qt::LeftButton);
    EXPECT_EQ(cal.Date(), EncodeDate(2008, 3, 10));
    QTest::mouseClick(cal.NavigationButton(0), Qt::LeftButton);
    EXPECT_EQ(cal.Date(), EncodeDate(2007, 3, 10));
}

TEST(DateEditLocaleTest, DayMonthYear) {
    TSkinDateEdit e(nullptr, DateLocale("dd/mm/yyyy", '/'));
    e.SetText("15/12/2008");
    EXPECT_EQ(e.Date(), EncodeDate(2008, 12, 15));
    e.SetDate(EncodeDate(2009, 3, 4));
    EXPECT_EQ(TextOf(e), "04/03/2009");
    e.SetText("5/3/2009");
    EXPECT_EQ(TextOf(e), " 5/ 3/2009");
    e.show();
    TypeAt(e, 0, '4'); // day 45: refused
    EXPECT_EQ(TextOf(e), " 5/ 3/2009");
    TypeAt(e, 0, '2');
    TypeAt(e, 3, '0');
    EXPECT_EQ(TextOf(e), "25/03/2009");
    EXPECT_EQ(e.Date(), EncodeDate(2009, 3, 25));
}

TEST(DateEditLocaleTest, YearFirst) {
    TSkinDateEdit e(nullptr, DateLocale("yyyy-mm-dd", '-'));
    EXPECT_EQ(e.EditMask(), "!0000/99/99;1; ");
    e.SetText("2008-12-15");
    EXPECT_EQ(e.Date(), EncodeDate(2008, 12, 15));
    e.SetText("2008-6-1");
    EXPECT_EQ(TextOf(e), "2008- 6- 1");
    EXPECT_EQ(e.Date(), EncodeDate(2008, 12, 15));
}

TEST(DateEditLocaleTest, MonthNames) {
    TSkinDateEdit e(nullptr, DateLocale("dd-mmm-yyyy", '-'));
    EXPECT_EQ(e.EditMask(), "!99/LLL/0000;1; ");
    e.SetText("15-Dec-2008");
    EXPECT_EQ(e.Date(), EncodeDate(2008, 12, 15));
    e.SetText("16-Dex-2008");
    EXPECT_EQ(e.Date(), EncodeDate(2008, 12, 15));
    e.SetDate(EncodeDate(2009, 5, 1));
    EXPECT_EQ(TextOf(e), "01-May-2009");
    e.show();
    TypeAt(e, 3, 'J');
    TypeAt(e, 4, 'u');
    TypeAt(e, 5, 'n');
    EXPECT_EQ(TextOf(e), "01-Jun-2009");
    EXPECT_EQ(e.Date(), EncodeDate(2009, 6, 1));
    TypeAt(e, 3, '1'); // digits never go into the month name
    EXPECT_EQ(TextOf(e), "01-Jun-2009");
}

TEST(DateEditLoadingTest, EndOfLoadingRebuildsTheMask) {
    TSkinDateEdit same(nullptr, TFormatSettings::EnglishUS());
    same.BeginLoading();
    same.SetEditMask("!99/99/0000;1; ");
    same.SetText(" 6/30/2008");
    same.SetDate(EncodeDate(2008, 6, 30)); // a stored date leaves the text alone
    EXPECT_EQ(TextOf(same), " 6/30/2008");
    same.SetTodayDefault(true);
    QSignalSpy sameChanges(&same, &TSkinDateEdit::Change);
    same.EndLoading();
    EXPECT_EQ(sameChanges.count(), 0);
    EXPECT_NEAR(same.Date(), Now(), 2.0 / 86400);

    TSkinDateEdit iso(nullptr, DateLocale("yyyy-mm-dd", '-'));
    iso.BeginLoading();
    iso.SetEditMask("!99/99/0000;1; ");
    EXPECT_EQ(iso.maxLength(), 10);
    iso.SetTodayDefault(true);
    QSignalSpy isoChanges(&iso, &TSkinDateEdit::Change);
    iso.EndLoading();
    EXPECT_EQ(iso.EditMask(), "!0000/99/99;1; ");
    EXPECT_GE(isoChanges.count(), 1);
    EXPECT_EQ(TextOf(iso), FormatDateTime("yyyy-mm-dd", Now(), DateLocale("yyyy-mm-dd", '-')));
}

} // namespace

namespace {

// `keys` typed into a fresh field showing `start`, all selected (as after
// Tab) or with the cursor at the start (as after a click there).
struct TTypedDate {
    std::string Text;
    TDateTime Date;
    std::string TextAfterFocusLoss;
};

TTypedDate TypeDate(const TFormatSettings& locale, TDateTime start, bool selectAll,
                    const std::string& keys) {
    QWidget window;
    auto* edit = new TSkinDateEdit(&window, locale);
    auto* other = new QLineEdit(&window);
    other->move(0, 40);
    edit->SetTodayDefault(true);
    edit->SetDate(start);
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window, 2000));
    edit->setFocus();
    if (selectAll)
        edit->selectAll();
    else
        edit->setCursorPosition(0);
    QTest::keyClicks(edit, QString::fromStdString(keys));
    TTypedDate out{TextOf(*edit), DateOf(edit->Date()), {}};
    other->setFocus();
    out.TextAfterFocusLoss = TextOf(*edit);
    return out;
}

} // namespace

// A whole date typed with or without separators becomes the value and stays
// on focus loss; incomplete typing does not, and the value shows again.
TEST(DateEditTypingTest, TypedDatesAreTakenWholeInEitherFieldOrder) {
    const TFormatSettings mdy = TFormatSettings::EnglishUS();
    const TFormatSettings dmy = DateLocale("dd/mm/yyyy", '/');
    const TDateTime start = EncodeDate(2026, 12, 9); // shows "12/ 9/2026" or "09/12/2026"
    const struct {
        const TFormatSettings& locale;
        bool selectAll;
        std::string keys, text;
        TDateTime date;
        std::string afterFocusLoss; // empty: as text
    } cases[] = {{mdy, true, "11/01/2026", "11/01/2026", EncodeDate(2026, 11, 1), ""},
                 {mdy, true, "11012026", "11/01/2026", EncodeDate(2026, 11, 1), ""},
                 {mdy, false, "11302026", "11/30/2026", EncodeDate(2026, 11, 30), ""},
                 {mdy, true, "1/5/2026", "01/05/2026", EncodeDate(2026, 1, 5), ""},
                 {dmy, true, "11012026", "11/01/2026", EncodeDate(2026, 1, 11), ""},
                 {dmy, false, "21/03/2027", "21/03/2027", EncodeDate(2027, 3, 21), ""},
                 {dmy, true, "5/3/2026", "05/03/2026", EncodeDate(2026, 3, 5), ""},
                 // Not a whole date: the value stays and focus loss shows it again.
                 {mdy, true, "11/01/20", "11/01/20  ", start, "12/ 9/2026"},
                 {dmy, true, "11//2026", "11/  /2026", start, "09/12/2026"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        const TTypedDate typed = TypeDate(c.locale, start, c.selectAll, c.keys);
        EXPECT_EQ(typed.Text, c.text);
        EXPECT_EQ(typed.Date, c.date);
        EXPECT_EQ(typed.TextAfterFocusLoss, c.afterFocusLoss.empty() ? c.text : c.afterFocusLoss);
    }
}
