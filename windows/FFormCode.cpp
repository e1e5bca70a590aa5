#include "windows/FFormCode.h"

#include "coupons/FormCode.h"
#include "ui/WindowPlacement.h"
#include "ui_FFormCode.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QShowEvent>

namespace quillory {

TfrmFormCode::TfrmFormCode(const std::string& webServer, const std::string& scriptName,
                           QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::frmFormCode>()) {
    ui->setupUi(this);
    setFixedSize(402, 200);
    connect(ui->btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    connect(ui->btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    FormCreate(webServer, scriptName);
}

TfrmFormCode::~TfrmFormCode() = default;

QPlainTextEdit* TfrmFormCode::memForm() const {
    return ui->memForm;
}

void TfrmFormCode::FormCreate(const std::string& webServer, const std::string& scriptName) {
    const std::string html = BuildRedemptionForm(webServer, scriptName);
    ui->memForm->setPlainText(
        QString::fromLocal8Bit(html.data(), static_cast<qsizetype>(html.size())));
}

void TfrmFormCode::btnOkClick() {
    // The text comes back from the box itself; wrapping adds no line breaks
    // to it. The clipboard gets plain text only.
    auto* data = new QMimeData;
    data->setText(ui->memForm->toPlainText());
    QGuiApplication::clipboard()->setMimeData(data);
}

void TfrmFormCode::btnCancelClick() {
    done(2);
}

void TfrmFormCode::reject() {
    done(2);
}

void TfrmFormCode::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!FCentredOnce && !event->spontaneous()) {
        FCentredOnce = true;
        CentreOnScreen(*this, false);
    }
}

} // namespace quillory
