#pragma once
// Many coupons at once: the rules their codes are drawn by, the drawing, and
// adding a batch whose codes the server reports taken are drawn anew.
#include "coupons/CouponService.h"

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quillory {

// The symbols codes are drawn from. Look-alikes are left out: 0/O and 1/I/L
// always, and in codes of letters and digits also the digits 2, 5 and 8
// (Z, S and B).
enum class TCodeAlphabet { Letters, Digits, Both };

inline constexpr int kMaxBatchCoupons = 10000;
inline constexpr int kMinCodeLength = 4;
inline constexpr int kMaxCodeLength = 32;
// The longest code the service stores, in bytes.
inline constexpr std::size_t kMaxCodeBytes = 255;

struct TCodeRules {
    int Count = 1;
    std::string Prefix;
    std::string Suffix;
    int Length = 8; // the drawn part, without prefix and suffix
    TCodeAlphabet Alphabet = TCodeAlphabet::Both;
};

// "letters", "digits", "both" (any letter case), or nothing.
std::optional<TCodeAlphabet> CodeAlphabetFromWord(const std::string& word);
// The symbols of an alphabet, in order.
const std::string& CodeAlphabetSymbols(TCodeAlphabet alphabet);
// Why codes cannot be drawn by `rules` (a sentence for the user), or nothing.
std::optional<std::string> CodeRulesProblem(const TCodeRules& rules);

// Draws codes by `rules` (which CodeRulesProblem accepts) from the system's
// random source. `taken` holds the upper-case forms of codes not to draw
// (the service matches codes in any letter case); each code drawn joins it.
// Returns `count` codes, all different; throws std::runtime_error when the
// rules leave no room for them.
std::vector<std::string> DrawCouponCodes(const TCodeRules& rules, int count,
                                         std::set<std::string>& taken);
std::string CodeKey(const std::string& code);

struct TBatchResult {
    std::vector<TCoupon> Added; // in the order they were stored, with their codes
    // The coupons not added, with why (the code they last had).
    std::vector<std::pair<TCoupon, TBulkRowResult>> NotAdded;
    bool FellBack = false;  // the server had no bulk action
    bool Cancelled = false; // `progress` stopped it
};

// What AddRedrawingTakenCodes came to.
struct TDrawnAdd {
    std::vector<TBulkRowResult> Rows; // per coupon, in the order given
    std::vector<std::size_t> Order;   // the coupons added, in the order they were stored
    bool FellBack = false;            // the server had no bulk action
    bool Cancelled = false;           // `progress` stopped it
};

// How often a batch draws new codes for those the server reports taken.
inline constexpr int kRedrawRounds = 20;

// Adds `coupons` with the codes they have; a code the server reports taken
// is replaced by one drawn by `*rules[i]` (keys of every code drawn join
// `taken`) and the coupon is sent again, up to kRedrawRounds times. Each
// coupon ends with its code as last sent and, once added, its id. A
// coupon is never dropped silently: its row says added, or why not.
TDrawnAdd AddRedrawingTakenCodes(TCouponService& service, std::vector<TCoupon>& coupons,
                                 const std::vector<const TCodeRules*>& rules,
                                 std::set<std::string>& taken, const TBulkProgress& progress = {});

// Adds `rules.Count` coupons like `pattern`, each with a code drawn by
// `rules`. A code the server reports taken is drawn anew and sent again (up
// to kRedrawRounds times); such a coupon is never dropped silently: it is
// added or listed in NotAdded with why.
TBatchResult AddCouponBatch(TCouponService& service, const TCoupon& pattern,
                            const TCodeRules& rules, const TBulkProgress& progress = {});

} // namespace quillory
