#include "ui/SkinDateEdit.h"

#include "ui/SkinStyle.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QStyleOption>

#include <algorithm>
#include <memory>
#include <optional>

namespace quillory {

namespace {

std::optional<TFormatSettings>& DefaultSettingsSlot() {
    static std::optional<TFormatSettings> slot;
    return slot;
}

constexpr int kNavButtonSize = 23;

// The glyphs of the calendar's navigation buttons, drawn as chevrons: a
// double one for a year, a single one for a month.
QIcon NavigationGlyph(const char* name, const QColor& colour) {
    const std::string n = name;
    const bool prior = n.find("PRIOR") != std::string::npos;
    const bool year = n.find("YEAR") != std::string::npos;
    QPixmap pm(14, 14);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    auto chevron = [&](qreal cx) {
        const qreal d = prior ? -2.5 : 2.5;
        p.drawPolyline(QPolygonF()
                       << QPointF(cx - d, 3.5) << QPointF(cx + d, 7) << QPointF(cx - d, 10.5));
    };
    if (year) {
        chevron(5);
        chevron(9.5);
    } else {
        chevron(7);
    }
    return QIcon(pm);
}

struct TFlagGuard {
    bool& Flag;
    explicit TFlagGuard(bool& f) : Flag(f) { Flag = true; }
    ~TFlagGuard() { Flag = false; }
};

const TSkinData* SkinDataOf(const QWidget* w) {
    const QVariant v = w->property("SkinData");
    if (v.isValid())
        return qobject_cast<TSkinData*>(v.value<QObject*>());
    return ApplicationSkinData();
}

} // namespace

const TFormatSettings& DefaultFormatSettings() {
    auto& slot = DefaultSettingsSlot();
    if (!slot)
        slot = TFormatSettings::FromSystem();
    return *slot;
}

void SetDefaultFormatSettings(const TFormatSettings& fs) {
    DefaultSettingsSlot() = fs;
}

// --- calendar ------------------------------------------------------------------

TSkinMonthCalendar::TSkinMonthCalendar(QWidget* parent, const TFormatSettings& fs)
    : QWidget(parent), FDate(Now()), FFormat(fs) {
    static const char* const glyphs[4] = {"SK_PRIORYEAR", "SK_PRIORMONTH", "SK_NEXTMONTH",
                                          "SK_NEXTYEAR"};
    static const char* const names[4] = {"btnPriorYear", "btnPriorMonth", "btnNextMonth",
                                         "btnNextYear"};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(names[i]);
        b->setProperty("SkinDataName", "resizebutton");
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRaise(true);
        b->setFixedSize(kNavButtonSize, kNavButtonSize);
        b->setIcon(NavigationGlyph(glyphs[i], palette().color(QPalette::WindowText)));
        b->setAutoRepeat(true);
        const bool year = i == 0 || i == 3;
        b->setAutoRepeatInterval(year ? 100 : 250);
        b->setAutoRepeatDelay(year ? 100 : 250);
        FButtons[i] = b;
    }
    connect(FButtons[0], &QToolButton::clicked, this, &TSkinMonthCalendar::PriorYear);
    connect(FButtons[1], &QToolButton::clicked, this, &TSkinMonthCalendar::PriorMonth);
    connect(FButtons[2], &QToolButton::clicked, this, &TSkinMonthCalendar::NextMonth);
    connect(FButtons[3], &QToolButton::clicked, this, &TSkinMonthCalendar::NextYear);
    resize(200, 150);
}

void TSkinMonthCalendar::SetDate(TDateTime value) {
    FDate = value;
    update();
}

void TSkinMonthCalendar::MoveMonths(int months) {
    int y, m, d;
    DecodeDate(FDate, y, m, d);
    int index = y * 12 + (m - 1) + months;
    const int ny = index / 12, nm = index % 12 + 1;
    // The same limits for month and year moves: nothing at or before 1760,
    // nothing after 9999.
    if (ny <= 1760 || ny > 9999)
        return;
    const int nd = std::min(d, DaysInMonth(ny, nm));
    FDate = EncodeDate(ny, nm, nd) + (FDate - DateOf(FDate));
    update();
    emit DateChanged();
}

