#include "ui/SkinNumericEdit.h"

#include "platform/DateTime.h"
#include "ui/DateEditText.h"
#include "ui/SkinDateEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

#include <charconv>
#include <cmath>

namespace quillory {

TSkinNumericEdit::TSkinNumericEdit(QWidget* parent)
    : TSkinNumericEdit(parent, DefaultFormatSettings()) {}

TSkinNumericEdit::TSkinNumericEdit(QWidget* parent, const TFormatSettings& fs)
    : QLineEdit(parent), FFormat(fs) {
    setProperty("SkinDataName", "edit");
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    {
        const bool was = FSettingValue;
        FSettingValue = true;
        QLineEdit::setText("0");
        FSettingValue = was;
    }
    connect(this, &QLineEdit::textChanged, this, [this] {
        // A parser failure cannot travel through the line edit's own code;
        // it is kept and thrown once the edit operation has finished.
        try {
            TextChanged();
        } catch (...) {
            FPending = std::current_exception();
        }
    });
}

bool TSkinNumericEdit::IsValidNumberText(const QString& qtext) const {
    const std::string t = qtext.toLocal8Bit().toStdString();
    if (t.empty() || t == "-")
        return false;
    int separators = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (c == '-') {
            if (i != 0)
                return false;
        } else if (FValueType == vtFloat && c == FFormat.DecimalSeparator) {
            if (++separators > 1 || i == 0)
                return false;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

double TSkinNumericEdit::Clamp(double v) const {
    if (MinValue == MaxValue)
        return v;
    return std::min(std::max(v, MinValue), MaxValue);
}

QString TSkinNumericEdit::ValueText(double v) const {
    if (FValueType == vtInteger)
        return QString::number(static_cast<long long>(std::nearbyint(v)));
    return QString::fromLocal8Bit(FormatFloat(v, Decimal, FFormat).c_str());
}

void TSkinNumericEdit::TextChanged() {
    if (FCorrecting)
        return;
    if (!FSettingValue && IsValidNumberText(text())) {
        const std::string t = text().toLocal8Bit().toStdString();
        double parsed = 0;
        if (FValueType == vtInteger) {
            std::int32_t v = 0;
            auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
            if (ec != std::errc() || p != t.data() + t.size())
                throw EConvertError("'" + t + "' is not a valid integer value");
            parsed = v;
        } else if (!TryStrToFloat(t, FFormat, parsed)) {
            throw EConvertError("'" + t + "' is not a valid floating point value");
        }
        const double clamped = Clamp(parsed);
        if (clamped != FValue)
            FValue = clamped;
        if (clamped != parsed) {
            FCorrecting = true;
            const int cursor = cursorPosition();
            QLineEdit::setText(ValueText(clamped));
            setCursorPosition(std::min(cursor, static_cast<int>(text().size())));
            FCorrecting = false;
        }
    }
    emit Change();
}

void TSkinNumericEdit::RethrowPending() {
    if (FPending) {
        std::exception_ptr e = FPending;
        FPending = nullptr;
        std::rethrow_exception(e);
    }
}

void TSkinNumericEdit::SetValue(double value) {
    FValue = Clamp(value);
    FSettingValue = true;
    QLineEdit::setText(ValueText(FValue));
    FSettingValue = false;
    RethrowPending();
}

void TSkinNumericEdit::SetText(const QString& value) {
    QLineEdit::setText(value);
    RethrowPending();
}

void TSkinNumericEdit::keyPressEvent(QKeyEvent* e) {
    const QString typed = e->text();
    const auto mods = e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (SupportUpDownKeys && (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down)) {
        SetValue(FValue + (e->key() == Qt::Key_Up ? Increment : -Increment));
        return;
    }
    if (e->matches(QKeySequence::Paste)) {
        // Pasted text goes through the same key filter, one character at a time.
        for (QChar c : QApplication::clipboard()->text()) {
            QKeyEvent k(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            keyPressEvent(&k);
        }
        return;
    }
    if (mods == Qt::NoModifier && typed.size() == 1 && typed[0] >= QChar(' ')) {
        const QChar c = typed[0];
        const QString current = text();
        bool accepted = c.isDigit() && c.unicode() < 128;
        if (c == '-')
            accepted = !current.contains('-');
        if (FValueType == vtFloat && c == QChar(FFormat.DecimalSeparator))
            accepted = !current.contains(c);
        if (!accepted) {
            QApplication::beep();
            return;
        }
    }
    QLineEdit::keyPressEvent(e);
    RethrowPending();
}

} // namespace quillory
