#include "windows/RequestGuard.h"

#include <QCursor>
#include <QGuiApplication>

namespace quillory {

namespace {
int gGuards = 0;
}

TRequestGuard::TRequestGuard() {
    if (gGuards++ == 0)
        QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
}

TRequestGuard::~TRequestGuard() {
    Release();
}

void TRequestGuard::Release() {
    if (!FHeld)
        return;
    FHeld = false;
    if (--gGuards == 0)
        QGuiApplication::restoreOverrideCursor();
}

bool TRequestGuard::InFlight(const TCouponService& service) {
    return gGuards > 0 || service.Busy();
}

} // namespace quillory