void TSkinMonthCalendar::NextMonth() {
    MoveMonths(1);
}
void TSkinMonthCalendar::PriorMonth() {
    MoveMonths(-1);
}
void TSkinMonthCalendar::NextYear() {
    MoveMonths(12);
}
void TSkinMonthCalendar::PriorYear() {
    MoveMonths(-12);
}

QFont TSkinMonthCalendar::TitleFont() const {
    QFont f = font();
    f.setBold(true);
    return f;
}

int TSkinMonthCalendar::LinePosition() const {
    return HeaderTop() + QFontMetrics(font()).height() + 1;
}

int TSkinMonthCalendar::RowHeight() const {
    return (height() - LinePosition() - 4) / 6;
}

int TSkinMonthCalendar::FirstDayColumn() const {
    int y, m, d;
    DecodeDate(FDate, y, m, d);
    const int weekday = DayOfWeek(EncodeDate(y, m, 1)) - 1; // Sunday = 0
    return ((weekday - static_cast<int>(FirstDayOfWeek)) % 7 + 7) % 7;
}

QRect TSkinMonthCalendar::DayRect(int day) const {
    const int cell = FirstDayColumn() + day - 1;
    const int top = LinePosition() + 2;
    return QRect(1 + (cell % 7) * ColumnWidth(), top + (cell / 7) * RowHeight(), ColumnWidth(),
                 RowHeight());
}

int TSkinMonthCalendar::DayAt(const QPoint& pos) const {
    const int top = LinePosition() + 2;
    if (pos.x() < 1 || pos.y() < top || ColumnWidth() <= 0 || RowHeight() <= 0)
        return 0;
    const int col = (pos.x() - 1) / ColumnWidth();
    const int row = (pos.y() - top) / RowHeight();
    if (col > 6 || row > 5)
        return 0;
    int y, m, d;
    DecodeDate(FDate, y, m, d);
    const int day = row * 7 + col - FirstDayColumn() + 1;
    return day >= 1 && day <= DaysInMonth(y, m) ? day : 0;
}

void TSkinMonthCalendar::resizeEvent(QResizeEvent*) {
    FButtons[0]->move(1, 1);
    FButtons[1]->move(1 + 24, 1);
    FButtons[3]->move(width() - 24, 1);
    FButtons[2]->move(width() - 24 - 24, 1);
}

void TSkinMonthCalendar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette pal = palette();
    // The skin's popup window colours, else the palette's.
    const TSkinData* data = SkinDataOf(this);
    const bool skinned = data && !data->Empty();
    const QColor back = skinned ? data->PopupWindow().Color("bgcolor", pal.color(QPalette::Base))
                                : pal.color(QPalette::Base);
    const QColor text = skinned ? data->PopupWindow().Color("fontcolor", pal.color(QPalette::Text))
                                : pal.color(QPalette::Text);
    p.fillRect(rect(), back);
    p.setPen(pal.color(QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    int y, m, d;
    DecodeDate(FDate, y, m, d);

    p.setFont(TitleFont());
    p.setPen(text);
    const QString title =
        QString::fromLocal8Bit(FormatDateTime("mmmm, yyyy", FDate, FFormat).c_str());
    p.drawText(QRect(0, 2, width(), kNavButtonSize), Qt::AlignHCenter | Qt::AlignVCenter, title);

    p.setFont(font());
    const int colW = ColumnWidth();
    const int textH = QFontMetrics(font()).height();
    QColor muted = text;
    muted.setAlpha(150);
    p.setPen(muted);
    for (int c = 0; c < 7; ++c) {
        const std::size_t day =
            static_cast<std::size_t>((c + static_cast<int>(FirstDayOfWeek)) % 7);
        p.drawText(QRect(1 + c * colW, HeaderTop(), colW, textH), Qt::AlignCenter,
                   QString::fromLocal8Bit(FFormat.ShortDayNames[day].c_str()));
    }
    p.setPen(text);
    p.drawLine(1, LinePosition(), width() - 2, LinePosition());

    const int days = DaysInMonth(y, m);
    for (int day = 1; day <= days; ++day) {
        const QRect cell = DayRect(day);
        if (day == d) {
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(pal.color(QPalette::Highlight), 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(cell).adjusted(1.5, 0.5, -1.5, -0.5), 3, 3);
            p.setRenderHint(QPainter::Antialiasing, false);
        }
        p.setPen(text);
        p.drawText(cell, Qt::AlignCenter, QString::number(day));
    }
}

void TSkinMonthCalendar::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    const int day = DayAt(e->position().toPoint());
    if (day == 0)
        return;
    int y, m, d;
    DecodeDate(FDate, y, m, d);
    FDate = EncodeDate(y, m, day);
    update();
    emit NumberClick();
}

