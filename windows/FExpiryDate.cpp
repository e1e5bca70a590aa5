#include "windows/FExpiryDate.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace quillory {

TfrmExpiryDate::TfrmExpiryDate(std::size_t count, QWidget* parent)
    : QDialog(parent), FLabel(new QLabel(this)),
      FDate(new QDateEdit(QDate::currentDate().addDays(kExpiryDateDefaultDays), this)) {
    setObjectName(QStringLiteral("frmExpiryDate"));
    setWindowTitle(QStringLiteral("Set expiry date"));
    FLabel->setObjectName(QStringLiteral("lblCoupons"));
    FLabel->setText(count == 1 ? QStringLiteral("The ticked coupon expires on:")
                               : QStringLiteral("The %1 ticked coupons expire on:").arg(count));
    FDate->setObjectName(QStringLiteral("edtDate"));
    FDate->setCalendarPopup(true);
    // The dates the service stores: four-digit years.
    FDate->setDateRange(QDate(1900, 1, 1), QDate(9999, 12, 31));
    FLabel->setBuddy(FDate);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FLabel);
    layout->addWidget(FDate);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    FDate->setFocus();
}

TDateTime TfrmExpiryDate::Date() const {
    const QDate d = FDate->date();
    return EncodeDate(d.year(), d.month(), d.day());
}

std::string TfrmExpiryDate::DateText() const {
    return FDate->date().toString(FDate->displayFormat()).toLocal8Bit().toStdString();
}

} // namespace quillory
