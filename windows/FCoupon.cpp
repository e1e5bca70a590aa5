#include "windows/FCoupon.h"

#include "coupons/CouponRecord.h"
#include "coupons/ListReply.h"
#include "coupons/OrderPage.h"
#include "platform/ConvertError.h"
#include "platform/DateTime.h"
#include "ui/SkinDateEdit.h"
#include "ui/SkinNumericEdit.h"
#include "ui/WindowPlacement.h"
#include "ui_FCoupon.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QScreen>
#include <QShowEvent>

#include <cmath>
#include <vector>

namespace quillory {

std::string ListCharactersRefused(const std::string& field) {
    return "The " + field +
           " cannot be stored as typed: it may not contain \"^\" or the sequence \",\" (double "
           "quote, comma, double quote), nor end in a double quote and a comma. Please change "
           "it.";
}

TfrmCoupon* frmCoupon = nullptr;

namespace {

// Generate gives up after this many codes reported taken (a server that
// answers "EXIST RECORD" to everything would otherwise keep it busy forever).
constexpr int kMaxCodeAttempts = 1000;
const char* const kMsgNoFreeCode =
    "No free coupon code was found; please check your settings and try again.";

std::string Text(const QLineEdit* edit) {
    return edit->text().toLocal8Bit().toStdString();
}

// Line breaks of any kind as the memo holds them, and back as CR LF.
QString CommentsForMemo(const std::string& comments) {
    QString text = QString::fromLocal8Bit(comments);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

TfrmCoupon::TfrmCoupon(TCouponService& service, TSkinMessage& messages, QWidget* parent,
                       TFailureView showFailure, TCommandDispatcher* dispatcher)
    : QDialog(parent), ui(std::make_unique<Ui::frmCoupon>()), FService(service),
      FMessages(messages), FShowFailure(std::move(showFailure)),
      FOwnDispatcher(dispatcher ? nullptr : std::make_unique<TCommandDispatcher>(service)),
      FDispatcher(dispatcher ? *dispatcher : *FOwnDispatcher) {
    ui->setupUi(this);
    setFixedSize(510, 415);
    // The captions beside the fields are set in the dialog's designed font
    // (Arial, 11 pixels), so they fit the places the layout gives them.
    QFont captions(QStringLiteral("Arial"));
    captions.setPixelSize(11);
    for (QWidget* w : findChildren<QWidget*>())
        if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) ||
            qobject_cast<QGroupBox*>(w))
            w->setFont(captions);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    ui->edtDays->SetValue(1);
    ui->edtDays->Increment = 1;
    ui->edtDays->SupportUpDownKeys = false;
    ui->edtDate->BeginLoading();
    ui->edtDate->CalendarWidth = 200;
    ui->edtDate->CalendarHeight = 150;
    ui->edtDate->FirstDayOfWeek = Sun;
    ui->edtDate->SetTodayDefault(true);
    ui->edtDate->EndLoading();
    // OK and Generate send requests: a click while one is in flight does nothing.
    connect(ui->btnOk, &QPushButton::clicked, this,
            [this] { FDispatcher.Run([this] { btnOkClick(); }); });
    connect(ui->btnCancel, &QPushButton::clicked, this, &TfrmCoupon::btnCancelClick);
    connect(ui->btnGenCode, &QPushButton::clicked, this,
            [this] { FDispatcher.Run([this] { btnGenCodeClick(); }); });
}

TfrmCoupon::~TfrmCoupon() = default;

void TfrmCoupon::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the screen, not on the window that opened it.
    if (!FCentred && !event->spontaneous()) {
        FCentred = true;
        CentreOnScreen(*this, false);
    }
}

QLineEdit* TfrmCoupon::edtCouponName() const {
    return ui->edtCouponName;
}
QLineEdit* TfrmCoupon::edtCouponCode() const {
    return ui->edtCouponCode;
}
QCheckBox* TfrmCoupon::chkEpired() const {
    return ui->chkEpired;
}
QRadioButton* TfrmCoupon::rbtOneUse() const {
    return ui->rbtOneUse;
}
QRadioButton* TfrmCoupon::rbtByDays() const {
    return ui->rbtByDays;
}
QRadioButton* TfrmCoupon::rbtByDate() const {
    return ui->rbtByDate;
}
QRadioButton* TfrmCoupon::rbtNoLimit() const {
    return ui->rbtNoLimit;
}
TSkinNumericEdit* TfrmCoupon::edtDays() const {
    return ui->edtDays;
}
TSkinDateEdit* TfrmCoupon::edtDate() const {
    return ui->edtDate;
}
QLineEdit* TfrmCoupon::edtURL() const {
    return ui->edtURL;
}
QPlainTextEdit* TfrmCoupon::memComments() const {
    return ui->memComments;
}

bool TfrmCoupon::EditMode() const {
    return windowTitle() == QLatin1String(kEditCaption);
}

