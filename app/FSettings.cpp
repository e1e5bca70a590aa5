#include "FSettings.h"

#include "ErrorReport.h"
#include "coupons/ServerSettingsScript.h"
#include "http/URI.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "platform/Shell.h"
#include "ui/SkinMessage.h"
#include "ui_FSettings.h"

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

namespace quillory {

TfrmSettings* frmSettings = nullptr;

namespace {
std::string Text(const QLineEdit* edit) {
    return edit->text().toLocal8Bit().toStdString();
}

const char* const kMaskedPassword = "***";
} // namespace

std::string SiteWithStoredPassword(const std::string& shown, const std::string& stored) {
    const TURI was(stored);
    const TURI now(shown);
    if (was.Password.empty() || now.Password != kMaskedPassword)
        return shown;
    // The user part as the address splitter read it: it must stand in the
    // shown text exactly so, right after the scheme.
    const std::string prefix = now.Protocol + "://" + now.Username + ":" + kMaskedPassword + "@";
    if (shown.compare(0, prefix.size(), prefix) != 0)
        return shown;
    return now.Protocol + "://" + now.Username + ":" + was.Password + "@" +
           shown.substr(prefix.size());
}

TfrmSettings::TfrmSettings(const TSettingsValues& values, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmSettings>()),
      FTestService(FTestHTTP, [this] { return SiteURL(); }), FTestDispatcher(FTestService) {
    ui->setupUi(this);
    setFixedSize(690, 285);
    ui->edtPassword->setEchoMode(QLineEdit::Password);
    connect(ui->edtSite, &QLineEdit::textChanged, this, [this] { edtSiteChange(); });
    const std::pair<QLineEdit*, const std::string*> shown[] = {
        {ui->edtSite, &values.WebServer},      {ui->edtHostname, &values.DbHostName},
        {ui->edtDatabase, &values.DbDatabase}, {ui->edtUsername, &values.DbUserName},
        {ui->edtPassword, &values.DbPassword}, {ui->edtInvalid, &values.InvalidPage}};
    for (const auto& [edit, value] : shown)
        edit->setText(QString::fromLocal8Bit(*value));
    FStoredSecret = values.OrderSecret;
    const bool isProtected = !FStoredSecret.empty();
    ui->lblOrderPages->setText(isProtected ? "Order pages are protected."
                                           : "Order pages are not protected.");
    ui->chkProtectOrders->setChecked(isProtected);
    connect(ui->chkProtectOrders, &QCheckBox::toggled, this, [this] { chkProtectOrdersChange(); });
    chkProtectOrdersChange();
    connect(ui->btnOk, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { btnOkClick(); }); });
    connect(ui->btnCancel, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { btnCancelClick(); }); });

    (values.DbKind == TDatabaseKind::SQLite ? ui->rbtSQLite : ui->rbtMySQL)->setChecked(true);
    ui->edtSQLitePath->setText(QString::fromLocal8Bit(values.SQLitePath));
    connect(ui->rbtSQLite, &QRadioButton::toggled, this, [this] { DatabaseChoiceChange(); });
    DatabaseChoiceChange();
    // The Test's client behaves as the main window's does.
    FTestHTTP.HandleRedirects = true;
    FTestHTTP.AllowCookies = true;
    FTestService.ReadTimeout = kSiteTestReadTimeout;
    connect(ui->btnTest, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { btnTestClick(); }); });
    // A result speaks of the address it tested: an edited one has none yet.
    connect(ui->edtSite, &QLineEdit::textEdited, this, [this] {
        if (!FTestDispatcher.InFlight())
            ui->lblTest->clear();
    });
}

TfrmSettings::~TfrmSettings() = default;

QLineEdit* TfrmSettings::edtSite() const {
    return ui->edtSite;
}
std::string TfrmSettings::SiteURL() const {
    return SiteWithStoredPassword(Text(ui->edtSite), FStoredSite);
}

void TfrmSettings::edtSiteChange() {
    // Only an address set from outside (the stored one) is taken in and
    // masked; what the user types stays as typed.
    if (FMaskingSite || ui->edtSite->isModified())
        return;
    FStoredSite = Text(ui->edtSite);
    const std::string shown = RedactURLPassword(FStoredSite);
    if (shown == FStoredSite)
        return;
    FMaskingSite = true;
    ui->edtSite->setText(
        QString::fromLocal8Bit(shown.data(), static_cast<qsizetype>(shown.size())));
    FMaskingSite = false;
}

QLineEdit* TfrmSettings::edtHostname() const {
    return ui->edtHostname;
}
QLineEdit* TfrmSettings::edtDatabase() const {
    return ui->edtDatabase;
}
QLineEdit* TfrmSettings::edtUsername() const {
    return ui->edtUsername;
}
QLineEdit* TfrmSettings::edtPassword() const {
    return ui->edtPassword;
}
QLineEdit* TfrmSettings::edtInvalid() const {
    return ui->edtInvalid;
}