TSkinPopupMonthCalendar::TSkinPopupMonthCalendar(QWidget* owner, const TFormatSettings& fs)
    : TSkinMonthCalendar(owner, fs) {
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                   Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

// --- date field --------------------------------------------------------------

TSkinDateEdit::TSkinDateEdit(QWidget* parent, const TFormatSettings& fs)
    : QLineEdit(parent), FFormat(fs), FMask(BuildDateMask(fs)) {
    setProperty("SkinDataName", "buttonedit");
    setMaxLength(FMask.Length());
    setContextMenuPolicy(Qt::NoContextMenu);
    setDragEnabled(false);
    setAcceptDrops(false);
    CalendarFont = FontFromHeight("Arial", 14);
    FCalendar = new TSkinPopupMonthCalendar(this, fs);
    FCalendar->setObjectName("Calendar");
    connect(FCalendar, &TSkinMonthCalendar::NumberClick, this, &TSkinDateEdit::CalendarNumberClick);
    connect(FCalendar, &TSkinMonthCalendar::DateChanged, this, &TSkinDateEdit::DateChange);
    setTextMargins(0, 0, 20, 0);
    setMouseTracking(true);
    // The cursor moved by anything but typing ends a typing run.
    connect(this, &QLineEdit::cursorPositionChanged, this, [this] {
        if (!FTyping)
            FTypedTo = -1;
    });
    TFlagGuard guard(FSettingText);
    QLineEdit::setText(QString::fromLocal8Bit(
        FMask.Fit(FormatDateTime(FFormat.ShortDateFormat, Date(), FFormat), FFormat.DateSeparator)
            .c_str()));
}

TSkinDateEdit::~TSkinDateEdit() {
    qApp->removeEventFilter(this);
}

TDateTime TSkinDateEdit::Date() const {
    return FCalendar->Date();
}

void TSkinDateEdit::SetDate(TDateTime value) {
    FCalendar->SetDate(value);
    if (!(FLoading && !FTodayDefault))
        SetTextFromDate();
    emit DateChange();
}

void TSkinDateEdit::SetTodayDefault(bool on) {
    FTodayDefault = on;
    FCalendar->TodayDefault = on;
    if (on)
        SetDate(Now());
}

void TSkinDateEdit::EndLoading() {
    FLoading = false;
    SetEditMask(BuildDateMask(FFormat));
    if (FTodayDefault)
        SetDate(Now());
}

void TSkinDateEdit::SetEditMask(const std::string& mask) {
    if (mask == FMask.Mask())
        return;
    FMask = TEditMask(mask);
    setMaxLength(FMask.Length());
    WriteText(FMask.Fit(text().toLocal8Bit().toStdString(), FFormat.DateSeparator));
}

void TSkinDateEdit::SetFormatSettings(const TFormatSettings& fs) {
    FFormat = fs;
    FCalendar->SetFormatSettings(fs);
    SetEditMask(BuildDateMask(fs));
    SetTextFromDate();
}

void TSkinDateEdit::SetText(const QString& value) {
    WriteText(FMask.Fit(value.toLocal8Bit().toStdString(), FFormat.DateSeparator));
}

void TSkinDateEdit::WriteText(const std::string& value) {
    if (value == text().toLocal8Bit().toStdString())
        return;
    const int cursor = cursorPosition();
    QLineEdit::setText(QString::fromLocal8Bit(value.c_str()));
    setCursorPosition(std::min(cursor, static_cast<int>(value.size())));
    SyncDateFromText();
}

void TSkinDateEdit::SyncDateFromText() {
    emit Change();
    if (FSettingText)
        return;
    const std::string t = text().toLocal8Bit().toStdString();
    if (!IsCompleteDateText(t, FFormat))
        return;
    const TDateTime value = CompleteDateTextToDate(t, FFormat);
    if (value != Date()) {
        FCalendar->SetDate(value);
        emit DateChange();
    }
}

void TSkinDateEdit::SetTextFromDate() {
    TFlagGuard guard(FSettingText);
    WriteText(
        FMask.Fit(FormatDateTime(FFormat.ShortDateFormat, Date(), FFormat), FFormat.DateSeparator));
}

void TSkinDateEdit::MoveCursorToEditable(int pos, bool forward) {
    if (forward)
        while (pos < FMask.Length() && FMask.IsLiteral(pos))
            ++pos;
    setCursorPosition(std::clamp(pos, 0, FMask.Length()));
}

void TSkinDateEdit::BlankRange(int from, int to) {
    std::string t = text().toLocal8Bit().toStdString();
    for (int i = std::max(0, from); i < std::min(to, static_cast<int>(t.size())); ++i)
        if (!FMask.IsLiteral(i))
            t[static_cast<std::size_t>(i)] = FMask.Blank();
    WriteText(t);
    setCursorPosition(std::max(0, from));
}

int TSkinDateEdit::FieldStart(int pos) const {
    while (pos > 0 && !FMask.IsLiteral(pos - 1))
        --pos;
    return pos;
}

int TSkinDateEdit::FieldEnd(int pos) const {
    while (pos < FMask.Length() && !FMask.IsLiteral(pos))
        ++pos;
    return pos;
}

void TSkinDateEdit::TypeChar(char c) {
    TFlagGuard typing(FTyping);
    if (hasSelectedText()) {
        const int start = selectionStart();
        BlankRange(start, start + static_cast<int>(selectedText().size()));
    }
    // Where typing left the cursor after the previous key: a field entered
    // that way is typed afresh.
    const bool running = FTypedTo >= 0 && cursorPosition() == FTypedTo;
    const bool separatorTaken = FSeparatorTaken;
    FTypedTo = -1;
    FSeparatorTaken = false;
    int pos = cursorPosition();
    std::string current = text().toLocal8Bit().toStdString();
    if (current.size() != static_cast<std::size_t>(FMask.Length()))
        current = FMask.Fit(current, FFormat.DateSeparator);
    if (c == FFormat.DateSeparator) {
        // The separator ends the field being typed: digits typed into it are
        // completed with leading zeros ("1/" gives "01/"), and the cursor goes
        // to the next field. Right after typing moved into a field, the
        // separator only confirms that move, so "11/01/2026" types as it reads
        // (a second one skips the field).
        const int start = FieldStart(pos);
        if (running && pos == start && start > 0 && !separatorTaken) {
            FTypedTo = pos;
            FSeparatorTaken = true;
            return;
        }
        const int end = FieldEnd(pos);
        std::string digits;
        for (int i = start; i < pos; ++i)
            if (current[static_cast<std::size_t>(i)] != FMask.Blank())
                digits += current[static_cast<std::size_t>(i)];
        const std::size_t length = static_cast<std::size_t>(end - start);
        if (!digits.empty() && digits.size() < length &&
            std::all_of(digits.begin(), digits.end(),
                        [](char d) { return d >= '0' && d <= '9'; })) {
            std::string candidate = current;
            candidate.replace(static_cast<std::size_t>(start), length,
                              std::string(length - digits.size(), '0') + digits);
            if (IsPlausibleDateText(candidate, FFormat))
                WriteText(candidate);
        }
        MoveCursorToEditable(end + 1, true);
        FTypedTo = cursorPosition();
        return;
    }
    while (pos < FMask.Length() && FMask.IsLiteral(pos))
        ++pos;
    if (pos >= FMask.Length())
        return;
    std::string candidate = current;
    // A field entered by typing is typed afresh: what it held goes, so "3"
    // typed into a day that read " 9" starts 30 and is not refused as 39.
    if (running && pos == FieldStart(pos) && pos > 0)
        for (int i = pos; i < FieldEnd(pos); ++i)
            candidate[static_cast<std::size_t>(i)] = FMask.Blank();
    candidate[static_cast<std::size_t>(pos)] = c;
    if (!IsPlausibleDateText(candidate, FFormat) || !FMask.Accepts(pos, c))
        return;
    struct TCursorAfter {
        TSkinDateEdit* Edit;
        int Pos;
        ~TCursorAfter() {
            Edit->MoveCursorToEditable(Pos, true);
            Edit->FTypedTo = Edit->cursorPosition();
        }
    } after{this, pos + 1};
    WriteText(candidate);
}

void TSkinDateEdit::keyPressEvent(QKeyEvent* e) {
    if (CalendarVisible())
        CloseUp(false);
    const auto mods = e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        QLineEdit::keyPressEvent(e);
        return;
    }
    if (e->key() == Qt::Key_Backspace && mods == Qt::NoModifier) {
        if (hasSelectedText()) {
            const int start = selectionStart();
            BlankRange(start, start + static_cast<int>(selectedText().size()));
            return;
        }
        int pos = cursorPosition() - 1;
        while (pos >= 0 && FMask.IsLiteral(pos))
            --pos;
        if (pos >= 0)
            BlankRange(pos, pos + 1);
        return;
    }
    if (e->key() == Qt::Key_Delete && mods == Qt::NoModifier) {
        const int start = hasSelectedText() ? selectionStart() : cursorPosition();
        const int end =
            hasSelectedText() ? start + static_cast<int>(selectedText().size()) : start + 1;
        BlankRange(start, end);
        return;
    }
    if (e->matches(QKeySequence::Paste)) {
        const std::string pasted = QApplication::clipboard()->text().toLocal8Bit().toStdString();
        for (char c : pasted)
            if (c != ' ')
                TypeChar(c);
        return;
    }
    if (e->matches(QKeySequence::Cut)) {
        copy();
        const int start = selectionStart();
        if (start >= 0)
            BlankRange(start, start + static_cast<int>(selectedText().size()));
        return;
    }
    if (e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo))
        return;
    const QByteArray typed = e->text().toLocal8Bit();
    if (mods == Qt::NoModifier && typed.size() == 1 &&
        static_cast<unsigned char>(typed[0]) >= ' ') {
        TypeChar(typed[0]);
        return;
    }
    QLineEdit::keyPressEvent(e);
}

