#include "windows/FImportReport.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace quillory {

TfrmImportReport::TfrmImportReport(const std::string& summary, const std::string& rows,
                                   QWidget* parent)
    : QDialog(parent), FSummary(new QLabel(this)), FRows(new QPlainTextEdit(this)) {
    setObjectName(QStringLiteral("frmImportReport"));
    setWindowTitle(QStringLiteral("Import coupons"));
    resize(560, 380);
    FSummary->setObjectName(QStringLiteral("lblSummary"));
    FSummary->setText(QString::fromLocal8Bit(summary));
    FSummary->setWordWrap(true);
    FSummary->setTextFormat(Qt::PlainText);
    FRows->setObjectName(QStringLiteral("memRows"));
    FRows->setReadOnly(true);
    FRows->setLineWrapMode(QPlainTextEdit::NoWrap);
    FRows->setPlainText(QString::fromLocal8Bit(rows));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FSummary);
    layout->addWidget(FRows, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace quillory
