#pragma once
// One coupon as a value with typed fields, and its one codec: the fields of
// the add and edit requests (actions 2 and 3) and the records of the coupon
// list and of a single coupon (actions 5 and 9) are written and read here
// and nowhere else.
//
// What the server sends is not always what this program would write: days
// "abc", an expiry type "7", a date "2024-02-30" or " 1 " for the expired
// flag. Each typed field therefore keeps, in Texts, the text it was read
// from. A field whose typed value still reads the same from its kept text is
// written back as that text, byte for byte; a field that was changed is
// written in its own form ("1"/"0", "1"/"2"/"3", decimal, "yyyy-m-d"). A value
// that does not read (days "abc") stays empty in its typed field and its text
// goes back unchanged, so a list, an export and a save of other fields never
// lose or alter it. The editor and the command line refuse such a value with
// a clear error when they must read it, as they always did.
#include "coupons/ListReply.h"
#include "platform/DateTime.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillory {

// The expiry rule. On the wire: "1", "2", "3"; the empty text for none; any
// other text is kept as it came (Other).
enum class TExpiryKind { None, OneTimeUse, ByDays, ByDate, Other };

// The field readers of the codec.
// The expired flag is set when, quotes and surrounding blanks removed, it is "1".
bool ExpiredFromText(std::string_view text);
TExpiryKind ExpiryFromText(std::string_view text);
// A whole decimal number (a "+" allowed before it), or nothing.
std::optional<int> DaysFromText(std::string_view text);
// A use count: decimal digits only (at most 18), or nothing.
std::optional<long long> CountFromText(std::string_view text);
// "yyyy-m-d": split at every "-" (a "-" at the end adds no part), the first
// three parts read as year, month and day (leading zeros allowed), or nothing.
std::optional<TDateTime> DateFromText(std::string_view text);
// The wire text of an expiry kind other than Other.
std::string_view ExpiryKindText(TExpiryKind kind);

// The texts the typed fields were read from; a new coupon starts with the
// texts of its default values.
struct TCouponTexts {
    std::string Expired = "0";
    std::string Expiry = "1";
    std::string Days = "1";
    std::string ExpiryDate;
    std::string Uses;
};

struct TCoupon {
    std::string Id; // empty for a new coupon
    std::string Code;
    std::string Name;
    bool Expired = false;
    TExpiryKind Expiry = TExpiryKind::OneTimeUse;
    std::optional<int> Days = 1;         // empty: the text is no whole number
    std::optional<TDateTime> ExpiryDate; // a whole day; empty: the text is no date
    std::string OrderPage;
    std::string Comments; // lines joined by CR LF
    // "yyyy-m-d" as the server or the sender wrote it: the add and edit
    // requests carry the date of sending, the list may carry the creation date.
    std::string CreateDate;
    // The list's details, when asked for: how often the code was redeemed
    // and "active", "used up" or "expired". An added coupon with a use count
    // (a restored backup) sends it.
    std::optional<long long> Uses;
    std::string Status;

    TCouponTexts Texts;

    // The wire text of each typed field (see above).
    std::string ExpiredText() const;
    std::string ExpiryText() const;
    std::string DaysText() const;
    std::string ExpiryDateText() const;
    std::string UsesText() const; // empty: no use count

    // Each sets the typed field from a wire text and keeps the text.
    void SetExpiredText(std::string text) { Expired = ExpiredFromText(Kept(Texts.Expired, text)); }
    void SetExpiryText(std::string text) { Expiry = ExpiryFromText(Kept(Texts.Expiry, text)); }
    void SetDaysText(std::string text) { Days = DaysFromText(Kept(Texts.Days, text)); }
    void SetUsesText(std::string text) { Uses = CountFromText(Kept(Texts.Uses, text)); }
    void SetExpiryDateText(std::string text) {
        ExpiryDate = DateFromText(Kept(Texts.ExpiryDate, text));
    }

private:
    static const std::string& Kept(std::string& kept, std::string& text) {
        kept = std::move(text);
        return kept;
    }
};

// The request fields of actions 2 and 3, in order: coupid, coupcode,
// coupname, coupexpired, coupexpirtype, coupexpirdays, coupexpirdate,
// couponorderurl, couponcomments, coupcreatedate.
std::vector<std::pair<std::string, std::string>> CouponRequestFields(const TCoupon& coupon);

// Fields a coupon record must have (id to comments).
constexpr std::size_t kCouponRecordFields = 9;
// The fields a list with details holds: the ten of a record, then the use
// count and the status.
constexpr std::size_t kDetailedRecordFields = 12;
// The statuses of a list with details.
inline constexpr const char* kStatusActive = "active";
inline constexpr const char* kStatusUsedUp = "used up";
inline constexpr const char* kStatusExpired = "expired";

// A coupon record: every quote character is removed from the id, the days
// and the expiry date, the other fields are taken as they are. Throws
// EListReplyError when fewer than kCouponRecordFields fields are given. With
// `details`, the last two fields of a record that has them (a decimal use
// count and a known status, after at least the nine fields) fill Uses and
// Status; a server that sent no details leaves both empty.
TCoupon CouponFromFields(const TListRecord& fields, bool details = false);

// Record `record` of a decoded list (fields 0 to 9; the tenth when present).
TCoupon CouponFromView(const TListReplyView& list, std::size_t record, bool details = false);

// The fields of record `record` that `list` kept, however many the record
// has (the coupon list keeps only those it shows); the others stay empty.
TCoupon CouponSummaryFromView(const TListReplyView& list, std::size_t record);

// The coupons of a list reply (action 5, or the record of action 9), in
// order; throws EListReplyError at the first record that cannot be read.
std::vector<TCoupon> DecodeCouponList(std::string_view reply, bool details = false);

} // namespace quillory
