#pragma once
// The form code window: the redemption form's HTML, ready to be copied into
// a sales or order page.
#include <QDialog>

#include <memory>
#include <string>

class QPlainTextEdit;

namespace Ui {
class frmFormCode;
}

namespace quillory {

class TfrmFormCode : public QDialog {
public:
    // Builds the form from the site address and script name in force now.
    TfrmFormCode(const std::string& webServer, const std::string& scriptName,
                 QWidget* parent = nullptr);
    ~TfrmFormCode() override;

    QPlainTextEdit* memForm() const;

    // Closing the window in any way but "Copy" and "Close" ends it with Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate(const std::string& webServer, const std::string& scriptName);
    void btnOkClick();
    void btnCancelClick();

    std::unique_ptr<Ui::frmFormCode> ui;
    bool FCentredOnce = false;
};

} // namespace quillory
