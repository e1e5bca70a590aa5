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
    if (ByCode &&
        (trace.Code().size() != Code.size() || LowerAscii(trace.Code()) != LowerAscii(Code)))
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

namespace {

// Whether the short date format writes the day before the month.
bool DayComesFirst(const TFormatSettings& fs) {
    const std::string f = LowerAscii(fs.ShortDateFormat);
    const std::size_t d = f.find('d'), m = f.find('m');
    return d != std::string::npos && m != std::string::npos && d < m;
}

// Which bars carry a label when every `step`th period does.
std::vector<std::size_t> LabelledBars(const TChartData& chart, std::size_t step) {
    std::vector<std::size_t> bars;
    for (std::size_t i = 0; i < chart.Bars.size(); ++i) {
        int y, m, d;
        DecodeDate(chart.Bars[i].Start, y, m, d);
        bool on = false;
        switch (chart.Unit) {
        case TChartUnit::Day:
        case TChartUnit::Week:
            on = i % step == 0;
            break;
        case TChartUnit::Month: // January, April, July, October for a step of 3
            on = static_cast<std::size_t>(m - 1) % step == 0;
            break;
        case TChartUnit::Year: // 2000, 2010, 2020 for a step of 10
            on = static_cast<std::size_t>(y) % step == 0;
            break;
        }
        if (on)
            bars.push_back(i);
    }
    if (bars.empty() && !chart.Bars.empty())
        bars.push_back(0);
    return bars;
}

} // namespace

std::vector<TChartLabel> ChartAxisLabels(const TChartData& chart, const TFormatSettings& fs) {
    std::vector<TChartLabel> labels;
    const std::size_t n = chart.Bars.size();
    if (n == 0)
        return labels;
    static const std::vector<std::size_t> kDaySteps = {1, 2, 3, 7, 14, 28};
    static const std::vector<std::size_t> kWeekSteps = {1, 2, 4, 8, 13, 26};
    static const std::vector<std::size_t> kMonthSteps = {1, 2, 3, 6, 12};
    static const std::vector<std::size_t> kYearSteps = {1,   2,   5,   10,   20,   50,
                                                        100, 200, 500, 1000, 2000, 5000};
    const std::vector<std::size_t>& steps = chart.Unit == TChartUnit::Day     ? kDaySteps
                                            : chart.Unit == TChartUnit::Week  ? kWeekSteps
                                            : chart.Unit == TChartUnit::Month ? kMonthSteps
                                                                              : kYearSteps;
    std::vector<std::size_t> bars;
    std::size_t step = 1;
    for (std::size_t s : steps) {
        step = s;
        bars = LabelledBars(chart, s);
        if (bars.size() <= kMaxChartLabels)
            break;
    }
    if (bars.size() > kMaxChartLabels) { // longer than any round step covers
        step = (n + kMaxChartLabels - 1) / kMaxChartLabels;
        bars.clear();
        for (std::size_t i = 0; i < n; i += step)
            bars.push_back(i);
    }
    // A label needs room on both sides of its bar: none closer to either end
    // of the axis than half the distance between two labels.
    const std::size_t margin = step / 2;
    std::vector<std::size_t> kept;
    for (std::size_t bar : bars)
        if (bar >= margin && bar + margin < n)
            kept.push_back(bar);
    if (kept.empty())
        kept.push_back(n / 2);
    const bool dayFirst = DayComesFirst(fs);
    for (std::size_t bar : kept) {
        const TDateTime start = chart.Bars[bar].Start;
        int y, m, d;
        DecodeDate(start, y, m, d);
        std::string format;
        switch (chart.Unit) {
        case TChartUnit::Day:
        case TChartUnit::Week:
            format = dayFirst ? "d mmm" : "mmm d";
            break;
        case TChartUnit::Month: // a new year shows as its number
            format = m == 1 ? "yyyy" : "mmm";
            break;
        case TChartUnit::Year:
            format = "yyyy";
            break;
        }
        labels.push_back({bar, FormatDateTime(format, start, fs)});
    }
    return labels;
}

std::string ChartSpanText(const TChartData& chart, const TFormatSettings& fs) {
    if (chart.Bars.empty())
        return {};
    const std::string format = chart.Unit == TChartUnit::Month  ? "mmm yyyy"
                               : chart.Unit == TChartUnit::Year ? "yyyy"
                                                                : fs.ShortDateFormat;
    // The last day shown: the first day of the last period, or its last day
    // for weeks.
    TDateTime last = chart.Bars.back().Start;
    if (chart.Unit == TChartUnit::Week)
        last += 6;
    const std::string from = FormatDateTime(format, chart.Bars.front().Start, fs);
    const std::string to = FormatDateTime(format, last, fs);
    return from == to ? from : from + " - " + to;
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
        // Codes are what customers typed: a spreadsheet must not run one.
        out += FormatCsvRow({GuardCsvCell(t.Code()), FormatIsoDateTime(t.DateUsed()),
                             GuardCsvCell(t.ComputerIP())});
    }
    return out;
}

} // namespace quillory
