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

    // The expired flag with quotes and surrounding blanks removed is "1".
    bool IsExpired() const;
};

// Fields a coupon record must have (id to comments).
constexpr std::size_t kCouponRecordFields = 9;
// Fields a redemption record must have (id, code, date and time, address).
constexpr std::size_t kRedemptionRecordFields = 4;

// Throws EListReplyError when fewer than kCouponRecordFields fields are given.
TCouponRecord CouponRecordFromFields(const TListRecord& fields);

// Record `record` of a decoded list (fields 0 to 9; the tenth when present).
TCouponRecord CouponRecordFromView(const TListReplyView& list, std::size_t record);

// The coupons of a list reply (action 5, or the record of action 9), in
// order; throws EListReplyError at the first record that cannot be read.
std::vector<TCouponRecord> DecodeCouponList(std::string_view reply);

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