bool TSkinDateEdit::TextShowsTheDate() const {
    const std::string t = text().toLocal8Bit().toStdString();
    if (!IsCompleteDateText(t, FFormat))
        return false;
    try {
        return DateOf(CompleteDateTextToDate(t, FFormat)) == DateOf(Date());
    } catch (const EConvertError&) {
        return false;
    }
}

void TSkinDateEdit::focusOutEvent(QFocusEvent* e) {
    QLineEdit::focusOutEvent(e);
    FTypedTo = -1;
    if (e->reason() == Qt::PopupFocusReason)
        return;
    if (CalendarVisible())
        CloseUp(false);
    // A partly typed or not-taken-over text shows the value again; a complete
    // date that is the value stays as it was typed.
    if (FTodayDefault && !TextShowsTheDate())
        SetTextFromDate();
}

QRect TSkinDateEdit::ButtonRect() const {
    int w = 18;
    if (const TSkinData* data = SkinDataOf(this); data && !data->Empty())
        if (const TSkinEntry* e = data->FindControl("buttonedit", "edit")) {
            QRect r;
            if (e->Rect("buttonrect", r))
                w = r.width();
        }
    return QRect(width() - w - 2, 1, w, height() - 2);
}

void TSkinDateEdit::resizeEvent(QResizeEvent* e) {
    QLineEdit::resizeEvent(e);
    setTextMargins(0, 0, ButtonMode ? ButtonRect().width() : 0, 0);
}

