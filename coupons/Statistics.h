#pragma once
// The redemption statistics without Qt: the records of action 6 as TTrace
// objects, the distinct codes, the code and date filters of the statistics
// window, the texts it shows, the per-period counts of its chart and the CSV
// export of the rows it shows.
#include "platform/DateTime.h"
#include "platform/FormatSettings.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
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

private:
    void Append(TTrace trace);

    std::vector<TTrace> FTraces;
    std::vector<std::string> FCodes;
    std::unordered_set<std::string> FCodeKeys; // lower-case forms of FCodes
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

} // namespace quillory
