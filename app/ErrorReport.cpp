#include "ErrorReport.h"

#include <QApplication>
#include <QMessageBox>

#include <stdexcept>

namespace quillory {

namespace {
std::function<void(const QString&)>& Presenter() {
    static std::function<void(const QString&)> p;
    return p;
}
} // namespace

void SetErrorPresenter(std::function<void(const QString&)> presenter) {
    Presenter() = std::move(presenter);
}

void ShowErrorMessage(const QString& message) {
    if (Presenter()) {
        Presenter()(message);
        return;
    }
    // A plain message box until the skinned message dialog takes over.
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), message,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void ReportCurrentException() {
    QString message;
    try {
        throw;
    } catch (const std::exception& e) {
        message = QString::fromLocal8Bit(e.what());
    } catch (...) {
        message = QStringLiteral("Unknown error.");
    }
    ShowErrorMessage(message);
}

} // namespace quillory
