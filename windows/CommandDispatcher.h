#pragma once
// One coupon request at a time. Every command that may start a request runs
// through the dispatcher: while a request or a list decode is in flight, or a
// window that fetches on opening is on its way, the command is refused at
// once, without a message (the message pump can deliver a second click, a
// shortcut or a timer in the middle of a request). While a request runs, the
// application shows the busy cursor.
#include "coupons/CouponService.h"

#include <functional>
#include <utility>

namespace quillory {

class TCommandDispatcher {
public:
    explicit TCommandDispatcher(const TCouponService& service) : FService(service) {}
    TCommandDispatcher(const TCommandDispatcher&) = delete;
    TCommandDispatcher& operator=(const TCommandDispatcher&) = delete;

    // True while a request of this dispatcher runs, a window is opening
    // through it, or the service's client is in an exchange.
    bool InFlight() const;

    // Runs `command` unless something is in flight. False when refused.
    bool Run(const std::function<void()>& command);

    // Marks a request (which sends and decodes) as in flight while it
    // lives, with the busy cursor; the mark ends however the request ends.
    class TRequest {
    public:
        explicit TRequest(TCommandDispatcher& owner, bool busyCursor = true);
        ~TRequest();
        TRequest(const TRequest&) = delete;
        TRequest& operator=(const TRequest&) = delete;

    private:
        TCommandDispatcher& FOwner;
        bool FBusyCursor;
    };

    // Runs `request` marked as in flight, with the busy cursor; returns what
    // it returns.
    template <typename F> decltype(auto) Request(F&& request) {
        TRequest mark(*this);
        return std::forward<F>(request)();
    }

    // Runs `work` marked as in flight like a request, with no cursor of its
    // own, for work that shows its own: a window that fetches while it opens,
    // the update check with its dialogs, a list decoded aside.
    template <typename F> decltype(auto) RunMarked(F&& open) {
        TRequest mark(*this, false);
        return std::forward<F>(open)();
    }

private:
    const TCouponService& FService;
    int FInFlight = 0;
};

} // namespace quillory
