#pragma once
// The records of the coupon service: a coupon (the list and a single coupon)
// and a redemption (the statistics).
#include "coupons/ListReply.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillory {

// One coupon as the server lists it. Texts are kept as they came, except
// where a comment says otherwise.
struct TCouponRecord {
    std::string Id; // every quote character removed
    std::string Code;
    std::string Name;
    std::string Expired;    // "1" expired, anything else not
    std::string ExpiryType; // "1" one time use, "2" by days, "3" by date
    std::string Days;       // every quote character removed
    std::string ExpiryDate; // "yyyy-m-d", every quote character removed
    std::string OrderPage;
    std::string Comments;
    std::string CreateDate; // the tenth field, when the server sends one
    // Asked for with the list's details: how often the code was redeemed
    // (decimal) and "active", "used up" or "expired". Empty otherwise.
    std::string Uses;
    std::string Status;

    // The expired flag with quotes and surrounding blanks removed is "1".
    bool IsExpired() const;
};

// Fields a coupon record must have (id to comments).
constexpr std::size_t kCouponRecordFields = 9;
// Fields a redemption record must have (id, code, date and time, address).
constexpr std::size_t kRedemptionRecordFields = 4;

// The fields a list with details holds: the ten of a record, then the use
// count and the status.
constexpr std::size_t kDetailedRecordFields = 12;
// The statuses of a list with details.
inline constexpr const char* kStatusActive = "active";
inline constexpr const char* kStatusUsedUp = "used up";
inline constexpr const char* kStatusExpired = "expired";

// Throws EListReplyError when fewer than kCouponRecordFields fields are given.
// With `details`, the last two fields of a record that has them (a decimal
// use count and a known status, after at least the nine fields) fill Uses
// and Status; a server that sent no details leaves both empty.
TCouponRecord CouponRecordFromFields(const TListRecord& fields, bool details = false);

// Record `record` of a decoded list (fields 0 to 9; the tenth when present).
TCouponRecord CouponRecordFromView(const TListReplyView& list, std::size_t record,
                                   bool details = false);

// The coupons of a list reply (action 5, or the record of action 9), in
// order; throws EListReplyError at the first record that cannot be read.
std::vector<TCouponRecord> DecodeCouponList(std::string_view reply, bool details = false);

// A coupon code as it is stored: blanks and control characters around it
// removed (customers type the code without them).
std::string TrimCouponCode(std::string_view code);
// Whether a code holds a blank or a control character; a trimmed code that
// does is refused (nobody could type it reliably).
bool CouponCodeHasBlank(std::string_view code);
inline constexpr const char* kCodeBlankRefused =
    "A coupon code cannot contain blanks or control characters.";

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