void TfrmCoupon::LoadCoupon(const TCoupon& coupon) {
    setWindowTitle(QLatin1String(kEditCaption));
    FCouponID = coupon.Id;
    FLoadedCode = TrimCouponCode(coupon.Code);
    ui->edtCouponCode->setText(QString::fromLocal8Bit(coupon.Code));
    ui->edtCouponName->setText(QString::fromLocal8Bit(coupon.Name));
    ui->chkEpired->setChecked(coupon.Expired);
    // With no option matching (an expiry type this program does not know),
    // all four end up off and OK sends the type back as it came.
    FLoadedExpiry = coupon.ExpiryText();
    const std::pair<QRadioButton*, TExpiryKind> options[] = {
        {ui->rbtNoLimit, TExpiryKind::None},
        {ui->rbtOneUse, TExpiryKind::OneTimeUse},
        {ui->rbtByDays, TExpiryKind::ByDays},
        {ui->rbtByDate, TExpiryKind::ByDate}};
    for (const auto& [option, kind] : options)
        option->setAutoExclusive(false);
    for (const auto& [option, kind] : options)
        option->setChecked(coupon.Expiry == kind);
    for (const auto& [option, kind] : options)
        option->setAutoExclusive(true);
    // Days and a date the editor cannot hold stop the command: OK would
    // otherwise send other values in their place.
    if (!coupon.Days)
        throw EConvertError("'" + coupon.DaysText() + "' is not a valid integer value");
    if (!coupon.ExpiryDate)
        throw EConvertError("'" + coupon.ExpiryDateText() + "' is not a valid date");
    ui->edtDays->SetValue(*coupon.Days);
    // The value itself is set (OK sends the value, not the text); the text
    // follows in the user's own date format.
    ui->edtDate->SetDate(*coupon.ExpiryDate);
    ui->edtURL->setText(QString::fromLocal8Bit(coupon.OrderPage));
    ui->memComments->setPlainText(CommentsForMemo(coupon.Comments));
}

TCoupon TfrmCoupon::RequestValues() const {
    TCoupon c;
    c.Id = EditMode() ? FCouponID : std::string();
    c.Code = TrimCouponCode(Text(ui->edtCouponCode));
    c.Name = Text(ui->edtCouponName);
    c.Expired = ui->chkEpired->isChecked();
    if (ui->rbtOneUse->isChecked())
        c.Expiry = TExpiryKind::OneTimeUse;
    else if (ui->rbtByDays->isChecked())
        c.Expiry = TExpiryKind::ByDays;
    else if (ui->rbtByDate->isChecked())
        c.Expiry = TExpiryKind::ByDate;
    else if (ui->rbtNoLimit->isChecked() || !EditMode())
        c.Expiry = TExpiryKind::None;
    else
        c.SetExpiryText(FLoadedExpiry); // a type the dialog does not offer
    c.Days = static_cast<int>(std::trunc(ui->edtDays->Value()));
    c.ExpiryDate = DateOf(ui->edtDate->Date());
    QString comments = ui->memComments->toPlainText();
    comments.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    c.Comments = comments.toLocal8Bit().toStdString();
    c.OrderPage = Text(ui->edtURL);
    c.CreateDate = FormatDateYMD(Today());
    return c;
}

void TfrmCoupon::Warn(const std::string& text) {
    // The editor's own messages are short; the entry refusals are not.
    FMessages.ShowMessageDialog(WrapMessageText(text), dkWarning, {dbOK});
}

void TfrmCoupon::Failure(const std::string& text) {
    if (FShowFailure)
        FShowFailure(text);
    else
        Warn(text);
}

void TfrmCoupon::btnOkClick() {
    if (ui->edtCouponName->text().isEmpty())
        return Warn(kMsgProvideName);
    // A code is stored without the blanks around it (customers type it
    // without them); one that is only blanks counts as empty.
    const std::string code = TrimCouponCode(Text(ui->edtCouponCode));
    if (code.empty())
        return Warn(kMsgProvideCode);
    if (CouponCodeHasBlank(code) && !(EditMode() && code == FLoadedCode))
        return Warn(kCodeBlankRefused);
    if (code != Text(ui->edtCouponCode))
        ui->edtCouponCode->setText(QString::fromLocal8Bit(code));
    const TCoupon v = RequestValues();
    // What the coupon list cannot carry back is refused before anything is sent.
    const std::pair<const std::string*, const char*> checked[] = {
        {&v.Name, "Coupon Name"},
        {&v.Code, "Coupon Code"},
        {&v.OrderPage, "Discounted Order Page"},
        {&v.Comments, "Comments"}};
    for (const auto& [value, field] : checked)
        if (!FitsListReply(*value))
            return Warn(ListCharactersRefused(field));
    if (!IsAllowedOrderPage(v.OrderPage))
        return Warn(kOrderPageRefused);

    const bool edit = EditMode();
    TCouponResult result = TCouponResult::Failed;
    {
        TCommandDispatcher::TRequest request(FDispatcher);
        result = edit ? FService.EditCoupon(v) : FService.AddCoupon(v);
    }
    switch (result) {
    case TCouponResult::Done:
        done(1);
        return;
    case TCouponResult::CodeExists:
        return Failure(kMsgCodeExists);
    case TCouponResult::NoSuchCoupon:
        return Failure(kMsgCouponGone);
    case TCouponResult::Failed:
        break;
    }
    Failure(edit ? kMsgEditTrouble : kMsgAddTrouble);
}

void TfrmCoupon::btnCancelClick() {
    done(2);
}

void TfrmCoupon::reject() {
    done(2);
}

void TfrmCoupon::btnGenCodeClick() {
    std::optional<std::string> code;
    {
        TCommandDispatcher::TRequest request(FDispatcher);
        code = GenerateCouponCode(FService, kMaxCodeAttempts);
    }
    if (code)
        ui->edtCouponCode->setText(QString::fromLocal8Bit(*code));
    else
        Failure(kMsgNoFreeCode);
}

} // namespace quillory
