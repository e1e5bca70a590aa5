#pragma once
// The settings dialog: the site address and the values of the server
// settings script coupsettings.php.
#include <QDialog>

#include <memory>

class QLineEdit;

namespace Ui {
class frmSettings;
}

namespace quillory {

class TfrmSettings : public QDialog {
public:
    explicit TfrmSettings(QWidget* parent = nullptr);
    ~TfrmSettings() override;

    // Writes coupsettings.php from the edit boxes (with the admin user name
    // and password hash when the site address carries credentials), then
    // copies the boxes into the main window's settings. Nothing is written or
    // copied when the credentials cannot be used, and nothing is copied when
    // the file cannot be written.
    void ApplySettings();

    QLineEdit* edtSite() const;
    QLineEdit* edtHostname() const;
    QLineEdit* edtDatabase() const;
    QLineEdit* edtUsername() const;
    QLineEdit* edtPassword() const;
    QLineEdit* edtInvalid() const;

    // Closing the dialog in any way but OK ends it with the result Cancel (2).
    void reject() override;

private:
    void btnOkClick();
    void btnCancelClick();

    std::unique_ptr<Ui::frmSettings> ui;
};

extern TfrmSettings* frmSettings;

} // namespace quillory
