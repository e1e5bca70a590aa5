#include "coupons/CouponRecord.h"

#include <chrono>
#include <random>

namespace quillory {

bool TCouponRecord::IsExpired() const {
    return TrimText(RemoveQuotes(Expired)) == "1";
}

TCouponRecord CouponRecordFromFields(const TListRecord& fields) {
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
    if (fields.size() > 9)
        c.CreateDate = fields[9];
    return c;
}

std::vector<TCouponRecord> DecodeCouponList(std::string_view reply) {
    std::vector<TCouponRecord> out;
    ForEachListRecord(reply, kCouponRecordFields,
                      [&](TListRecord& fields) { out.push_back(CouponRecordFromFields(fields)); });
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
