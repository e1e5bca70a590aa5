#include "FSettings.h"

#include "ErrorReport.h"
#include "FMain.h"
#include "ServerSettingsScript.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "ui_FSettings.h"

namespace quillory {

TfrmSettings* frmSettings = nullptr;

namespace {
std::string Text(const QLineEdit* edit) {
    return edit->text().toLocal8Bit().toStdString();
}
} // namespace

TfrmSettings::TfrmSettings(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmSettings>()) {
    ui->setupUi(this);
    setFixedSize(409, 217);
    connect(ui->btnOk, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { btnOkClick(); }); });
    connect(ui->btnCancel, &QPushButton::clicked, this,
            [this] { RunGuarded([this] { btnCancelClick(); }); });
}

TfrmSettings::~TfrmSettings() = default;

QLineEdit* TfrmSettings::edtSite() const {
    return ui->edtSite;
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

void TfrmSettings::ApplySettings() {
    TServerSettings s;
    s.HostName = Text(ui->edtHostname);
    s.Database = Text(ui->edtDatabase);
    s.UserName = Text(ui->edtUsername);
    s.Password = Text(ui->edtPassword);
    s.InvalidPage = Text(ui->edtInvalid);
    // Credentials in the site address lock the server's admin actions to
    // them: the script gets the user name and a hash of the password.
    std::string password;
    if (SiteCredentials(Text(ui->edtSite), s.AdminUser, password))
        s.AdminHash = HashAdminPassword(password);
    WriteWholeFile(ProgramFolder() + "coupsettings.php", BuildServerSettingsScript(s));

    TfrmMain* main = frmMain;
    main->FWebServer = Text(ui->edtSite);
    main->FDbHostName = s.HostName;
    main->FDbDatabase = s.Database;
    main->FDbUserName = s.UserName;
    main->FDbPassword = s.Password;
    main->FInvalidPage = s.InvalidPage;
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

} // namespace quillory
