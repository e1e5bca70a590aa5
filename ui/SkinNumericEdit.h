#pragma once
// The number field: accepts only what can make a number and keeps the value
// in Value, clamped to MinValue..MaxValue (equal limits mean none).
#include "platform/FormatSettings.h"

#include <QLineEdit>

#include <exception>

namespace quillory {

enum TValueType { vtInteger, vtFloat };

class TSkinNumericEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TSkinNumericEdit(QWidget* parent = nullptr);
    TSkinNumericEdit(QWidget* parent, const TFormatSettings& fs);

    TValueType ValueType() const { return FValueType; }
    void SetValueType(TValueType t) { FValueType = t; }
    double Value() const { return FValue; }
    // Stores the clamped value and shows it (rounded to an integer, ties to
    // even, or with Decimal decimals).
    void SetValue(double value);
    double MinValue = 0;
    double MaxValue = 0;
    double Increment = 1;
    bool SupportUpDownKeys = false;
    int Decimal = 2;

    bool IsValidNumberText(const QString& text) const;
    // Replaces the text as typing would (the change runs its checks; a parser
    // failure is thrown from here).
    void SetText(const QString& text);

signals:
    // After every change of the text except a correcting rewrite.
    void Change();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void TextChanged();
    double Clamp(double v) const;
    QString ValueText(double v) const;
    void RethrowPending();

    TFormatSettings FFormat;
    TValueType FValueType = vtInteger;
    double FValue = 0;
    bool FSettingValue = false;
    bool FCorrecting = false;
    std::exception_ptr FPending;
};

} // namespace quillory
