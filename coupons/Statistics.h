#pragma once
// The redemption statistics without Qt: the records of action 6 as TTrace
// objects, the distinct codes, the code and date filters of the statistics
// window, the sums per coupon, the sort orders of both of its tables, the
// texts it shows, the counts of its charts and the CSV export of the rows it
// shows.
#include "coupons/CouponList.h"
#include "platform/DateTime.h"
#include "platform/FormatSettings.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillory {

// One use of a coupon code.
class TTrace {
public:
    TTrace(TDateTime dateUsed, std::string code, std::string computerIP)
        : FDateUsed(dateUsed), FCode(std::move(code)), FComputerIP(std::move(computerIP)) {}

    TDateTime DateUsed() const { return FDateUsed; }
    const std::string& Code() const { return FCode; }
    const std::string& ComputerIP() const { return FComputerIP; }

private:
    TDateTime FDateUsed; // as the server wrote it, no time-zone conversion
    std::string FCode;
    std::string FComputerIP; // every double quote removed
};

// Reads the server's date-time by fixed positions: year in characters 1-4,
// then month, day, hour, minute and second as two digits each, every one
// preceded by one separator character of any kind ("2008-05-18 10:48:42",
// "2008/05/18T10.48.42"). Anything after character 19 is ignored. Throws
// EConvertError when a group is missing or not a number, or the numbers are
// no valid date and time.
TDateTime ParseServerDateTime(std::string_view text);

// The fetched redemptions in reply order (duplicates kept) and the list of
// distinct codes: codes compared without regard to case, each kept in the
// spelling and at the place of its first occurrence.
class TTraceList {
public:
    // Called every kStepRecords records while a reply is decoded, so the
    // caller can keep its window responsive.
    using TStep = std::function<void()>;
    static constexpr std::size_t kStepRecords = 1024;

    void Clear();
    // Decodes a list reply and appends its records. A record with fewer than
    // four fields or a date-time that does not parse ends the decoding with
    // EListReplyError; the records and codes before it stay.
    void ParseStatistics(std::string_view reply, const TStep& step = {});

    const std::vector<TTrace>& Traces() const { return FTraces; }
    const std::vector<std::string>& Codes() const { return FCodes; }
    std::size_t Count() const { return FTraces.size(); }
    const TTrace& operator[](std::size_t i) const { return FTraces[i]; }
    // The code of trace `i` as an index into Codes().
    std::uint32_t CodeIndex(std::size_t i) const { return FCodeIndex[i]; }

    // Sort keys, made on first use and kept until the list changes: the place
    // of each entry of Codes() in text order (letter case aside), and of each
    // trace's computer IP in address order (see CompareComputerIPs). Equal
    // keys get equal ranks.
    const std::vector<std::uint32_t>& CodeRanks() const;
    const std::vector<std::uint32_t>& IPRanks() const;

private:
    void Append(TTrace trace);

    std::vector<TTrace> FTraces;
    std::vector<std::uint32_t> FCodeIndex; // per trace, into FCodes
    std::vector<std::string> FCodes;
    std::unordered_map<std::string, std::uint32_t> FCodeKeys; // lower-case FCodes -> index
    mutable std::vector<std::uint32_t> FCodeRanks;            // per entry of FCodes
    mutable std::vector<std::uint32_t> FIPRanks;              // per trace
};

// The whole-day part of a date-time (truncated toward zero).
long long DayNumber(TDateTime dt);

// What "Show" lists: the code filter compares codes without regard to the
// case of letters (as redemption does and as the code list merges them; no
// trimming); the date filter compares calendar days, both ends inclusive.
struct TStatisticsFilter {
    enum TDateMode { dmAll, dmDay, dmRange };
    bool ByCode = false;
    std::string Code;
    TDateMode DateMode = dmAll;
    TDateTime Day = 0;  // dmDay
    TDateTime From = 0; // dmRange
    TDateTime To = 0;   // dmRange

    bool Passes(const TTrace& trace) const;
};

// Indexes of the traces that pass, in list order.
std::vector<std::size_t> FilterTraces(const std::vector<TTrace>& traces,
                                      const TStatisticsFilter& filter);

// "Date Used": the short date, then a space and the long time unless the
// time of day is exactly 00:00:00.
std::string FormatDateUsed(TDateTime dt, const TFormatSettings& fs);

// Redemptions counted per period for the chart. Periods run from the first to
// the last day shown, empty ones included; the unit is the smallest of day,
// week (starting on Sunday), month and year that needs no more than
// kMaxChartBars bars.
enum class TChartUnit { Day, Week, Month, Year };
inline constexpr std::size_t kMaxChartBars = 62;

struct TChartBar {
    TDateTime Start = 0; // first day of the period
    int Count = 0;
    std::string Label;
};

struct TChartData {
    TChartUnit Unit = TChartUnit::Day;
    std::vector<TChartBar> Bars;
};

TChartData BinRedemptions(const std::vector<TTrace>& traces, const std::vector<std::size_t>& rows,
                          const TFormatSettings& fs);

