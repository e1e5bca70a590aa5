#include "coupons/CouponList.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace quillory {

namespace {

constexpr std::string_view kSeparator = "\",\"";
// Separates the rows, and code from name, in the folded search text; a
// filter text holding it matches nothing.
constexpr char kSearchBreak = '\0';

constexpr std::pair<TCouponStatus, std::string_view> kStatusTexts[] = {
    {TCouponStatus::Active, kStatusActive},
    {TCouponStatus::UsedUp, kStatusUsedUp},
    {TCouponStatus::Expired, kStatusExpired}};

TCouponStatus StatusFromText(std::string_view text) {
    for (const auto& [status, wire] : kStatusTexts)
        if (wire == text)
            return status;
    return TCouponStatus::None;
}

void AppendFolded(std::string& out, std::string_view text) {
    const std::size_t from = out.size();
    out.append(text);
    for (std::size_t i = from; i < out.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(out[i]);
        if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c + 32);
        } else if (c == 0xC3 && i + 1 < out.size()) {
            // UTF-8 for U+00C0 to U+00DE, the multiplication sign aside.
            const unsigned char next = static_cast<unsigned char>(out[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97)
                out[i + 1] = static_cast<char>(next + 0x20);
            ++i;
        }
    }
}

} // namespace

std::string_view CouponStatusText(TCouponStatus status) {
    for (const auto& [known, wire] : kStatusTexts)
        if (known == status)
            return wire;
    return {};
}

std::string FoldCase(std::string_view text) {
    std::string out;
    AppendFolded(out, text);
    return out;
}

TCouponList::TCouponList(std::string reply)
    : FList(std::move(reply), kCouponListFields, kCouponListFields) {
    FExpired.resize(FList.RecordCount());
    for (std::size_t i = 0; i < FExpired.size(); ++i) {
        FExpired[i] = ExpiredFromText(FList.Field(i, 3));
    }
    ReadDetails();
    BuildSearchIndex();
}

void TCouponList::ReadDetails() {
    // The use count and the status are the last two fields of a record that
    // has at least the nine of a coupon and two more; only those fields are
    // read, from the end of the record, so nothing more is kept per row than
    // the two values.
    const std::string_view body = FList.Body();
    const char* const stop = body.data() + body.size();
    for (std::size_t row = 0; row < Count(); ++row) {
        if (FList.FieldCount(row) < kCouponRecordFields + 2)
            continue;
        const std::string_view expired = FList.Field(row, 3);
        const char* from = expired.data() + expired.size();
        const void* hat = std::memchr(from, '^', static_cast<std::size_t>(stop - from));
        std::string_view rest(
            from, static_cast<std::size_t>((hat ? static_cast<const char*>(hat) : stop) - from));
        if (!rest.empty() && rest.back() == '"')
            rest.remove_suffix(1);
        const std::size_t last = rest.rfind(kSeparator);
        if (last == std::string_view::npos || last == 0)
            continue;
        const std::size_t before = rest.rfind(kSeparator, last - 1);
        if (before == std::string_view::npos)
            continue;
        const std::string_view status = rest.substr(last + kSeparator.size());
        const std::string_view uses =
            rest.substr(before + kSeparator.size(), last - before - kSeparator.size());
        const auto count = CountFromText(uses);
        const TCouponStatus known = StatusFromText(status);
        if (!count || known == TCouponStatus::None)
            continue;
        if (FStatus.empty()) {
            FUses.assign(Count(), -1);
            FStatus.assign(Count(), static_cast<std::uint8_t>(TCouponStatus::None));
        }
        FUses[row] = *count;
        FStatus[row] = static_cast<std::uint8_t>(known);
    }
}

void TCouponList::BuildSearchIndex() {
    std::size_t size = 0;
    for (std::size_t row = 0; row < Count(); ++row)
        size += Code(row).size() + Name(row).size() + 2;
    FSearchText.clear();
    FSearchText.reserve(size);
    FSearchStart.resize(Count() + 1);
    for (std::size_t row = 0; row < Count(); ++row) {
        FSearchStart[row] = static_cast<std::uint32_t>(FSearchText.size());
        FSearchText += kSearchBreak;
        AppendFolded(FSearchText, Code(row));
        FSearchText += kSearchBreak;
        AppendFolded(FSearchText, Name(row));
    }
    FSearchStart[Count()] = static_cast<std::uint32_t>(FSearchText.size());
}

std::vector<std::uint32_t> TCouponList::Matching(std::string_view text, TCouponStatus status,
                                                 const std::vector<std::uint32_t>* within) const {
    std::vector<std::uint32_t> rows;
    const std::string needle = FoldCase(text);
    if (needle.find(kSearchBreak) != std::string::npos)
        return rows;
    auto statusFits = [&](std::size_t row) {
        return status == TCouponStatus::None || Status(row) == status;
    };
    // Each row's own folded text, searched on its own: rows are short, so a
    // search that starts afresh in each row costs little more than one pass
    // over the whole text, and a text that every row holds (a word of the
    // names) costs no more than one that few hold.
    const std::string_view all(FSearchText);
    auto holds = [&](std::size_t row) {
        const std::string_view own =
            all.substr(FSearchStart[row], FSearchStart[row + 1] - FSearchStart[row]);
        return own.find(needle) != std::string_view::npos;
    };
    if (within) {
        for (std::uint32_t row : *within)
            if (row < Count() && statusFits(row) && holds(row))
                rows.push_back(row);
        return rows;
    }
    for (std::size_t row = 0; row < Count(); ++row)
        if (statusFits(row) && (needle.empty() || holds(row)))
            rows.push_back(static_cast<std::uint32_t>(row));
    return rows;
}

std::string TCouponList::Id(std::size_t row) const {
    return TrimText(RemoveQuotes(FList.Field(row, 0)));
}

TCoupon TCouponList::Coupon(std::size_t row) const {
    TCoupon c = CouponSummaryFromView(FList, row);
    c.Id = Id(row);
    if (Status(row) != TCouponStatus::None) {
        c.SetUsesText(std::to_string(Uses(row)));
        c.Status = CouponStatusText(Status(row));
    }
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

template <class T> int Compare(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
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
        case ccUses: // no count before 0
            return Compare(Uses(a), Uses(b));
        case ccStatus: // as shown: none, "active", "expired", "used up"
            return CompareFolded(CouponStatusText(Status(a)), CouponStatusText(Status(b)));
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
