#pragma once
// The settings dialog: the site address and the values of the server
// settings script coupsettings.php.
#include "coupons/CouponService.h"
#include "coupons/LocalSettings.h"
#include "coupons/SiteTest.h"
#include "http/HTTPClient.h"
#include "windows/CommandDispatcher.h"

#include <QDialog>

#include <memory>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace Ui {
class frmSettings;
}

namespace quillory {

class TSkinMessage;

// The site address the settings dialog stores when it shows `shown` in place
// of `stored`: where the shown address still has "***" for its password and
// the stored one has a password, the stored password takes its place (also
// when the host or path were changed); anything else is used as shown, so a
// password typed over the "***" is the new one.
std::string SiteWithStoredPassword(const std::string& shown, const std::string& stored);

class TfrmSettings : public QDialog {
public:
    // Shows `values` in the edit boxes.
    explicit TfrmSettings(const TSettingsValues& values = {}, QWidget* parent = nullptr);
    ~TfrmSettings() override;

    // Writes coupsettings.php from the edit boxes (with the admin user name
    // and password hash when the site address carries credentials, and with
    // the order-page secret when order pages are protected: the stored one,
    // or a fresh one when there is none or a new one was asked for), then
    // copies the boxes into AppliedValues(). Nothing is written or copied
    // when the credentials cannot be used, and nothing is copied when the
    // file cannot be written.
    void ApplySettings();
    // The values OK applied: the ones to put in force when the dialog ends
    // with OK (1).
    const TSettingsValues& AppliedValues() const { return FApplied; }

    // The site address field. An address put into it from outside is kept
    // and shown with its password as "***"; SiteURL() gives the address to
    // store.
    QLineEdit* edtSite() const;
    std::string SiteURL() const;
    QLineEdit* edtHostname() const;
    QLineEdit* edtDatabase() const;
    QLineEdit* edtUsername() const;
    QLineEdit* edtPassword() const;
    QLineEdit* edtInvalid() const;
    // Whether coupsettings.php protects order pages with signed passes, and
    // whether OK replaces the stored secret with a fresh one. The secret
    // itself is never shown.
    QCheckBox* chkProtectOrders() const;
    QCheckBox* chkNewSecret() const;
    // Says whether order pages are protected by the settings in force.
    QLabel* lblOrderPages() const;

    // Closing the dialog in any way but OK ends it with the result Cancel (2).
    void reject() override;

    // The database coupsettings.php points the script at: MySQL/MariaDB
    // (the four boxes on the left) or an SQLite file at a path on the server
    // (its $dsn). The boxes of the choice not taken keep their text but are
    // greyed out.
    QRadioButton* rbtMySQL() const;
    QRadioButton* rbtSQLite() const;
    QLineEdit* edtSQLitePath() const;
    // "Test": asks the service at the Site URL as typed (not the stored one)
    // whether it works, on a client of the dialog's own, and says in
    // lblTest what works or what is wrong. A click while a test runs does
    // nothing; the dialog stays open and usable meanwhile.
    QPushButton* btnTest() const;
    QLabel* lblTest() const;
    const TSiteTestResult& LastTest() const { return FLastTest; }
    // The full path of the coupsettings.php OK writes (in the data folder).
    static std::string ScriptPath();

private:
    void btnOkClick();
    void btnCancelClick();
    void edtSiteChange();
    void chkProtectOrdersChange();

    std::unique_ptr<Ui::frmSettings> ui;
    std::string FStoredSite;   // the address as it came in, password and all
    std::string FStoredSecret; // the order-page secret in force, or empty
    TSettingsValues FApplied;
    bool FMaskingSite = false;

    void DatabaseChoiceChange();
    void btnTestClick();
    // The Test's own client: what it does never touches the main window's.
    THTTPClient FTestHTTP;
    TCouponService FTestService;
    TCommandDispatcher FTestDispatcher;
    TSiteTestResult FLastTest;
};

// How long a Test waits for each reply, in milliseconds.
inline constexpr int kSiteTestReadTimeout = 30000;

// After OK: names the coupsettings.php at `scriptPath` that was written,
// reminds the seller to upload it, and offers to open its folder (Yes opens
// it in the file manager; a folder that cannot be opened is said so).
void OfferServerScriptFolder(TSkinMessage& messages, const std::string& scriptPath);

extern TfrmSettings* frmSettings;

} // namespace quillory