void TSkinDateEdit::mousePressEvent(QMouseEvent* e) {
    if (ButtonMode && e->button() == Qt::LeftButton &&
        ButtonRect().contains(e->position().toPoint())) {
        FButtonDown = true;
        if (CalendarVisible())
            CloseUp(false);
        else
            DropDown();
        setFocus(Qt::MouseFocusReason);
        update();
        return;
    }
    if (CalendarVisible())
        CloseUp(false);
    QLineEdit::mousePressEvent(e);
}

void TSkinDateEdit::mouseMoveEvent(QMouseEvent* e) {
    setCursor(ButtonMode && ButtonRect().contains(e->position().toPoint()) ? Qt::ArrowCursor
                                                                           : Qt::IBeamCursor);
    QLineEdit::mouseMoveEvent(e);
}

void TSkinDateEdit::leaveEvent(QEvent* e) {
    update(ButtonRect());
    QLineEdit::leaveEvent(e);
}

void TSkinDateEdit::paintEvent(QPaintEvent* e) {
    QLineEdit::paintEvent(e);
    if (!ButtonMode)
        return;
    QPainter p(this);
    const QRect r = ButtonRect();
    const TSkinData* data = SkinDataOf(this);
    const TSkinEntry* entry =
        data && !data->Empty()
            ? data->FindControl(property("SkinDataName").toString().toStdString(), "edit")
            : nullptr;
    std::string key = CalendarVisible() ? "downbuttonrect"
                      : underMouse() && r.contains(mapFromGlobal(QCursor::pos()))
                          ? "activebuttonrect"
                          : "buttonrect";
    if (entry && !entry->Has(key))
        key = "buttonrect";
    if (entry && DrawSkinRect(&p, data, *entry, key, r, "none"))
        return;
    QStyleOption opt;
    opt.initFrom(this);
    opt.rect = r.adjusted(4, 4, -4, -4);
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(r.left(), r.top() + 3, r.left(), r.bottom() - 3);
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &opt, &p, this);
}

