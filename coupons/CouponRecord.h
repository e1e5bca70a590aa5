#pragma once
// The records of the coupon service: a redemption (the statistics); the
// coupon itself is in Coupon.h. And the rules of coupon codes.
#include "coupons/Coupon.h"
#include "coupons/ListReply.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillory {

// A coupon code as it is stored: blanks and control characters around it
// removed (customers type the code without them).
std::string TrimCouponCode(std::string_view code);
// Whether a code holds a blank or a control character; a trimmed code that
// does is refused (nobody could type it reliably).
bool CouponCodeHasBlank(std::string_view code);
inline constexpr const char* kCodeBlankRefused =
    "A coupon code cannot contain blanks or control characters.";

// Fields a redemption record must have (id, code, date and time, address).
constexpr std::size_t kRedemptionRecordFields = 4;

struct TRedemptionRecord {
    std::string Code;       // as the customer typed it
    std::string DateUsed;   // "yyyy-mm-dd hh:mm:ss" as the server wrote it
    std::string ComputerIP; // every quote character removed
};

TRedemptionRecord RedemptionRecordFromFields(const TListRecord& fields);
std::vector<TRedemptionRecord> DecodeRedemptionList(std::string_view reply);

// A text of n + 1 capital letters from A to Y, drawn from a generator seeded
// anew from the high-resolution clock on every call.
std::string RandomCouponCode(int n);

} // namespace quillory
