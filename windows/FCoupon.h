#pragma once
// The coupon editor: one dialog for a new coupon and for a change to an
// existing one. The caption is the mode: exactly "Edit Coupon" sends an edit
// request, anything else an add request. It is handed the coupon service its
// requests go through and the message component its messages go through.
#include "coupons/Coupon.h"
#include "coupons/CouponRecord.h"
#include "coupons/CouponService.h"
#include "platform/FormatSettings.h"
#include "ui/SkinMessage.h"
#include "windows/CommandDispatcher.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

namespace Ui {
class frmCoupon;
}

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace quillory {

class TSkinDateEdit;
class TSkinNumericEdit;

// The editor's messages.
inline constexpr const char* kMsgProvideName = "Please provide a Coupon Name.";
inline constexpr const char* kMsgProvideCode = "Please provide a Coupon Code.";
inline constexpr const char* kMsgAddTrouble =
    "There is a trouble adding this coupon, please check your settings and your internet "
    "connection.";
inline constexpr const char* kMsgCodeExists =
    "This coupon code already exists. Please enter a new code.";
inline constexpr const char* kMsgEditTrouble =
    "There is a trouble editing this coupon, please check your settings and your internet "
    "connection.";
inline constexpr const char* kMsgCouponGone =
    "This coupon code don't exists. Please close the edit windows and try again.";
inline constexpr const char* kEditCaption = "Edit Coupon";

// The message shown when a value holds what the coupon list cannot carry
// ("^" or the sequence "\",\""); `field` is the field's caption.
std::string ListCharactersRefused(const std::string& field);

class TfrmCoupon : public QDialog {
    Q_OBJECT
public:
    // Shows a failure of a request (the main window decides how).
    using TFailureView = std::function<void(const std::string& text)>;

    // OK and Generate run through `dispatcher` (the main window's), or
    // through one of the editor's own when none is given.
    TfrmCoupon(TCouponService& service, TSkinMessage& messages, QWidget* parent = nullptr,
               TFailureView showFailure = {}, TCommandDispatcher* dispatcher = nullptr);
    ~TfrmCoupon() override;

    // Puts the dialog in edit mode and fills it from `coupon`. Throws
    // EConvertError when the days are not a whole number or the expiry date is
    // not a "yyyy-m-d" date; the dialog is then not fit to be shown.
    void LoadCoupon(const TCoupon& coupon);
    // The id of the coupon being edited.
    const std::string& CouponID() const { return FCouponID; }

    // The coupon the dialog holds, as OK sends it (create date = today; the
    // id empty in add mode).
    TCoupon RequestValues() const;

    bool EditMode() const;

    QLineEdit* edtCouponName() const;
    QLineEdit* edtCouponCode() const;
    QCheckBox* chkEpired() const;
    QRadioButton* rbtOneUse() const;
    QRadioButton* rbtByDays() const;
    QRadioButton* rbtByDate() const;
    // The fourth expiry choice: no limit (the empty expiry type).
    QRadioButton* rbtNoLimit() const;
    TSkinNumericEdit* edtDays() const;
    TSkinDateEdit* edtDate() const;
    QLineEdit* edtURL() const;
    QPlainTextEdit* memComments() const;

    void btnOkClick();
    void btnCancelClick();
    void btnGenCodeClick();

    // The frame's close button and Escape end the dialog with 2.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Warn(const std::string& text);
    void Failure(const std::string& text);

    std::unique_ptr<Ui::frmCoupon> ui;
    TCouponService& FService;
    TSkinMessage& FMessages;
    TFailureView FShowFailure;
    std::unique_ptr<TCommandDispatcher> FOwnDispatcher;
    TCommandDispatcher& FDispatcher;
    std::string FCouponID;
    // The code the edited coupon had: a code stored before blanks inside one
    // were refused may be kept as it is.
    std::string FLoadedCode;
    // The expiry type the edited coupon had, sent back unchanged when it is
    // none the dialog offers (no option on).
    std::string FLoadedExpiry;
    bool FCentred = false;
};

// The editor while a command shows it.
extern TfrmCoupon* frmCoupon;

} // namespace quillory
