#include "coupons/CouponRecord.h"

#include <chrono>
#include <random>

namespace quillory {

bool TCouponRecord::IsExpired() const {
    return TrimText(RemoveQuotes(Expired)) == "1";
}

namespace {

bool IsDecimalText(std::string_view text) {
    return !text.empty() && text.size() <= 18 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool IsStatus(std::string_view text) {
    return text == kStatusActive || text == kStatusUsedUp || text == kStatusExpired;
}

// Fills Uses and Status from the last two of `count` fields read by `field`,
// when they are the details; returns how many fields precede them.
template <class TField>
std::size_t ReadDetails(TCouponRecord& c, std::size_t count, TField&& field) {
    if (count < kCouponRecordFields + 2)
        return count;
    const std::string_view uses = field(count - 2), status = field(count - 1);
    if (!IsDecimalText(uses) || !IsStatus(status))
        return count;
    c.Uses = uses;
    c.Status = status;
    return count - 2;
}

} // namespace

TCouponRecord CouponRecordFromFields(const TListRecord& fields, bool details) {
    if (fields.size() < kCouponRecordFields) {
        throw EListReplyError("A coupon record has " + std::to_string(fields.size()) + " fields; " +
                                  std::to_string(kCouponRecordFields) + " are needed.",
                              0);
    }
    TCouponRecord c;
    c.Id = RemoveQuotes(fields[0]);
    c.Code = fields[1];
    c.Name = fields[2];
    c.Expired = fields[3];
    c.ExpiryType = fields[4];
    c.Days = RemoveQuotes(fields[5]);
    c.ExpiryDate = RemoveQuotes(fields[6]);
    c.OrderPage = fields[7];
    c.Comments = fields[8];
    std::size_t own = fields.size();
    if (details)
        own = ReadDetails(c, fields.size(),
                          [&](std::size_t i) { return std::string_view(fields[i]); });
    if (own > 9)
        c.CreateDate = fields[9];
    return c;
}

namespace {
// A field with every quote character removed, built without a second pass
// when it holds none (the usual case).
std::string Unquoted(std::string_view field) {
    if (field.find('"') == std::string_view::npos)
        return std::string(field);
    return RemoveQuotes(field);
}
} // namespace

namespace {
void FillCouponRecord(TCouponRecord& c, const TListReplyView& list, std::size_t record,
                      bool details) {
    if (list.FieldCount(record) < kCouponRecordFields) {
        throw EListReplyError("A coupon record has " + std::to_string(list.FieldCount(record)) +
                                  " fields; " + std::to_string(kCouponRecordFields) +
                                  " are needed.",
                              record);
    }
    c.Id = Unquoted(list.Field(record, 0));
    c.Code = list.Field(record, 1);
    c.Name = list.Field(record, 2);
    c.Expired = list.Field(record, 3);
    c.ExpiryType = list.Field(record, 4);
    c.Days = Unquoted(list.Field(record, 5));
    c.ExpiryDate = Unquoted(list.Field(record, 6));
    c.OrderPage = list.Field(record, 7);
    c.Comments = list.Field(record, 8);
    std::size_t own = list.FieldCount(record);
    if (details && own <= list.KeptFields())
        own = ReadDetails(c, own, [&](std::size_t i) { return list.Field(record, i); });
    if (own > 9)
        c.CreateDate = list.Field(record, 9);
}
} // namespace

TCouponRecord CouponRecordFromView(const TListReplyView& list, std::size_t record, bool details) {
    TCouponRecord c;
    FillCouponRecord(c, list, record, details);
    return c;
}

std::vector<TCouponRecord> DecodeCouponList(std::string_view reply, bool details) {
    const TListReplyView list = TListReplyView::Borrowing(
        reply, kCouponRecordFields, details ? kDetailedRecordFields : kCouponRecordFields + 1);
    std::vector<TCouponRecord> out(list.RecordCount());
    for (std::size_t i = 0; i < list.RecordCount(); ++i)
        FillCouponRecord(out[i], list, i, details); // built where they stay
    if (!list.Complete())
        throw EListReplyError(list.Error(), list.RecordCount());
    return out;
}

TRedemptionRecord RedemptionRecordFromFields(const TListRecord& fields) {
    if (fields.size() < kRedemptionRecordFields) {
        throw EListReplyError("A redemption record has " + std::to_string(fields.size()) +
                                  " fields; " + std::to_string(kRedemptionRecordFields) +
                                  " are needed.",
                              0);
    }
    return TRedemptionRecord{fields[1], fields[2], RemoveQuotes(fields[3])};
}

std::vector<TRedemptionRecord> DecodeRedemptionList(std::string_view reply) {
    std::vector<TRedemptionRecord> out;
    ForEachListRecord(reply, kRedemptionRecordFields, [&](TListRecord& fields) {
        out.push_back(RedemptionRecordFromFields(fields));
    });
    return out;
}

std::string TrimCouponCode(std::string_view code) {
    return TrimText(code);
}

bool CouponCodeHasBlank(std::string_view code) {
    for (unsigned char c : code)
        if (c <= ' ' || c == 0x7f)
            return true;
    return false;
}

std::string RandomCouponCode(int n) {
    std::mt19937 generator(static_cast<std::mt19937::result_type>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<int> letter(0, 24); // A..Y
    std::string code;
    for (long long i = 0; i <= static_cast<long long>(n); ++i)
        code.push_back(static_cast<char>('A' + letter(generator)));
    return code;
}

} // namespace quillory
