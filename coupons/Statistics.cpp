#include "coupons/Statistics.h"

#include "coupons/CouponRecord.h"
#include "coupons/Csv.h"
#include "coupons/ListReply.h"
#include "platform/ConvertError.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <numeric>

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
    FCodeIndex.clear();
    FCodes.clear();
    FCodeKeys.clear();
    FCodeRanks.clear();
    FIPRanks.clear();
}

void TTraceList::Append(TTrace trace) {
    const auto [at, added] =
        FCodeKeys.try_emplace(LowerAscii(trace.Code()), static_cast<std::uint32_t>(FCodes.size()));
    if (added)
        FCodes.push_back(trace.Code());
    FCodeIndex.push_back(at->second);
    FTraces.push_back(std::move(trace));
    FCodeRanks.clear();
    FIPRanks.clear();
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

// ------------------------------------------------------------ sort orders

namespace {

// Ranks of `count` items in the order `less` gives: equal items (neither
// less than the other) share a rank.
template <typename TLess> std::vector<std::uint32_t> RanksOf(std::size_t count, TLess less) {
    std::vector<std::uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), less);
    std::vector<std::uint32_t> ranks(count);
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0 && less(order[i - 1], order[i]))
            ++rank;
        ranks[order[i]] = rank;
    }
    return ranks;
}

// Sorts `items` by `key(item)`, keeping the order of equal keys.
template <typename T, typename TKey>
void StableSortBy(std::vector<T>& items, bool descending, TKey key) {
    if (descending)
        std::stable_sort(items.begin(), items.end(), [&](T a, T b) { return key(b) < key(a); });
    else
        std::stable_sort(items.begin(), items.end(), [&](T a, T b) { return key(a) < key(b); });
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "a.b.c.d", each a decimal number of at most three digits up to 255.
bool ParseIPv4(std::string_view text, std::uint8_t* out) {
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.')
                return false;
            ++at;
        }
        int value = 0, digits = 0;
        while (at < text.size() && IsDigit(text[at])) {
            value = value * 10 + (text[at++] - '0');
            if (++digits > 3)
                return false;
        }
        if (digits == 0 || value > 255)
            return false;
        out[part] = static_cast<std::uint8_t>(value);
    }
    return at == text.size();
}

