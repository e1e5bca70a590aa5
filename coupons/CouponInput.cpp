#include "coupons/CouponInput.h"

#include "coupons/CouponRecord.h"
#include "coupons/ListReply.h"
#include "coupons/OrderPage.h"
#include "platform/DateTime.h"

#include <cctype>
#include <utility>

namespace quillory {

namespace {

bool IsDecimal(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// A number of days: whole, at most nine digits, perhaps negative (the
// editor's field allows that, and a backup must restore it).
bool IsDays(const std::string& text) {
    const std::string digits = !text.empty() && text[0] == '-' ? text.substr(1) : text;
    return IsDecimal(digits) && digits.size() <= 9;
}

std::string Lower(std::string text) {
    for (char& ch : text)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return text;
}

} // namespace

std::string TodayYMD() {
    return FormatDateYMD(Today());
}

std::optional<std::string> NormalizeDate(const std::string& text) {
    auto d1 = text.find('-');
    auto d2 = d1 == std::string::npos ? d1 : text.find('-', d1 + 1);
    if (d2 == std::string::npos)
        return std::nullopt;
    const std::string y = text.substr(0, d1), m = text.substr(d1 + 1, d2 - d1 - 1),
                      d = text.substr(d2 + 1);
    if (y.size() != 4 || !IsDecimal(y) || !IsDecimal(m) || !IsDecimal(d) || m.size() > 2 ||
        d.size() > 2)
        return std::nullopt;
    const int year = std::stoi(y), month = std::stoi(m), day = std::stoi(d);
    if (!IsValidDate(year, month, day))
        return std::nullopt;
    return std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day);
}

std::optional<std::string> CheckCouponInput(TCoupon& c, const std::string& keptCode) {
    c.Code = TrimCouponCode(c.Code);
    if (c.Name.empty())
        return "Please provide a Coupon Name.";
    if (c.Code.empty())
        return "Please provide a Coupon Code.";
    if (CouponCodeHasBlank(c.Code) && c.Code != keptCode)
        return kCodeBlankRefused;
    const std::pair<const char*, const std::string*> texts[] = {{"code", &c.Code},
                                                                {"name", &c.Name},
                                                                {"order page", &c.OrderPage},
                                                                {"comments", &c.Comments}};
    for (const auto& [label, value] : texts) {
        if (!FitsListReply(*value))
            return std::string("The ") + label +
                   " cannot contain \"^\" or the sequence \\\",\\\" (nor end in \\\",).";
    }
    if (!IsAllowedOrderPage(c.OrderPage))
        return kOrderPageRefused;
    // The texts are checked as given, then sent in their plain form.
    const std::string expired = c.ExpiredText();
    if (expired != "0" && expired != "1")
        return "The expired flag must be 0 or 1, not \"" + expired + "\".";
    c.SetExpiredText(expired);
    if (c.Expiry == TExpiryKind::Other)
        return "The expiry type must be one-time, days, date or none (or 1, 2, 3), not \"" +
               c.ExpiryText() + "\".";
    const std::string days = c.DaysText();
    if (!IsDays(days))
        return "The number of days must be a whole number, not \"" + days + "\".";
    c.SetDaysText(std::to_string(std::stol(days)));
    auto date = NormalizeDate(c.ExpiryDateText());
    if (!date)
        return "The expiry date must be a date written yyyy-m-d, not \"" + c.ExpiryDateText() +
               "\".";
    c.SetExpiryDateText(*date);
    if (auto created = NormalizeDate(c.CreateDate))
        c.CreateDate = *created;
    else
        c.CreateDate = TodayYMD();
    return std::nullopt;
}

std::optional<std::string> ReadUseCount(const std::string& text, std::optional<long long>& uses) {
    if (text.empty())
        return std::nullopt;
    if (!IsDecimal(text) || text.size() > 9)
        return "The use count must be a whole number from 0 to 999999999, not \"" + text + "\".";
    uses = std::stoll(text);
    return std::nullopt;
}

std::optional<std::string> ExpiryTypeFromWord(const std::string& word) {
    const std::string v = Lower(TrimText(word));
    if (v == "one-time" || v == "once" || v == "one time use" || v == "1")
        return "1";
    if (v == "days" || v == "2")
        return "2";
    if (v == "date" || v == "3")
        return "3";
    if (v == "none" || v.empty())
        return "";
    return std::nullopt;
}

std::optional<std::string> ExpiredFromWord(const std::string& word) {
    const std::string v = Lower(TrimText(word));
    if (v == "1" || v == "true")
        return "1";
    if (v == "0" || v == "false")
        return "0";
    return std::nullopt;
}

} // namespace quillory
