#pragma once
// The report at the end of "Import coupons…": one line saying how many rows
// were added and refused, then a line for every row of the file, in order,
// saying what became of it (added, or refused with why). The rows can be
// many, so they stand in a scrolling text that can be selected and copied.
#include <QDialog>

#include <string>

class QLabel;
class QPlainTextEdit;

namespace quillory {

class TfrmImportReport : public QDialog {
    Q_OBJECT
public:
    // `summary` and `rows` are bytes in the locale's encoding; `rows` holds
    // one line a row.
    TfrmImportReport(const std::string& summary, const std::string& rows,
                     QWidget* parent = nullptr);

    QLabel* lblSummary() const { return FSummary; }
    QPlainTextEdit* memRows() const { return FRows; }

private:
    QLabel* FSummary;
    QPlainTextEdit* FRows;
};

} // namespace quillory
