#include "ErrorReport.h"

#include "ui/SkinMessage.h"
#include "ui/SkinStyle.h"

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
    // The program's own message dialog, in the application's skin.
    TSkinMessage dialogs;
    dialogs.UseProgramDefaults(ApplicationSkinData());
    dialogs.ShowMessageDialog(message.toLocal8Bit().toStdString(), dkError, {dbOK});
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
