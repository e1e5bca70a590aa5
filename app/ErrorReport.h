#pragma once
// The program's general error handling: an exception that leaves an event
// handler ends that handler, its message is shown to the user, and the
// program goes on with the next event.
#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace quillory {

// Shows an error message to the user as a modal dialog.
void ShowErrorMessage(const QString& message);

// Shows the message of the exception currently being handled (call from a
// catch block).
void ReportCurrentException();

// Replaces the way errors are shown (tests record them instead of opening a
// dialog); an empty function restores the dialog.
void SetErrorPresenter(std::function<void(const QString&)> presenter);

// Runs `handler`, reporting any exception that leaves it. Every event handler
// connected by the windows goes through this.
template <typename F> void RunGuarded(F&& handler) {
    try {
        handler();
    } catch (...) {
        ReportCurrentException();
    }
}

} // namespace quillory