// The 16-bit groups of one side of an IPv6 address ("1:db8:0"); the last
// group may be an IPv4 address when `v4Last`.
bool ParseIPv6Groups(std::string_view text, bool v4Last, std::vector<std::uint16_t>& groups) {
    if (text.empty())
        return true;
    std::size_t start = 0;
    while (true) {
        const std::size_t colon = text.find(':', start);
        const std::string_view group = text.substr(
            start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
        if (colon == std::string_view::npos && v4Last &&
            group.find('.') != std::string_view::npos) {
            std::uint8_t v4[4];
            if (!ParseIPv4(group, v4))
                return false;
            groups.push_back(static_cast<std::uint16_t>(v4[0] << 8 | v4[1]));
            groups.push_back(static_cast<std::uint16_t>(v4[2] << 8 | v4[3]));
            return true;
        }
        if (group.empty() || group.size() > 4)
            return false;
        unsigned value = 0;
        for (char c : group) {
            const int digit = HexValue(c);
            if (digit < 0)
                return false;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        groups.push_back(static_cast<std::uint16_t>(value));
        if (colon == std::string_view::npos)
            return true;
        start = colon + 1;
    }
}

// An IPv6 address in any of its written forms ("::1", "2001:db8::8:800:200c:417a",
// "::ffff:10.0.0.1", "fe80::1%eth0" without its zone).
bool ParseIPv6(std::string_view text, std::array<std::uint8_t, 16>& out) {
    text = text.substr(0, text.find('%'));
    std::vector<std::uint16_t> head, tail;
    const std::size_t gap = text.find("::");
    if (gap == std::string_view::npos) {
        if (!ParseIPv6Groups(text, true, head) || head.size() != 8)
            return false;
    } else {
        if (text.find("::", gap + 1) != std::string_view::npos ||
            !ParseIPv6Groups(text.substr(0, gap), false, head) ||
            !ParseIPv6Groups(text.substr(gap + 2), true, tail) || head.size() + tail.size() > 7)
            return false;
    }
    std::array<std::uint16_t, 8> groups{};
    std::copy(head.begin(), head.end(), groups.begin());
    std::copy(tail.begin(), tail.end(), groups.end() - static_cast<std::ptrdiff_t>(tail.size()));
    for (std::size_t i = 0; i < 8; ++i) {
        out[2 * i] = static_cast<std::uint8_t>(groups[i] >> 8);
        out[2 * i + 1] = static_cast<std::uint8_t>(groups[i] & 0xFF);
    }
    return true;
}

// What an address sorts by: IPv4 first, then IPv6, then other text.
struct TIPKey {
    int Family = 2; // 0 IPv4, 1 IPv6, 2 text
    std::array<std::uint8_t, 16> Bytes{};
    std::string Text; // folded, for Family 2

    explicit TIPKey(std::string_view ip) {
        if (ParseIPv4(ip, Bytes.data()))
            Family = 0;
        else if (ParseIPv6(ip, Bytes))
            Family = 1;
        else
            Text = FoldCase(ip);
    }
    int Compare(const TIPKey& other) const {
        if (Family != other.Family)
            return Family < other.Family ? -1 : 1;
        if (Family == 2)
            return Text.compare(other.Text) < 0 ? -1 : Text == other.Text ? 0 : 1;
        return Bytes < other.Bytes ? -1 : Bytes == other.Bytes ? 0 : 1;
    }
};

} // namespace

int CompareComputerIPs(std::string_view a, std::string_view b) {
    return TIPKey(a).Compare(TIPKey(b));
}

const std::vector<std::uint32_t>& TTraceList::CodeRanks() const {
    if (FCodeRanks.size() != FCodes.size()) {
        std::vector<std::string> folded;
        folded.reserve(FCodes.size());
        for (const std::string& code : FCodes)
            folded.push_back(FoldCase(code));
        FCodeRanks = RanksOf(
            folded.size(), [&](std::uint32_t a, std::uint32_t b) { return folded[a] < folded[b]; });
    }
    return FCodeRanks;
}

const std::vector<std::uint32_t>& TTraceList::IPRanks() const {
    if (FIPRanks.size() != FTraces.size()) {
        // Each distinct address is read once.
        std::unordered_map<std::string_view, std::uint32_t> seen;
        std::vector<TIPKey> keys;
        std::vector<std::uint32_t> keyOf(FTraces.size());
        for (std::size_t i = 0; i < FTraces.size(); ++i) {
            const auto [at, added] =
                seen.try_emplace(FTraces[i].ComputerIP(), static_cast<std::uint32_t>(keys.size()));
            if (added)
                keys.emplace_back(FTraces[i].ComputerIP());
            keyOf[i] = at->second;
        }
        const std::vector<std::uint32_t> keyRanks =
            RanksOf(keys.size(),
                    [&](std::uint32_t a, std::uint32_t b) { return keys[a].Compare(keys[b]) < 0; });
        FIPRanks.resize(FTraces.size());
        for (std::size_t i = 0; i < FTraces.size(); ++i)
            FIPRanks[i] = keyRanks[keyOf[i]];
    }
    return FIPRanks;
}

std::vector<std::size_t> SortTraceRows(const TTraceList& traces, std::vector<std::size_t> rows,
                                       int column, bool descending) {
    switch (column) {
    case tcCode: {
        const std::vector<std::uint32_t>& ranks = traces.CodeRanks();
        StableSortBy(rows, descending, [&](std::size_t r) { return ranks[traces.CodeIndex(r)]; });
        break;
    }
    case tcDateUsed:
        StableSortBy(rows, descending, [&](std::size_t r) { return traces[r].DateUsed(); });
        break;
    case tcComputerIP: {
        const std::vector<std::uint32_t>& ranks = traces.IPRanks();
        StableSortBy(rows, descending, [&](std::size_t r) { return ranks[r]; });
        break;
    }
    default:
        break;
    }
    return rows;
}

// ------------------------------------------------------------- by coupon

std::vector<TCouponNaming> NameCodes(const TTraceList& traces, const TCouponList& coupons,
                                     const TTraceList::TStep& step) {
    std::vector<TCouponNaming> names(traces.Codes().size());
    if (names.empty())
        return names;
    std::unordered_map<std::string, std::uint32_t> wanted;
    for (std::size_t i = 0; i < traces.Codes().size(); ++i)
        wanted.emplace(LowerAscii(traces.Codes()[i]), static_cast<std::uint32_t>(i));
    std::string key;
    for (std::size_t row = 0; row < coupons.Count(); ++row) {
        key.assign(coupons.Code(row));
        for (char& c : key)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        const auto at = wanted.find(key);
        if (at != wanted.end() && names[at->second].Code.empty()) {
            names[at->second].Code = coupons.Code(row);
            names[at->second].Name = coupons.Name(row);
        }
        if (step && (row + 1) % TTraceList::kStepRecords == 0)
            step();
    }
    return names;
}

std::vector<TCouponSum> SumByCoupon(const TTraceList& traces, const std::vector<std::size_t>& rows,
                                    const std::vector<TCouponNaming>& names) {
    std::vector<TCouponSum> sums;
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<std::size_t> slot(traces.Codes().size(), kNone);
    for (std::size_t r : rows) {
        const std::uint32_t code = traces.CodeIndex(r);
        const TDateTime used = traces[r].DateUsed();
        if (slot[code] == kNone) {
            slot[code] = sums.size();
            TCouponSum sum;
            sum.CodeIndex = code;
            if (code < names.size() && !names[code].Code.empty()) {
                sum.Code = names[code].Code;
                sum.Name = names[code].Name;
            } else {
                sum.Code = traces.Codes()[code];
            }
            sum.LastUsed = used;
            sums.push_back(std::move(sum));
        }
        TCouponSum& sum = sums[slot[code]];
        ++sum.Redemptions;
        sum.LastUsed = std::max(sum.LastUsed, used);
    }
    return sums;
}

std::vector<std::uint32_t> SortCouponSums(const std::vector<TCouponSum>& sums, int column,
                                          bool descending) {
    std::vector<std::uint32_t> order(sums.size());
    std::iota(order.begin(), order.end(), 0u);
    switch (column) {
    case scCode:
    case scName: {
        std::vector<std::string> folded;
        folded.reserve(sums.size());
        for (const TCouponSum& sum : sums)
            folded.push_back(FoldCase(column == scCode ? sum.Code : sum.Name));
        StableSortBy(order, descending,
                     [&](std::uint32_t i) -> const std::string& { return folded[i]; });
        break;
    }
    case scRedemptions:
        StableSortBy(order, descending, [&](std::uint32_t i) { return sums[i].Redemptions; });
        break;
    case scLastUsed:
        StableSortBy(order, descending, [&](std::uint32_t i) { return sums[i].LastUsed; });
        break;
    default:
        break;
    }
    return order;
}

std::string CouponSumsCsv(const std::vector<TCouponSum>& sums,
                          const std::vector<std::uint32_t>& order) {
    std::string out = "Coupon Code,Coupon Name,Redemptions,Last Used\r\n";
    for (std::uint32_t i : order) {
        const TCouponSum& sum = sums[i];
        out += FormatCsvRow({GuardCsvCell(sum.Code), GuardCsvCell(sum.Name),
                             std::to_string(sum.Redemptions), FormatIsoDateTime(sum.LastUsed)});
    }
    return out;
}

std::vector<std::uint32_t> MostUsedCoupons(const std::vector<TCouponSum>& sums,
                                           const std::vector<std::uint32_t>& order) {
    std::vector<std::uint32_t> most = order;
    StableSortBy(most, true, [&](std::uint32_t i) { return sums[i].Redemptions; });
    if (most.size() > kMaxCouponBars)
        most.resize(kMaxCouponBars);
    return most;
}

namespace {

std::string Grouped(std::size_t n, char separator) {
    std::string digits = std::to_string(n);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, separator);
    return digits;
}

} // namespace

std::string ShownTotalsText(std::size_t redemptions, std::size_t codes, const TFormatSettings& fs) {
    if (redemptions == 0)
        return "No redemptions shown";
    const char separator = fs.DecimalSeparator == ',' ? '.' : ',';
    return Grouped(redemptions, separator) +
           (redemptions == 1 ? " redemption of " : " redemptions of ") + Grouped(codes, separator) +
           (codes == 1 ? " code shown" : " codes shown");
}

} // namespace quillory
