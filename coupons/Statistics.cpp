#include "coupons/Statistics.h"

#include "coupons/CouponRecord.h"
#include "coupons/Csv.h"
#include "coupons/ListReply.h"
#include "platform/ConvertError.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace quillory {

namespace {

// One group of ParseServerDateTime: `length` characters from `start`
// (0-based), fewer when the text ends early.
int DateTimeGroup(std::string_view text, std::size_t start, std::size_t length) {
    const std::string_view group = start < text.size() ? text.substr(start, length) : "";
    if (group.empty() ||
        !std::all_of(group.begin(), group.end(), [](char c) { return c >= '0' && c <= '9'; }))
        throw EConvertError("'" + std::string(group) + "' is not a valid integer value");
    int value = 0;
    for (char c : group)
        value = value * 10 + (c - '0');
    return value;
}

std::string LowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The first day of the period of `unit` that holds `day`.
long long PeriodStart(long long day, TChartUnit unit) {
    switch (unit) {
    case TChartUnit::Day:
        return day;
    case TChartUnit::Week:
        // DayOfWeek: 1 = Sunday.
        return day - (DayOfWeek(static_cast<TDateTime>(day)) - 1);
    case TChartUnit::Month:
    case TChartUnit::Year: {
        int y, m, d;
        DecodeDate(static_cast<TDateTime>(day), y, m, d);
        return static_cast<long long>(EncodeDate(y, unit == TChartUnit::Year ? 1 : m, 1));
    }
    }
    return day;
}

long long NextPeriod(long long start, TChartUnit unit) {
    int y, m, d;
    switch (unit) {
    case TChartUnit::Day:
        return start + 1;
    case TChartUnit::Week:
        return start + 7;
    case TChartUnit::Month:
        DecodeDate(static_cast<TDateTime>(start), y, m, d);
        return start + DaysInMonth(y, m);
    case TChartUnit::Year:
        DecodeDate(static_cast<TDateTime>(start), y, m, d);
        return start + (IsLeapYear(y) ? 366 : 365);
    }
    return start + 1;
}

std::size_t PeriodCount(long long first, long long last, TChartUnit unit) {
    std::size_t n = 0;
    for (long long p = PeriodStart(first, unit); p <= last; p = NextPeriod(p, unit))
        if (++n > kMaxChartBars)
            break;
    return n;
}

std::string PeriodLabel(long long start, TChartUnit unit, const TFormatSettings& fs) {
    const auto dt = static_cast<TDateTime>(start);
    switch (unit) {
    case TChartUnit::Day:
    case TChartUnit::Week:
        return FormatDateTime(fs.ShortDateFormat, dt, fs);
    case TChartUnit::Month:
        return FormatDateTime("mmm yyyy", dt, fs);
    case TChartUnit::Year:
        return FormatDateTime("yyyy", dt, fs);
    }
    return {};
}

} // namespace

TDateTime ParseServerDateTime(std::string_view text) {
    const int year = DateTimeGroup(text, 0, 4);
    const int month = DateTimeGroup(text, 5, 2);
    const int day = DateTimeGroup(text, 8, 2);
    const int hour = DateTimeGroup(text, 11, 2);
    const int minute = DateTimeGroup(text, 14, 2);
    const int second = DateTimeGroup(text, 17, 2);
    if (!IsValidDate(year, month, day))
        throw EConvertError("Invalid argument to date encode");
    if (hour > 23 || minute > 59 || second > 59)
        throw EConvertError("Invalid argument to time encode");
    const TDateTime date = EncodeDate(year, month, day);
    const TDateTime time = EncodeTime(hour, minute, second, 0);
    // Before 30 December 1899 the day count is negative and the time of day
    // counts away from zero.
    return date >= 0 ? date + time : date - time;
}

void TTraceList::Clear() {
    FTraces.clear();
    FCodes.clear();
    FCodeKeys.clear();
}

void TTraceList::Append(TTrace trace) {
    if (FCodeKeys.insert(LowerAscii(trace.Code())).second)
        FCodes.push_back(trace.Code());
    FTraces.push_back(std::move(trace));
}

