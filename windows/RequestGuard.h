#pragma once
// One coupon request at a time. A command asks InFlight() first and returns
// at once when a request is already running (the message pump can run a
// second click in the middle of one); while a guard lives, the application
// shows the busy cursor.
#include "coupons/CouponService.h"

namespace quillory {

class TRequestGuard {
public:
    TRequestGuard();
    ~TRequestGuard();
    TRequestGuard(const TRequestGuard&) = delete;
    TRequestGuard& operator=(const TRequestGuard&) = delete;

    // Ends the guard early (before a message is shown, for instance).
    void Release();

    // True while a guard lives or the service's client is in an exchange.
    static bool InFlight(const TCouponService& service);

private:
    bool FHeld = true;
};

} // namespace quillory
