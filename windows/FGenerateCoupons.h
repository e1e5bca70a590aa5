#pragma once
// The "Generate coupons…" dialog: how many coupons, how their codes are
// drawn (prefix, suffix, length, alphabet) and the values they all share
// (name, expiry, order page, comments). OK checks the values and closes; the
// caller adds the coupons.
#include "coupons/CodeBatch.h"
#include "coupons/Coupon.h"
#include "ui/SkinMessage.h"

#include <QDialog>

#include <optional>
#include <string>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;

namespace quillory {

class TfrmGenerateCoupons : public QDialog {
    Q_OBJECT
public:
    // `messages` says what is wrong with the fields when OK is pressed.
    explicit TfrmGenerateCoupons(TSkinMessage& messages, QWidget* parent = nullptr);

    // What the fields say, valid after OK.
    TCodeRules Rules() const;
    TCoupon Pattern() const;
    // Why the fields cannot be used, or nothing.
    std::optional<std::string> Problem() const;

    QSpinBox* Count() const { return FCount; }
    QLineEdit* Prefix() const { return FPrefix; }
    QLineEdit* Suffix() const { return FSuffix; }
    QSpinBox* Length() const { return FLength; }
    QComboBox* Alphabet() const { return FAlphabet; }
    QLineEdit* CouponName() const { return FName; }
    QRadioButton* OneUse() const { return FOneUse; }
    QRadioButton* ByDays() const { return FByDays; }
    QRadioButton* ByDate() const { return FByDate; }
    QRadioButton* NoLimit() const { return FNoLimit; }
    QSpinBox* Days() const { return FDays; }
    QDateEdit* Date() const { return FDate; }
    QLineEdit* OrderPage() const { return FOrderPage; }
    QPlainTextEdit* Comments() const { return FComments; }

    void accept() override;

private:
    TSkinMessage& FMessages;
    QSpinBox* FCount;
    QLineEdit* FPrefix;
    QLineEdit* FSuffix;
    QSpinBox* FLength;
    QComboBox* FAlphabet;
    QLineEdit* FName;
    QRadioButton* FOneUse;
    QRadioButton* FByDays;
    QRadioButton* FByDate;
    QRadioButton* FNoLimit;
    QSpinBox* FDays;
    QDateEdit* FDate;
    QLineEdit* FOrderPage;
    QPlainTextEdit* FComments;
};

} // namespace quillory
