#include "coupons/Coupon.h"

#include <charconv>

namespace quillory {

bool ExpiredFromText(std::string_view text) {
    // The common forms "0" and "1" are decided at once.
    if (text.size() == 1)
        return text[0] == '1';
    return TrimText(RemoveQuotes(text)) == "1";
}

namespace {
// The expiry kinds and their wire texts.
constexpr std::pair<TExpiryKind, std::string_view> kExpiryTexts[] = {{TExpiryKind::None, ""},
                                                                     {TExpiryKind::OneTimeUse, "1"},
                                                                     {TExpiryKind::ByDays, "2"},
                                                                     {TExpiryKind::ByDate, "3"}};
} // namespace

TExpiryKind ExpiryFromText(std::string_view text) {
    for (const auto& [kind, wire] : kExpiryTexts)
        if (wire == text)
            return kind;
    return TExpiryKind::Other;
}

std::string_view ExpiryKindText(TExpiryKind kind) {
    for (const auto& [known, wire] : kExpiryTexts)
        if (known == kind)
            return wire;
    return {};
}

std::optional<int> DaysFromText(std::string_view text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    int value = 0;
    auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

std::optional<long long> CountFromText(std::string_view text) {
    long long value = 0;
    const char* last = text.data() + text.size();
    auto [end, error] = std::from_chars(text.data(), last, value);
    if (text.empty() || text.size() > 18 || text[0] == '-' || error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

std::optional<TDateTime> DateFromText(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t dash = text.find('-', from);
        parts.push_back(text.substr(from, dash == std::string_view::npos ? dash : dash - from));
        if (dash == std::string_view::npos)
            break;
        from = dash + 1;
    }
    if (!parts.empty() && parts.back().empty())
        parts.pop_back(); // a "-" at the end adds no part
    if (parts.size() < 3)
        return std::nullopt;
    const auto year = DaysFromText(parts[0]), month = DaysFromText(parts[1]),
               day = DaysFromText(parts[2]);
    TDateTime date = 0;
    if (!year || !month || !day || !TryEncodeDate(*year, *month, *day, date))
        return std::nullopt;
    return date;
}

namespace {

// The kept text when it still reads as `value`, else `own` (the value's own
// form).
template <class T, class TRead>
std::string WireText(const std::string& kept, const T& value, TRead read, std::string own) {
    if (read(kept) == value)
        return kept;
    return own;
}

} // namespace

std::string TCoupon::ExpiredText() const {
    return WireText(Texts.Expired, Expired, ExpiredFromText, Expired ? "1" : "0");
}

std::string TCoupon::ExpiryText() const {
    return WireText(Texts.Expiry, Expiry, ExpiryFromText, std::string(ExpiryKindText(Expiry)));
}

std::string TCoupon::DaysText() const {
    return WireText(Texts.Days, Days, DaysFromText, Days ? std::to_string(*Days) : Texts.Days);
}

std::string TCoupon::ExpiryDateText() const {
    return WireText(Texts.ExpiryDate, ExpiryDate, DateFromText,
                    ExpiryDate ? FormatDateYMD(*ExpiryDate) : Texts.ExpiryDate);
}

std::string TCoupon::UsesText() const {
    return WireText(Texts.Uses, Uses, CountFromText, Uses ? std::to_string(*Uses) : Texts.Uses);
}

std::vector<std::pair<std::string, std::string>> CouponRequestFields(const TCoupon& c) {
    return {{"coupid", c.Id},
            {"coupcode", c.Code},
            {"coupname", c.Name},
            {"coupexpired", c.ExpiredText()},
            {"coupexpirtype", c.ExpiryText()},
            {"coupexpirdays", c.DaysText()},
            {"coupexpirdate", c.ExpiryDateText()},
            {"couponorderurl", c.OrderPage},
            {"couponcomments", c.Comments},
            {"coupcreatedate", c.CreateDate}};
}

namespace {

bool IsStatus(std::string_view text) {
    return text == kStatusActive || text == kStatusUsedUp || text == kStatusExpired;
}

// A field with every quote character removed, built without a second pass
// when it holds none (the usual case).
std::string Unquoted(std::string_view field) {
    if (field.find('"') == std::string_view::npos)
        return std::string(field);
    return RemoveQuotes(field);
}

// Fills a coupon from `count` fields read by `field` (quote rules of the
// record). With `details`, the last two fields are the use count and the
// status when they read as such.
template <class TField>
void FillCoupon(TCoupon& c, std::size_t count, bool details, TField&& field) {
    c.Id = Unquoted(field(0));
    c.Code = field(1);
    c.Name = field(2);
    c.SetExpiredText(std::string(field(3)));
    c.SetExpiryText(std::string(field(4)));
    c.SetDaysText(Unquoted(field(5)));
    c.SetExpiryDateText(Unquoted(field(6)));
    c.OrderPage = field(7);
    c.Comments = field(8);
    std::size_t own = count;
    if (details && count >= kCouponRecordFields + 2) {
        const std::string_view uses = field(count - 2), status = field(count - 1);
        if (CountFromText(uses) && IsStatus(status)) {
            c.SetUsesText(std::string(uses));
            c.Status = status;
            own = count - 2;
        }
    }
    if (own > 9)
        c.CreateDate = field(9);
}

EListReplyError TooFewFields(std::size_t count, std::size_t record) {
    return EListReplyError("A coupon record has " + std::to_string(count) + " fields; " +
                               std::to_string(kCouponRecordFields) + " are needed.",
                           record);
}

void FillFromView(TCoupon& c, const TListReplyView& list, std::size_t record, bool details) {
    const std::size_t count = list.FieldCount(record);
    if (count < kCouponRecordFields)
        throw TooFewFields(count, record);
    FillCoupon(c, count, details && count <= list.KeptFields(),
               [&](std::size_t i) { return list.Field(record, i); });
}

} // namespace

TCoupon CouponFromFields(const TListRecord& fields, bool details) {
    if (fields.size() < kCouponRecordFields)
        throw TooFewFields(fields.size(), 0);
    TCoupon c;
    FillCoupon(c, fields.size(), details,
               [&](std::size_t i) { return std::string_view(fields[i]); });
    return c;
}

TCoupon CouponFromView(const TListReplyView& list, std::size_t record, bool details) {
    TCoupon c;
    FillFromView(c, list, record, details);
    return c;
}

TCoupon CouponSummaryFromView(const TListReplyView& list, std::size_t record) {
    TCoupon c;
    FillCoupon(c, list.FieldCount(record), false,
               [&](std::size_t i) { return list.Field(record, i); });
    return c;
}

std::vector<TCoupon> DecodeCouponList(std::string_view reply, bool details) {
    const TListReplyView list = TListReplyView::Borrowing(
        reply, kCouponRecordFields, details ? kDetailedRecordFields : kCouponRecordFields + 1);
    std::vector<TCoupon> out(list.RecordCount());
    for (std::size_t i = 0; i < list.RecordCount(); ++i)
        FillFromView(out[i], list, i, details); // built where they stay
    if (!list.Complete())
        throw EListReplyError(list.Error(), list.RecordCount());
    return out;
}

} // namespace quillory