void TTraceList::ParseStatistics(std::string_view reply, const TStep& step) {
    std::size_t done = 0;
    ForEachListRecord(reply, kRedemptionRecordFields, [&](TListRecord& fields) {
        // Field 0 (the server's id) and fields after 3 are never read.
        TDateTime used = ParseServerDateTime(fields[2]);
        Append(TTrace(used, std::move(fields[1]), RemoveQuotes(fields[3])));
        if (step && ++done % kStepRecords == 0)
            step();
    });
}

long long DayNumber(TDateTime dt) {
    return static_cast<long long>(std::trunc(dt));
}

bool TStatisticsFilter::Passes(const TTrace& trace) const {
    if (ByCode && trace.Code() != Code)
        return false;
    const long long day = DayNumber(trace.DateUsed());
    switch (DateMode) {
    case dmAll:
        return true;
    case dmDay:
        return day == DayNumber(Day);
    case dmRange:
        return day >= DayNumber(From) && day <= DayNumber(To);
    }
    return true;
}

std::vector<std::size_t> FilterTraces(const std::vector<TTrace>& traces,
                                      const TStatisticsFilter& filter) {
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < traces.size(); ++i)
        if (filter.Passes(traces[i]))
            rows.push_back(i);
    return rows;
}

std::string FormatDateUsed(TDateTime dt, const TFormatSettings& fs) {
    std::string text = FormatDateTime(fs.ShortDateFormat, dt, fs);
    int h, m, s, ms;
    DecodeTime(dt, h, m, s, ms);
    if (h != 0 || m != 0 || s != 0)
        text += " " + FormatDateTime(fs.LongTimeFormat, dt, fs);
    return text;
}

TChartData BinRedemptions(const std::vector<TTrace>& traces, const std::vector<std::size_t>& rows,
                          const TFormatSettings& fs) {
    TChartData chart;
    if (rows.empty())
        return chart;
    long long first = DayNumber(traces[rows.front()].DateUsed());
    long long last = first;
    for (std::size_t r : rows) {
        const long long day = DayNumber(traces[r].DateUsed());
        first = std::min(first, day);
        last = std::max(last, day);
    }
    chart.Unit = TChartUnit::Year;
    for (TChartUnit unit : {TChartUnit::Day, TChartUnit::Week, TChartUnit::Month}) {
        if (PeriodCount(first, last, unit) <= kMaxChartBars) {
            chart.Unit = unit;
            break;
        }
    }
    std::map<long long, std::size_t> index; // period start -> bar
    for (long long p = PeriodStart(first, chart.Unit); p <= last; p = NextPeriod(p, chart.Unit)) {
        index[p] = chart.Bars.size();
        chart.Bars.push_back(
            TChartBar{static_cast<TDateTime>(p), 0, PeriodLabel(p, chart.Unit, fs)});
    }
    if (chart.Unit == TChartUnit::Day) {
        for (std::size_t r : rows)
            ++chart.Bars[static_cast<std::size_t>(DayNumber(traces[r].DateUsed()) - first)].Count;
    } else {
        for (std::size_t r : rows)
            ++chart.Bars[index.at(PeriodStart(DayNumber(traces[r].DateUsed()), chart.Unit))].Count;
    }
    return chart;
}

std::string FormatIsoDateTime(TDateTime dt) {
    int y, mo, d, h, mi, s, ms;
    DecodeDate(dt, y, mo, d);
    DecodeTime(dt, h, mi, s, ms);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return buf;
}

std::string StatisticsCsv(const std::vector<TTrace>& traces, const std::vector<std::size_t>& rows) {
    std::string out = "Coupon Code,Date Used,Computer IP\r\n";
    for (std::size_t r : rows) {
        const TTrace& t = traces[r];
        out += FormatCsvRow({t.Code(), FormatIsoDateTime(t.DateUsed()), t.ComputerIP()});
    }
    return out;
}

} // namespace quillory