QCheckBox* TfrmSettings::chkProtectOrders() const {
    return ui->chkProtectOrders;
}
QCheckBox* TfrmSettings::chkNewSecret() const {
    return ui->chkNewSecret;
}
QLabel* TfrmSettings::lblOrderPages() const {
    return ui->lblOrderPages;
}

void TfrmSettings::chkProtectOrdersChange() {
    // A new secret only means something for a protection already in force:
    // turning protection on always makes one.
    const bool canRenew = ui->chkProtectOrders->isChecked() && !FStoredSecret.empty();
    ui->chkNewSecret->setEnabled(canRenew);
    if (!canRenew)
        ui->chkNewSecret->setChecked(false);
}

void TfrmSettings::ApplySettings() {
    TServerSettings s;
    s.HostName = Text(ui->edtHostname);
    s.Database = Text(ui->edtDatabase);
    s.UserName = Text(ui->edtUsername);
    s.Password = Text(ui->edtPassword);
    s.InvalidPage = Text(ui->edtInvalid);
    // An SQLite file: its $dsn replaces the MySQL values, which stay in the
    // boxes (and settings.dat) but never reach a file meant for the server.
    const bool sqlite = ui->rbtSQLite->isChecked();
    const std::string sqlitePath = Text(ui->edtSQLitePath);
    TServerSettings written = s;
    if (sqlite) {
        written.Dsn = SQLiteDsn(sqlitePath);
        written.HostName.clear();
        written.Database.clear();
        written.UserName.clear();
        written.Password.clear();
    }
    // Credentials in the site address lock the server's admin actions to
    // them: the script gets the user name and a hash of the password.
    std::string password;
    const std::string site = SiteURL();
    if (SiteCredentials(site, written.AdminUser, password))
        written.AdminHash = HashAdminPassword(password);
    // One secret for as long as the seller keeps order pages protected:
    // passes already handed out stay good until they expire.
    if (ui->chkProtectOrders->isChecked())
        written.OrderSecret = FStoredSecret.empty() || ui->chkNewSecret->isChecked()
                                  ? NewOrderSecret()
                                  : FStoredSecret;
    // The script holds the database password: a new one is private to its owner.
    WriteWholeFile(ScriptPath(), BuildServerSettingsScript(written), kPrivateFileMode);

    FApplied = {site,       s.HostName,    s.Database,         s.UserName,
                s.Password, s.InvalidPage, written.OrderSecret};
    FApplied.DbKind = sqlite ? TDatabaseKind::SQLite : TDatabaseKind::MySQL;
    FApplied.SQLitePath = sqlitePath;
}

void TfrmSettings::btnOkClick() {
    ApplySettings();
    done(1);
}

void TfrmSettings::btnCancelClick() {
    done(2);
}

void TfrmSettings::reject() {
    done(2);
}

QRadioButton* TfrmSettings::rbtMySQL() const {
    return ui->rbtMySQL;
}
QRadioButton* TfrmSettings::rbtSQLite() const {
    return ui->rbtSQLite;
}
QLineEdit* TfrmSettings::edtSQLitePath() const {
    return ui->edtSQLitePath;
}
QPushButton* TfrmSettings::btnTest() const {
    return ui->btnTest;
}
QLabel* TfrmSettings::lblTest() const {
    return ui->lblTest;
}

std::string TfrmSettings::ScriptPath() {
    return DataFolder() + "coupsettings.php";
}

void TfrmSettings::DatabaseChoiceChange() {
    const bool sqlite = ui->rbtSQLite->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->lblHostname, ui->edtHostname, ui->lblDatabase, ui->edtDatabase, ui->lblUsername,
             ui->edtUsername, ui->lblPassword, ui->edtPassword})
        w->setEnabled(!sqlite);
    ui->edtSQLitePath->setEnabled(sqlite);
}

void TfrmSettings::btnTestClick() {
    // One test at a time: a click while one runs (the window stays usable
    // while it waits) is refused without a word.
    FTestDispatcher.Run([this] {
        ui->lblTest->setText(QStringLiteral("Testing the Site URL\u2026"));
        FLastTest = FTestDispatcher.Request([this] { return TestSiteConnection(FTestService); });
        ui->lblTest->setText(QString::fromLocal8Bit(FLastTest.Line));
    });
}

void OfferServerScriptFolder(TSkinMessage& messages, const std::string& scriptPath) {
    const std::string folder = scriptPath.substr(0, scriptPath.rfind('/') + 1);
    const std::string text = "The server settings were written to\n\r" + scriptPath +
                             "\n\rUpload this file into the folder of couponsactions.php on "
                             "your web site.\n\r\n\rOpen its folder now?";
    if (messages.ShowMessageDialog(text, dkInformation, {dbYes, dbNo}) != mrYes)
        return;
    if (!OpenFolder(folder))
        messages.ShowMessageDialog("The folder could not be opened (no xdg-open was found, or "
                                   "the folder is gone):\n\r" +
                                       folder,
                                   dkWarning, {dbOK});
}
} // namespace quillory
