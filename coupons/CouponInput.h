#pragma once
// The checks every coupon entered outside the editor goes through (the
// command line's add and edit, a generated batch, each row of an imported
// file), and the words those entries may use for the expiry type and the
// expired flag.
#include "coupons/Coupon.h"

#include <optional>
#include <string>

namespace quillory {

// Today's date as "yyyy-m-d".
std::string TodayYMD();

// "yyyy-m-d" (a four-digit year; leading zeros allowed in month and day),
// written back without leading zeros; nothing when it is no valid date.
std::optional<std::string> NormalizeDate(const std::string& text);

// Checks the values the way the editor does before anything is sent;
// returns the reason a value is refused, or nothing. The code loses the
// blanks around it; one with a blank inside is refused unless it is
// `keptCode`, the code an edited coupon already had. The accepted texts are
// set in their plain form (expired "0"/"1", days without "+" or leading
// zeros, the dates without leading zeros; a create date that is no date
// becomes today's).
std::optional<std::string> CheckCouponInput(TCoupon& c, const std::string& keptCode = {});

// A use count to restore: empty (none), or a whole number up to nine digits.
// Returns why the text is refused, or nothing (and sets `uses`).
std::optional<std::string> ReadUseCount(const std::string& text, std::optional<long long>& uses);

// An expiry type from the words of the command line (one-time, once, days,
// date, none), the list's "one time use", or the numbers the service stores,
// in any letter case: its wire text ("1", "2", "3", "" for none); nothing
// for any other word.
std::optional<std::string> ExpiryTypeFromWord(const std::string& word);

// The expired flag from 1/0 or true/false in any letter case: "1" or "0".
std::optional<std::string> ExpiredFromWord(const std::string& word);

} // namespace quillory
