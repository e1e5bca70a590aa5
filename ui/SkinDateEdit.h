#pragma once
// The date field: a masked text field with a button that drops down a month
// calendar. Its value lives in the calendar and is read through Date(); the
// text is taken over as the value only when it is a complete date.
#include "platform/DateTime.h"
#include "platform/FormatSettings.h"
#include "ui/DateEditText.h"
#include "ui/SkinData.h"

#include <QLineEdit>
#include <QPointer>
#include <QToolButton>
#include <QWidget>

#include <exception>

namespace quillory {

enum TDaysOfWeek { Sun, Mon, Tue, Wed, Thu, Fri, Sat };

// The locale values the date and number fields use unless told otherwise;
// read from the system the first time they are asked for.
const TFormatSettings& DefaultFormatSettings();
void SetDefaultFormatSettings(const TFormatSettings& fs);

// A month calendar: a title, four navigation buttons, the weekday header and
// six rows of days.
class TSkinMonthCalendar : public QWidget {
    Q_OBJECT
public:
    explicit TSkinMonthCalendar(QWidget* parent = nullptr,
                                const TFormatSettings& fs = DefaultFormatSettings());

    TDateTime Date() const { return FDate; }
    void SetDate(TDateTime value);
    TDaysOfWeek FirstDayOfWeek = Sun;
    bool TodayDefault = false;
    void SetFormatSettings(const TFormatSettings& fs) {
        FFormat = fs;
        update();
    }

    // Navigation; a year move to 1760 or earlier or past 9999 does nothing,
    // and the day is clamped to the length of the new month.
    void NextMonth();
    void PriorMonth();
    void NextYear();
    void PriorYear();

    // Layout, in client coordinates.
    int ColumnWidth() const { return (width() - 2) / 7; }
    int HeaderTop() const { return 33; }
    int LinePosition() const;
    int RowHeight() const;
    // The first column of the 1st of the shown month.
    int FirstDayColumn() const;
    // The day cell under a point (1..days in month), or 0.
    int DayAt(const QPoint& pos) const;
    QRect DayRect(int day) const;
    QToolButton* NavigationButton(int which) const { return FButtons[which]; }

signals:
    void DateChanged();
    // A day was picked with the mouse.
    void NumberClick();

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void MoveMonths(int months);
    QFont TitleFont() const;

    TDateTime FDate;
    TFormatSettings FFormat;
    QToolButton* FButtons[4] = {};
};

// The drop-down variant: a frameless window that never takes the focus.
class TSkinPopupMonthCalendar : public TSkinMonthCalendar {
    Q_OBJECT
public:
    explicit TSkinPopupMonthCalendar(QWidget* owner,
                                     const TFormatSettings& fs = DefaultFormatSettings());
};

class TSkinDateEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TSkinDateEdit(QWidget* parent = nullptr,
                           const TFormatSettings& fs = DefaultFormatSettings());
    ~TSkinDateEdit() override;

    // Text: written through the mask (fields padded with leading blanks).
    void SetText(const QString& text);
    QString Text() const { return text(); }

    TDateTime Date() const;
    // Sets the value and, unless the field is loading without TodayDefault,
    // the text to the date's short date text; raises DateChange.
    void SetDate(TDateTime value);

    bool TodayDefault() const { return FTodayDefault; }
    // Switched on, sets the value to the current moment and the text to
    // today's date.
    void SetTodayDefault(bool on);

    std::string EditMask() const { return FMask.Mask(); }
    void SetEditMask(const std::string& mask);
    void SetFormatSettings(const TFormatSettings& fs);
    const TFormatSettings& FormatSettings() const { return FFormat; }

    // Loading from stored properties: between the two calls a stored Date
    // leaves the text alone; EndLoading rebuilds the mask from the date
    // format and applies TodayDefault once more.
    void BeginLoading() { FLoading = true; }
    void EndLoading();

    int CalendarWidth = 200;
    int CalendarHeight = 150;
    QFont CalendarFont;
    TDaysOfWeek FirstDayOfWeek = Sun;
    bool ButtonMode = true;
    bool AlphaBlend = false;
    bool AlphaBlendAnimation = false;
    int AlphaBlendValue = 0;

    TSkinPopupMonthCalendar* Calendar() const { return FCalendar; }
    bool CalendarVisible() const;
    void DropDown();
    void CloseUp(bool takeDate);
    QRect ButtonRect() const;

signals:
    // After every change of the text.
    void Change();
    // After the value changed.
    void DateChange();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void WriteText(const std::string& text);
    void SyncDateFromText();
    void TypeChar(char c);
    // The first position of the field holding `pos`, and the position after it.
    int FieldStart(int pos) const;
    int FieldEnd(int pos) const;
    // Whether the text is a complete date that reads as the value's day.
    bool TextShowsTheDate() const;
    void BlankRange(int from, int to);
    void MoveCursorToEditable(int pos, bool forward);
    void SetTextFromDate();
    void CalendarNumberClick();

    TFormatSettings FFormat;
    TEditMask FMask;
    TSkinPopupMonthCalendar* FCalendar = nullptr;
    bool FTodayDefault = false;
    bool FLoading = false;
    bool FSettingText = false;
    bool FButtonDown = false;
    bool FTyping = false;         // inside TypeChar
    int FTypedTo = -1;            // where the last typed key left the cursor
    bool FSeparatorTaken = false; // the last key was a separator that moved nothing
};

} // namespace quillory
