#include "coupons/CouponRecord.h"

#include <chrono>
#include <random>

namespace quillory {

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
