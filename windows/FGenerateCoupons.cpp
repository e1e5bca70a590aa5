#include "windows/FGenerateCoupons.h"

#include "coupons/CouponRecord.h"
#include "coupons/ListReply.h"
#include "coupons/OrderPage.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quillory {

namespace {

std::string Text(const QLineEdit* edit) {
    return edit->text().toLocal8Bit().toStdString();
}

} // namespace

TfrmGenerateCoupons::TfrmGenerateCoupons(TSkinMessage& messages, QWidget* parent)
    : QDialog(parent), FMessages(messages) {
    setObjectName(QStringLiteral("frmGenerateCoupons"));
    setWindowTitle(QStringLiteral("Generate coupons"));
    auto* layout = new QVBoxLayout(this);

    auto* codes = new QGroupBox(QStringLiteral("Codes"), this);
    auto* codeForm = new QFormLayout(codes);
    FCount = new QSpinBox(codes);
    FCount->setRange(1, kMaxBatchCoupons);
    FCount->setValue(100);
    codeForm->addRow(QStringLiteral("Number of coupons:"), FCount);
    FPrefix = new QLineEdit(codes);
    codeForm->addRow(QStringLiteral("Prefix:"), FPrefix);
    FSuffix = new QLineEdit(codes);
    codeForm->addRow(QStringLiteral("Suffix:"), FSuffix);
    FLength = new QSpinBox(codes);
    FLength->setRange(kMinCodeLength, kMaxCodeLength);
    FLength->setValue(8);
    codeForm->addRow(QStringLiteral("Code length:"), FLength);
    FAlphabet = new QComboBox(codes);
    FAlphabet->addItem(QStringLiteral("Letters and digits"), int(TCodeAlphabet::Both));
    FAlphabet->addItem(QStringLiteral("Letters"), int(TCodeAlphabet::Letters));
    FAlphabet->addItem(QStringLiteral("Digits"), int(TCodeAlphabet::Digits));
    FAlphabet->setToolTip(QStringLiteral("Characters that look alike (0 and O, 1, I and L, ...) "
                                         "are left out."));
    codeForm->addRow(QStringLiteral("Characters:"), FAlphabet);
    layout->addWidget(codes);

    auto* shared = new QGroupBox(QStringLiteral("Every coupon"), this);
    auto* sharedForm = new QFormLayout(shared);
    FName = new QLineEdit(shared);
    sharedForm->addRow(QStringLiteral("Coupon Name:"), FName);
    FOneUse = new QRadioButton(QStringLiteral("One Time Use"), shared);
    FOneUse->setChecked(true);
    FByDays = new QRadioButton(QStringLiteral("By "), shared);
    FDays = new QSpinBox(shared);
    FDays->setRange(1, 99999);
    FDays->setValue(30);
    FByDate = new QRadioButton(QStringLiteral("By this date"), shared);
    FDate = new QDateEdit(QDate::currentDate().addMonths(1), shared);
    FDate->setCalendarPopup(true);
    FNoLimit = new QRadioButton(QStringLiteral("No limit"), shared);
    auto* expiry = new QVBoxLayout;
    expiry->addWidget(FOneUse);
    auto* days = new QHBoxLayout;
    days->addWidget(FByDays);
    days->addWidget(FDays);
    days->addWidget(new QLabel(QStringLiteral("day(s)"), shared));
    days->addStretch();
    expiry->addLayout(days);
    auto* date = new QHBoxLayout;
    date->addWidget(FByDate);
    date->addWidget(FDate);
    date->addStretch();
    expiry->addLayout(date);
    expiry->addWidget(FNoLimit);
    sharedForm->addRow(QStringLiteral("Expiration:"), expiry);
    FOrderPage = new QLineEdit(shared);
    sharedForm->addRow(QStringLiteral("Discounted Order Page:"), FOrderPage);
    FComments = new QPlainTextEdit(shared);
    FComments->setMaximumHeight(80);
    sharedForm->addRow(QStringLiteral("Comments:"), FComments);
    layout->addWidget(shared);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

TCodeRules TfrmGenerateCoupons::Rules() const {
    TCodeRules r;
    r.Count = FCount->value();
    r.Prefix = Text(FPrefix);
    r.Suffix = Text(FSuffix);
    r.Length = FLength->value();
    r.Alphabet = static_cast<TCodeAlphabet>(FAlphabet->currentData().toInt());
    return r;
}

TCoupon TfrmGenerateCoupons::Pattern() const {
    TCoupon c;
    c.Name = Text(FName);
    c.Expiry = FOneUse->isChecked()   ? TExpiryKind::OneTimeUse
               : FByDays->isChecked() ? TExpiryKind::ByDays
               : FByDate->isChecked() ? TExpiryKind::ByDate
                                      : TExpiryKind::None;
    c.Days = FDays->value();
    const QDate d = FDate->date();
    c.SetExpiryDateText(std::to_string(d.year()) + "-" + std::to_string(d.month()) + "-" +
                        std::to_string(d.day()));
    c.OrderPage = TrimText(Text(FOrderPage));
    QString comments = FComments->toPlainText();
    comments.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    c.Comments = comments.toLocal8Bit().toStdString();
    const QDate today = QDate::currentDate();
    c.CreateDate = std::to_string(today.year()) + "-" + std::to_string(today.month()) + "-" +
                   std::to_string(today.day());
    return c;
}

std::optional<std::string> TfrmGenerateCoupons::Problem() const {
    if (auto problem = CodeRulesProblem(Rules()))
        return problem;
    const TCoupon c = Pattern();
    if (c.Name.empty())
        return "Please provide a Coupon Name.";
    if (!FitsListReply(c.Name) || !FitsListReply(c.OrderPage) || !FitsListReply(c.Comments))
        return "The name, order page and comments cannot contain \"^\" or the sequence "
               "\",\" (quote, comma, quote).";
    if (!IsAllowedOrderPage(c.OrderPage))
        return kOrderPageRefused;
    return std::nullopt;
}

void TfrmGenerateCoupons::accept() {
    if (auto problem = Problem()) {
        FMessages.ShowMessageDialog(*problem, dkWarning, {dbOK});
        return;
    }
    QDialog::accept();
}

} // namespace quillory