bool TSkinDateEdit::CalendarVisible() const {
    return FCalendar->isVisible();
}

void TSkinDateEdit::DropDown() {
    FCalendar->resize(CalendarWidth, CalendarHeight);
    FCalendar->setFont(CalendarFont);
    FCalendar->FirstDayOfWeek = FirstDayOfWeek;
    FCalendar->setProperty("SkinData", property("SkinData"));
    if (AlphaBlend)
        FCalendar->setWindowOpacity(AlphaBlendValue / 255.0);
    QPoint at = mapToGlobal(QPoint(0, height()));
    const QScreen* s = screen();
    if (s && at.y() + CalendarHeight > s->geometry().bottom() + 1)
        at = mapToGlobal(QPoint(0, 0)) - QPoint(0, CalendarHeight);
    FCalendar->move(at);
    FCalendar->show();
    FCalendar->raise();
    qApp->installEventFilter(this);
    update();
}

void TSkinDateEdit::CloseUp(bool takeDate) {
    if (qApp)
        qApp->removeEventFilter(this);
    FCalendar->hide();
    FButtonDown = false;
    update();
    if (takeDate)
        CalendarNumberClick();
}

void TSkinDateEdit::CalendarNumberClick() {
    if (CalendarVisible()) {
        qApp->removeEventFilter(this);
        FCalendar->hide();
    }
    {
        TFlagGuard guard(FSettingText);
        WriteText(FMask.Fit(FormatDateTime(FFormat.ShortDateFormat, Date(), FFormat),
                            FFormat.DateSeparator));
    }
    emit DateChange();
    setFocus(Qt::OtherFocusReason);
}

bool TSkinDateEdit::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::MouseButtonPress && CalendarVisible()) {
        auto* w = qobject_cast<QWidget*>(watched);
        const bool onCalendar = w && (w == FCalendar || FCalendar->isAncestorOf(w));
        if (w && !onCalendar && w != this)
            CloseUp(false);
    }
    return QLineEdit::eventFilter(watched, e);
}

} // namespace quillory
