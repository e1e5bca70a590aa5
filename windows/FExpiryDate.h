#pragma once
// "Set expiry date…": a small dialog with one date (typed, or picked from a
// drop-down calendar), today + 30 days at first. The coupons it is used for
// are named in its line.
#include "platform/DateTime.h"

#include <QDialog>

#include <string>

class QDateEdit;
class QLabel;

namespace quillory {

// The days from today a new expiry date starts at.
inline constexpr int kExpiryDateDefaultDays = 30;

class TfrmExpiryDate : public QDialog {
    Q_OBJECT
public:
    // `count` ticked coupons get the date.
    explicit TfrmExpiryDate(std::size_t count, QWidget* parent = nullptr);

    // The date chosen, as a whole day.
    TDateTime Date() const;
    // The date as the field shows it.
    std::string DateText() const;

    QDateEdit* edtDate() const { return FDate; }
    QLabel* lblCoupons() const { return FLabel; }

private:
    QLabel* FLabel;
    QDateEdit* FDate;
};

} // namespace quillory
