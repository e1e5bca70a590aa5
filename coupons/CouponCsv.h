#pragma once
// Coupons as a CSV file, the one mapping between a coupon and a row that
// every export and import uses (the command line's and the window's).
//
// An export has a header row, then a row a coupon with the columns below.
// Every cell that a spreadsheet would run as a formula gets a "'" before it
// (GuardCsvCell), which an import removes again. Values the program cannot
// read (days "abc") are written as the server sent them.
//
// An import reads a file with a header row naming its columns in any order
// (any letter case, "code" and "name" needed, no column twice, no unknown
// column); a UTF-8 byte order mark and comma, semicolon or tab separators
// are taken. Each later row becomes a coupon checked like one typed on the
// command line (CheckCouponInput), missing or empty cells taking the
// defaults: not expired, one time use, 1 day, today's date, no order page,
// no comments, today's create date, no use count. The id and status columns
// are ignored (the service assigns ids and judges the status).
#include "coupons/Coupon.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillory {

// The columns of an export, in order; "uses" carries how often each code
// was redeemed, so a restored backup keeps used one-time coupons used.
const std::vector<std::string>& CouponCsvColumns();

// The largest file an import reads.
inline constexpr std::size_t kMaxCouponCsvBytes = 256 * 1024 * 1024;

// A file that cannot be read as coupons; the message is ready to show.
class ECouponCsvError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The header row with its CR LF.
std::string CouponCsvHeader();
// One coupon as a row with its CR LF.
std::string CouponCsvRow(const TCoupon& coupon);
// A whole export: the header row, then a row each coupon.
std::string FormatCouponCsv(const std::vector<TCoupon>& coupons);

// The bytes of the file at `path` for an import: only a regular file of at
// most kMaxCouponCsvBytes is read (a named pipe would block, a device such as
// /dev/zero would never end). Throws ECouponCsvError saying why otherwise.
std::string ReadCouponCsvFile(const std::string& path);

// One row of an imported file after the checks.
struct TCouponCsvRow {
    std::size_t Line = 0; // where the row starts in the file, from 1
    std::string Code;     // the row's code without blanks around it (may be empty)
    std::string Problem;  // why the row cannot be added; empty: Coupon is ready to send
    TCoupon Coupon;       // with a use count when the row restores one
};

// The rows of an imported file's text, blank lines left out. `source` names
// the file in the messages ("coupons.csv", "The standard input"). Throws
// ECouponCsvError when the text is no CSV, has no header row or its header
// row cannot be used; a row that cannot be added is returned with its
// Problem, and the others still go.
std::vector<TCouponCsvRow> ReadCouponCsv(std::string_view text, const std::string& source);

} // namespace quillory
