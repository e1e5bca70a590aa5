#include "windows/CommandDispatcher.h"

#include <QCursor>
#include <QGuiApplication>

namespace quillory {

bool TCommandDispatcher::InFlight() const {
    return FInFlight > 0 || FService.Busy();
}

bool TCommandDispatcher::Run(const std::function<void()>& command) {
    if (InFlight())
        return false;
    command();
    return true;
}

TCommandDispatcher::TRequest::TRequest(TCommandDispatcher& owner, bool busyCursor)
    : FOwner(owner), FBusyCursor(busyCursor) {
    ++FOwner.FInFlight;
    if (FBusyCursor)
        QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
}

TCommandDispatcher::TRequest::~TRequest() {
    if (FBusyCursor)
        QGuiApplication::restoreOverrideCursor();
    --FOwner.FInFlight;
}

} // namespace quillory
