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

#include <charconv>
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

// A whole decimal number, or EConvertError.
int ReadInteger(const std::string& text) {
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error != std::errc() || end != last)
        throw EConvertError("'" + text + "' is not a valid integer value");
    return value;
}

// "yyyy-m-d" (leading zeros allowed) as a date, or EConvertError.
TDateTime ReadServerDate(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t dash = text.find('-', from);
        parts.push_back(text.substr(from, dash - from));
        if (dash == std::string::npos)
            break;
        from = dash + 1;
    }
    if (!parts.empty() && parts.back().empty())
        parts.pop_back(); // a "-" at the end adds no part
    if (parts.size() < 3)
        throw EConvertError("'" + text + "' is not a valid date");
    TDateTime date = 0;
    if (!TryEncodeDate(ReadInteger(parts[0]), ReadInteger(parts[1]), ReadInteger(parts[2]), date))
        throw EConvertError("'" + text + "' is not a valid date");
    return date;
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

void TfrmCoupon::LoadCoupon(const TCouponRecord& coupon) {
    setWindowTitle(QLatin1String(kEditCaption));
    FCouponID = coupon.Id;
    FLoadedCode = TrimCouponCode(coupon.Code);
    ui->edtCouponCode->setText(QString::fromLocal8Bit(coupon.Code));
    ui->edtCouponName->setText(QString::fromLocal8Bit(coupon.Name));
    ui->chkEpired->setChecked(coupon.Expired == "1");
    // With no option matching, all three end up off.
    ui->rbtOneUse->setAutoExclusive(false);
    ui->rbtByDays->setAutoExclusive(false);
    ui->rbtByDate->setAutoExclusive(false);
    ui->rbtOneUse->setChecked(coupon.ExpiryType == "1");
    ui->rbtByDays->setChecked(coupon.ExpiryType == "2");
    ui->rbtByDate->setChecked(coupon.ExpiryType == "3");
    ui->rbtOneUse->setAutoExclusive(true);
    ui->rbtByDays->setAutoExclusive(true);
    ui->rbtByDate->setAutoExclusive(true);
    ui->edtDays->SetValue(ReadInteger(coupon.Days));
    // The value itself is set (OK sends the value, not the text); the text
    // follows in the user's own date format.
    ui->edtDate->SetDate(ReadServerDate(coupon.ExpiryDate));
    ui->edtURL->setText(QString::fromLocal8Bit(coupon.OrderPage));
    ui->memComments->setPlainText(CommentsForMemo(coupon.Comments));
}

TfrmCoupon::TRequestValues TfrmCoupon::RequestValues() const {
    TRequestValues v;
    v.Id = EditMode() ? FCouponID : std::string();
    v.Code = TrimCouponCode(Text(ui->edtCouponCode));
    v.Name = Text(ui->edtCouponName);
    v.Expired = ui->chkEpired->isChecked() ? "1" : "0";
    v.ExpiryType = ui->rbtOneUse->isChecked()   ? "1"
                   : ui->rbtByDays->isChecked() ? "2"
                   : ui->rbtByDate->isChecked() ? "3"
                                                : "";
    v.Days = std::to_string(static_cast<long long>(std::trunc(ui->edtDays->Value())));
    v.ExpiryDate = FormatDateYMD(ui->edtDate->Date());
    QString comments = ui->memComments->toPlainText();
    comments.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    v.Comments = comments.toLocal8Bit().toStdString();
    v.OrderPage = Text(ui->edtURL);
    v.CreateDate = FormatDateYMD(Today());
    return v;
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
    const TRequestValues v = RequestValues();
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
    int result = 0;
    {
        TCommandDispatcher::TRequest request(FDispatcher);
        result = edit ? FService.EditCoupon(v.Id, v.Code, v.Name, v.Expired, v.ExpiryType, v.Days,
                                            v.ExpiryDate, v.OrderPage, v.Comments, v.CreateDate)
                      : FService.AddCoupon(v.Id, v.Code, v.Name, v.Expired, v.ExpiryType, v.Days,
                                           v.ExpiryDate, v.OrderPage, v.Comments, v.CreateDate);
    }
    if (result == 1) {
        done(1);
        return;
    }
    if (edit)
        Failure(result == 2 ? kMsgCouponGone : kMsgEditTrouble);
    else
        Failure(result == 2 ? kMsgCodeExists : kMsgAddTrouble);
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
