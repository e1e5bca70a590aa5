#pragma once
// Acting on many coupons chosen by id: their whole records fetched, one
// change made to each (the expired flag, the expiry date) and sent back with
// every other field as the server holds it, and copies of them added with
// freshly drawn codes. The window's list menu runs these on the ticked
// coupons.
#include "coupons/CodeBatch.h"
#include "coupons/CouponService.h"
#include "platform/DateTime.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillory {

// Up to this many coupons are fetched one request each (action 9); more
// come from one list request (action 5), which is then cheaper.
inline constexpr std::size_t kFetchOneByOneUpTo = 64;

// What became of one coupon.
enum class TChangeState {
    Done,      // changed and stored, or (a fetch) fetched, or (a copy) added
    Unchanged, // it already was so: nothing was sent
    Gone,      // the server has no such coupon (deleted elsewhere)
    Refused,   // the server refused it, or its record could not be read: Reason says why
    Failed,    // the request failed (Reason says why): the later coupons were not sent
    NotSent,   // cancelled, or not sent after a failed request
};

struct TChangeResult {
    TChangeState State = TChangeState::NotSent;
    std::string Reason;
};

// What an action on many coupons came to, per id in the order given.
struct TCouponsOutcome {
    std::vector<TChangeResult> Results;
    // The coupon as fetched and changed (a change), the copy as last sent
    // (a duplicate); a default coupon where none was fetched.
    std::vector<TCoupon> Coupons;
    bool Cancelled = false;
    // How many results are in `state`.
    std::size_t Count(TChangeState state) const;
};

// Runs work that may take long (decoding a large list) while the caller's
// window stays responsive; empty: the work runs in place.
using TRunAside = std::function<void(const std::function<void()>& work)>;

// The whole records of the coupons `ids` (ids as the list shows them: quotes
// removed, trimmed). A few are fetched one request each; many, or any when
// `withDetails` (the use count and status, which only the list carries),
// through one list request. `progress` is asked before each request of the
// first way. A coupon the server no longer has is Gone; a failed request
// makes the coupons not yet fetched Failed or NotSent.
TCouponsOutcome FetchCouponsById(TCouponService& service, const std::vector<std::string>& ids,
                                 bool withDetails = false, const TBulkProgress& progress = {},
                                 const TRunAside& runAside = {});

// One change made to many coupons.
struct TCouponChange {
    enum TKind { MarkExpired, ClearExpired, SetExpiryDate } Kind = MarkExpired;
    TDateTime Date = 0; // SetExpiryDate: the day the coupons expire on
};

// Makes `change` on `coupon`, every other field left as it is; false when
// the coupon already was so.
bool ApplyCouponChange(TCoupon& coupon, const TCouponChange& change);

// Fetches each coupon, makes `change` and sends it back with an edit
// (action 3), one coupon at a time; `progress` is asked before each coupon
// and may stop the rest. A coupon that already is so is not sent. The code
// loses any blanks around it, as every edit does (the service refuses such
// a code); every other field goes back as the server sent it, values this
// program cannot read included.
TCouponsOutcome ChangeCoupons(TCouponService& service, const std::vector<std::string>& ids,
                              const TCouponChange& change, const TBulkProgress& progress = {},
                              const TRunAside& runAside = {});

// The rules a copy's code is drawn by: as long as the original's code (four
// to 32 symbols), from digits when it has only digits, letters when only
// letters, else both; a part up to a last "-" or "_" stays as the prefix
// when at least four symbols follow it.
TCodeRules CopyCodeRules(const std::string& code);

// Adds a copy of each coupon: every field of the original but its code (a
// fresh one by CopyCodeRules, drawn anew when taken), its id, its use count
// and its create date (today). Through the bulk add; `progress` sees the
// fetch, then the add.
TCouponsOutcome DuplicateCoupons(TCouponService& service, const std::vector<std::string>& ids,
                                 const TBulkProgress& progress = {},
                                 const TRunAside& runAside = {});

} // namespace quillory