// The date axis of the chart: at most kMaxChartLabels short labels, whatever
// the range, each under a bar, on round periods (every 7th day, every 3rd
// month, every 10th year, ...) and none so near an end of the axis that it
// would not fit. Days and weeks read "May 18" (or "18 May" where the day
// comes first in the short date format), months "Feb" (January as its year,
// "2009"), years "2008". The years of the range are in ChartSpanText.
inline constexpr std::size_t kMaxChartLabels = 12;

struct TChartLabel {
    std::size_t Bar = 0; // index into TChartData::Bars
    std::string Text;
};

std::vector<TChartLabel> ChartAxisLabels(const TChartData& chart, const TFormatSettings& fs);

// The range the chart shows, for its title: "5/18/2008 - 6/30/2008" for days
// and weeks (short date format), "Mar 2023 - Dec 2025" for months, "1990 -
// 2100" for years; a single date when the range is one period.
std::string ChartSpanText(const TChartData& chart, const TFormatSettings& fs);

// The rows as comma-separated values (RFC 4180): a header line, then code,
// date-time "yyyy-mm-dd hh:mm:ss" and computer IP per row, each line ended by
// CR LF. Values go out byte for byte; a field holding a comma, a quote or a
// line break is quoted, with quotes doubled.
std::string StatisticsCsv(const std::vector<TTrace>& traces, const std::vector<std::size_t>& rows);

// "yyyy-mm-dd hh:mm:ss".
std::string FormatIsoDateTime(TDateTime dt);

// ------------------------------------------------------------ sort orders
//
// Both tables of the window sort by any of their columns, ascending or
// descending: texts without regard to letter case, dates as dates, counts as
// numbers, addresses as addresses. The sort is stable: rows that compare
// equal keep the order they had before (the reply's order).

// The columns of the redemptions table.
enum TTraceColumn { tcCode = 0, tcDateUsed = 1, tcComputerIP = 2 };
inline constexpr int kTraceColumnCount = 3;

// Orders two computer IPs: IPv4 addresses by their numbers (10.0.0.9 before
// 10.0.0.10), then IPv6 addresses by their 128 bits (any way of writing one
// address compares equal), then anything else as text, letter case aside.
int CompareComputerIPs(std::string_view a, std::string_view b);

// `rows` (indexes into `traces`) in the order of `column`; a column outside
// the table leaves them as they are.
std::vector<std::size_t> SortTraceRows(const TTraceList& traces, std::vector<std::size_t> rows,
                                       int column, bool descending);

// ------------------------------------------------------------- by coupon

// The coupon's own spelling of a code and its name, for each code of the
// traces (same index as TTraceList::Codes()); both empty for a code that the
// coupon list does not hold. Codes match as the server matches them, letter
// case aside. `step` runs every kStepRecords coupons of a long list.
struct TCouponNaming {
    std::string Code;
    std::string Name;
};
std::vector<TCouponNaming> NameCodes(const TTraceList& traces, const TCouponList& coupons,
                                     const TTraceList::TStep& step = {});

// The redemptions of one code among the rows shown.
struct TCouponSum {
    std::uint32_t CodeIndex = 0; // into TTraceList::Codes()
    std::string Code;            // the coupon's own spelling, else as in TTraceList::Codes()
    std::string Name;            // empty when the coupon is not known
    std::size_t Redemptions = 0;
    TDateTime LastUsed = 0; // the latest of its rows
};

// The columns of the "By coupon" table.
enum TCouponSumColumn { scCode = 0, scName = 1, scRedemptions = 2, scLastUsed = 3 };
inline constexpr int kCouponSumColumnCount = 4;

// One sum per code among `rows`, in the order of each code's first row;
// `names` (as NameCodes gives them, or empty) adds the coupons' names.
std::vector<TCouponSum> SumByCoupon(const TTraceList& traces, const std::vector<std::size_t>& rows,
                                    const std::vector<TCouponNaming>& names = {});

// Indexes into `sums` in the order of `column`; a column outside the table
// gives them as they are.
std::vector<std::uint32_t> SortCouponSums(const std::vector<TCouponSum>& sums, int column,
                                          bool descending);

// The sums as CSV, in `order` (indexes into `sums`): a header line, then
// code, name, redemptions and the last use as "yyyy-mm-dd hh:mm:ss", with
// the same quoting and guards as StatisticsCsv.
std::string CouponSumsCsv(const std::vector<TCouponSum>& sums,
                          const std::vector<std::uint32_t>& order);

// The chart of the "By coupon" view: the kMaxCouponBars codes with the most
// redemptions (ties in `order`), most used first, as indexes into `sums`.
inline constexpr std::size_t kMaxCouponBars = 20;
std::vector<std::uint32_t> MostUsedCoupons(const std::vector<TCouponSum>& sums,
                                           const std::vector<std::uint32_t>& order);

// "1,234 redemptions of 56 codes shown" ("1 redemption of 1 code shown"),
// the thousands grouped with "," or, where the decimal separator is a comma,
// with "."; "No redemptions shown" for none.
std::string ShownTotalsText(std::size_t redemptions, std::size_t codes, const TFormatSettings& fs);

} // namespace quillory
