#include "coupons/CouponList.h"

#include <algorithm>
#include <numeric>

namespace quillory {

TCouponList::TCouponList(std::string reply)
    : FList(std::move(reply), kCouponListFields, kCouponListFields) {
    FExpired.resize(FList.RecordCount());
    for (std::size_t i = 0; i < FExpired.size(); ++i) {
        FExpired[i] = ExpiredFromText(FList.Field(i, 3));
    }
}

std::string TCouponList::Id(std::size_t row) const {
    return TrimText(RemoveQuotes(FList.Field(row, 0)));
}

TCoupon TCouponList::Coupon(std::size_t row) const {
    TCoupon c = CouponSummaryFromView(FList, row);
    c.Id = Id(row);
    return c;
}

namespace {

int CompareFolded(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y + 32);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

std::vector<std::uint32_t> TCouponList::SortedOrder(int column, bool descending) const {
    std::vector<std::uint32_t> order(Count());
    std::iota(order.begin(), order.end(), 0u);
    auto compare = [&](std::uint32_t a, std::uint32_t b) -> int {
        switch (column) {
        case ccName:
            return CompareFolded(Name(a), Name(b));
        case ccCode:
            return CompareFolded(Code(a), Code(b));
        default: // "False" before "True"
            return static_cast<int>(Expired(a)) - static_cast<int>(Expired(b));
        }
    };
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = compare(a, b);
        return descending ? c > 0 : c < 0;
    });
    return order;
}

} // namespace quillory
