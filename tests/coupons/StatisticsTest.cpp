// The redemption statistics without a window: the server's date-time, the
// decoding of action 6, the filters, the texts, the chart's counts and the
// CSV export.
#include "coupons/Statistics.h"
#include "coupons/Csv.h"
#include "coupons/ListReply.h"
#include "platform/ConvertError.h"

#include <gtest/gtest.h>

using namespace quillory;

namespace {

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, 0);
}

std::string Record(const std::string& code, const std::string& when, const std::string& ip,
                   const std::string& id = "1") {
    return "\"" + id + "\",\"" + code + "\",\"" + when + "\",\"" + ip + "\"^";
}

TTraceList Parse(const std::string& reply) {
    TTraceList list;
    list.ParseStatistics(reply);
    return list;
}

} // namespace

TEST(ParseServerDateTime, ReadsFixedPositionsWhateverTheSeparators) {
    const TDateTime expected = At(2008, 5, 18, 10, 48, 42);
    for (const char* text : {"2008-05-18 10:48:42", "2008/05/18T10.48.42", "2008x05x18x10x48x42",
                             "2008-05-18 10:48:42.123456 UTC"})
        EXPECT_DOUBLE_EQ(ParseServerDateTime(text), expected) << text;
    EXPECT_DOUBLE_EQ(ParseServerDateTime("1899-12-30 00:00:00"), 0.0);
    EXPECT_DOUBLE_EQ(ParseServerDateTime("9999-12-31 23:59:59"), At(9999, 12, 31, 23, 59, 59));
}

TEST(ParseServerDateTime, FailsOnShiftedMissingOrInvalidParts) {
    for (const char* text :
         {"2008-5-18 10:48:42", "", "2008-05-18", "2008-05-18 10:48:", "20O8-05-18 10:48:42",
          "2008-05-18 1 :48:42", "2008-02-30 10:48:42", "2007-02-29 00:00:00",
          "0000-01-01 00:00:00", "2008-13-01 00:00:00", "2008-05-18 24:00:00",
          "2008-05-18 10:60:00", "2008-05-18 10:48:60", "+008-05-18 10:48:42"})
        EXPECT_THROW(ParseServerDateTime(text), EConvertError) << text;
}

TEST(ParseStatistics, NoRedemptions) {
    for (const char* reply : {"OK", "^OK"}) {
        TTraceList list = Parse(reply);
        EXPECT_EQ(list.Count(), 0u) << reply;
        EXPECT_TRUE(list.Codes().empty()) << reply;
    }
}

// The code keeps commas, line breaks and bytes; quotes inside the address are
// removed; fields after the fourth are ignored.
TEST(ParseStatistics, OneRecord) {
    TTraceList list =
        Parse("\"7\",\"A,B\r\nC\xE9\",\"2008-05-18 10:48:42\",\"10.\"0\".0.1\",\"extra\"^OK");
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list[0].Code(), "A,B\r\nC\xE9");
    EXPECT_DOUBLE_EQ(list[0].DateUsed(), At(2008, 5, 18, 10, 48, 42));
    EXPECT_EQ(list[0].ComputerIP(), "10.0.0.1");
    EXPECT_EQ(list.Codes(), std::vector<std::string>{"A,B\r\nC\xE9"});
}

TEST(ParseStatistics, CodeListHoldsEachCodeOnceIgnoringCaseInFirstSpelling) {
    TTraceList list = Parse(Record("abc", "2008-05-18 10:00:00", "1.1.1.1") +
                            Record("XY", "2008-05-18 11:00:00", "1.1.1.2") +
                            Record("ABC", "2008-05-19 10:00:00", "1.1.1.3") +
                            Record("xy", "2008-05-19 10:00:00", "1.1.1.4") +
                            Record("XY", "2008-05-20 10:00:00", "1.1.1.5") + "OK");
    ASSERT_EQ(list.Count(), 5u); // duplicates kept, in reply order
    EXPECT_EQ(list[2].Code(), "ABC");
    EXPECT_EQ(list[4].ComputerIP(), "1.1.1.5");
    EXPECT_EQ(list.Codes(), (std::vector<std::string>{"abc", "XY"}));
}

TEST(ParseStatistics, AFailingRecordEndsTheDecodingAndKeepsTheRecordsBeforeIt) {
    const std::string good = Record("A", "2008-05-18 10:48:42", "1.1.1.1") +
                             Record("B", "2008-05-18 10:48:43", "1.1.1.2");
    for (const std::string& bad : {Record("C", "2008-5-18 10:48:42", "1.1.1.3"),
                                   std::string("\"3\",\"C\",\"2008-05-18 10:48:42\"^")}) {
        TTraceList list;
        EXPECT_THROW(
            list.ParseStatistics(good + bad + Record("D", "2008-05-18 10:00:00", "x") + "OK"),
            EListReplyError);
        ASSERT_EQ(list.Count(), 2u);
        EXPECT_EQ(list[1].Code(), "B");
        EXPECT_EQ(list.Codes(), (std::vector<std::string>{"A", "B"}));
    }
}

TEST(ParseStatistics, ReportsProgressInSteps) {
    std::string reply;
    const std::size_t n = 3 * TTraceList::kStepRecords + 5;
    for (std::size_t i = 0; i < n; ++i)
        reply += Record("C" + std::to_string(i % 7), "2010-01-02 03:04:05", "ip");
    reply += "OK";
    int steps = 0;
    TTraceList list;
    list.ParseStatistics(reply, [&] { ++steps; });
    EXPECT_EQ(list.Count(), n);
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(list.Codes().size(), 7u);
}

TEST(StatisticsFilter, CodeAndDateGroups) {
    const std::vector<TTrace> traces = {
        {At(2008, 5, 17, 23, 59, 59), "ABC", "a"}, {At(2008, 5, 18, 0, 0, 0), "abc", "b"},
        {At(2008, 5, 18, 23, 59, 59), "ABC", "c"}, {At(2008, 5, 19, 0, 0, 0), "ABC ", "d"},
        {At(2008, 5, 20, 12, 0, 0), "", "e"},
    };
    auto all = [] { return TStatisticsFilter{}; };
    auto code = [](const char* c) {
        TStatisticsFilter f;
        f.ByCode = true;
        f.Code = c;
        return f;
    };
    auto day = [](TStatisticsFilter f, TDateTime d) {
        f.DateMode = TStatisticsFilter::dmDay;
        f.Day = d;
        return f;
    };
    auto range = [](TStatisticsFilter f, TDateTime from, TDateTime to) {
        f.DateMode = TStatisticsFilter::dmRange;
        f.From = from;
        f.To = to;
        return f;
    };
    struct Case {
        const char* name;
        TStatisticsFilter filter;
        std::vector<std::size_t> rows;
    };
    const std::vector<Case> cases = {
        {"all/all", all(), {0, 1, 2, 3, 4}},
        // In any letter case, as the code list merges them; no trimming.
        {"code in capitals", code("ABC"), {0, 1, 2}},
        {"code in lower case", code("abc"), {0, 1, 2}},
        {"code in mixed case", code("aBc"), {0, 1, 2}},
        {"a longer code does not match", code("ABCD"), {}},
        {"empty code", code(""), {4}},
        {"unknown code", code("ZZZ"), {}},
        {"one day, midnight and 23:59:59, field time ignored",
         day(all(), At(2008, 5, 18, 15, 0)),
         {1, 2}},
        {"one day and a code", day(code("ABC"), At(2008, 5, 18)), {1, 2}},
        {"range, both ends inclusive",
         range(all(), At(2008, 5, 18, 9), At(2008, 5, 19, 1)),
         {1, 2, 3}},
        {"range of one day", range(all(), At(2008, 5, 20), At(2008, 5, 20)), {4}},
        {"From after To", range(all(), At(2008, 5, 19), At(2008, 5, 18)), {}},
        {"range and a code", range(code("abc"), At(2008, 5, 1), At(2008, 5, 31)), {0, 1, 2}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FilterTraces(traces, c.filter), c.rows) << c.name;
}

TEST(FormatDateUsed, ShortDateAndLongTimeUnlessMidnight) {
    const TFormatSettings us = TFormatSettings::EnglishUS();
    EXPECT_EQ(FormatDateUsed(At(2008, 5, 18, 10, 48, 42), us), "5/18/2008 10:48:42 AM");
    EXPECT_EQ(FormatDateUsed(At(2008, 5, 18), us), "5/18/2008");
    EXPECT_EQ(FormatDateUsed(At(2008, 5, 18, 0, 0, 1), us), "5/18/2008 12:00:01 AM");
    TFormatSettings de = us;
    de.ShortDateFormat = "dd.mm.yyyy";
    de.DateSeparator = '.';
    de.LongTimeFormat = "hh:nn:ss";
    EXPECT_EQ(FormatDateUsed(At(2008, 5, 18, 22, 8, 2), de), "18.05.2008 22:08:02");
}

TEST(ChartBins, CountsPerDayWithEmptyDays) {
    const std::vector<TTrace> traces = {
        {At(2008, 5, 18, 10), "A", ""}, {At(2008, 5, 18, 23), "B", ""},
        {At(2008, 5, 21, 0), "A", ""},  {At(2008, 5, 18, 0), "C", ""},
        {At(2008, 5, 20, 1), "D", ""},
    };
    // Row 1 is not shown: only the rows given count.
    const TChartData chart = BinRedemptions(traces, {0, 2, 3, 4}, TFormatSettings::EnglishUS());
    EXPECT_EQ(chart.Unit, TChartUnit::Day);
    ASSERT_EQ(chart.Bars.size(), 4u);
    const int counts[] = {2, 0, 1, 1};
    const char* labels[] = {"5/18/2008", "5/19/2008", "5/20/2008", "5/21/2008"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(chart.Bars[i].Count, counts[i]) << i;
        EXPECT_EQ(chart.Bars[i].Label, labels[i]) << i;
        EXPECT_DOUBLE_EQ(chart.Bars[i].Start, At(2008, 5, 18) + static_cast<double>(i));
    }
    EXPECT_TRUE(BinRedemptions(traces, {}, TFormatSettings::EnglishUS()).Bars.empty());
}

TEST(ChartBins, LongRangesGroupByWeekMonthOrYear) {
    const TFormatSettings us = TFormatSettings::EnglishUS();
    auto bins = [&](std::vector<TTrace> traces) {
        std::vector<std::size_t> rows(traces.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = i;
        return BinRedemptions(traces, rows, us);
    };
    // 62 days still fit as days.
    EXPECT_EQ(bins({{At(2008, 1, 1), "A", ""}, {At(2008, 3, 2), "A", ""}}).Bars.size(), 62u);

    // 1 Jan 2008 was a Tuesday: weeks start on Sunday 30 Dec 2007.
    TChartData weeks = bins({{At(2008, 1, 1), "A", ""},
                             {At(2008, 1, 5, 12), "A", ""},
                             {At(2008, 1, 6), "A", ""},
                             {At(2008, 4, 1), "A", ""}});
    EXPECT_EQ(weeks.Unit, TChartUnit::Week);
    ASSERT_EQ(weeks.Bars.size(), 14u);
    EXPECT_DOUBLE_EQ(weeks.Bars[0].Start, At(2007, 12, 30));
    std::vector<int> counts;
    for (const auto& b : weeks.Bars)
        counts.push_back(b.Count);
    EXPECT_EQ(counts, (std::vector<int>{2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));

    TChartData months = bins({{At(2008, 1, 31), "A", ""},
                              {At(2008, 2, 1), "A", ""},
                              {At(2008, 2, 29, 23), "A", ""},
                              {At(2010, 12, 1), "A", ""}});
    EXPECT_EQ(months.Unit, TChartUnit::Month);
    ASSERT_EQ(months.Bars.size(), 36u);
    EXPECT_EQ(months.Bars[0].Count, 1);
    EXPECT_EQ(months.Bars[1].Count, 2);
    EXPECT_EQ(months.Bars[1].Label, "Feb 2008");
    EXPECT_EQ(months.Bars[35].Count, 1);

    TChartData years = bins({{At(1990, 6, 1), "A", ""},
                             {At(2020, 1, 1), "A", ""},
                             {At(2100, 12, 31, 23, 59, 59), "A", ""}});
    EXPECT_EQ(years.Unit, TChartUnit::Year);
    EXPECT_EQ(years.Bars.size(), 2100u - 1990u + 1u);
    EXPECT_EQ(years.Bars.front().Label, "1990");
    EXPECT_EQ(years.Bars.back().Count, 1);
}

// The date axis: a dozen short labels at most, on round periods, none at the
// very ends; the title names the range.
TEST(ChartAxisLabels, AtMostADozenReadableDatesForAnyRange) {
    const TFormatSettings us = TFormatSettings::EnglishUS();
    TFormatSettings uk = us;
    uk.ShortDateFormat = "dd/mm/yyyy";
    const struct {
        TDateTime first, last;
        const TFormatSettings& fs;
        std::size_t bars;
        std::string texts, span;
    } cases[] = {
        {At(2026, 3, 5, 9), At(2026, 3, 5, 17), us, 1, "Mar 5", "3/5/2026"},
        {At(2026, 3, 5), At(2026, 3, 5), uk, 1, "5 Mar", "05/03/2026"},
        {At(2026, 3, 5), At(2026, 3, 9), us, 5, "Mar 5,Mar 6,Mar 7,Mar 8,Mar 9",
         "3/5/2026 - 3/9/2026"},
        // Every seventh day, none in the first or last three, over new year.
        {At(2025, 12, 1), At(2026, 1, 29), uk, 60,
         "8 Dec,15 Dec,22 Dec,29 Dec,5 Jan,12 Jan,19 Jan,26 Jan", "01/12/2025 - 29/01/2026"},
        // Months, every quarter, January as its year.
        {At(2023, 1, 10), At(2025, 12, 20), us, 36, "Apr,Jul,Oct,2024,Apr,Jul,Oct,2025,Apr,Jul,Oct",
         "Jan 2023 - Dec 2025"},
        {At(1801, 1, 1), At(2199, 1, 1), us, 399, "1850,1900,1950,2000,2050,2100,2150",
         "1801 - 2199"},
    };
    for (const auto& c : cases) {
        const TChartData chart =
            BinRedemptions({{c.first, "A", ""}, {c.last, "A", ""}}, {0, 1}, c.fs);
        std::string texts;
        for (const TChartLabel& l : ChartAxisLabels(chart, c.fs)) {
            EXPECT_LT(l.Bar, chart.Bars.size());
            texts += (texts.empty() ? "" : ",") + l.Text;
        }
        EXPECT_EQ(chart.Bars.size(), c.bars) << c.span;
        EXPECT_EQ(texts, c.texts);
        EXPECT_EQ(ChartSpanText(chart, c.fs), c.span);
    }
    // A year of weeks: no more than a dozen labels either.
    const TChartData weeks =
        BinRedemptions({{At(2026, 1, 1), "A", ""}, {At(2026, 12, 31), "A", ""}}, {0, 1}, us);
    EXPECT_EQ(weeks.Unit, TChartUnit::Week);
    EXPECT_GE(ChartAxisLabels(weeks, us).size(), 6u);
    EXPECT_LE(ChartAxisLabels(weeks, us).size(), kMaxChartLabels);
    EXPECT_EQ(ChartSpanText(weeks, us), "12/28/2025 - 1/2/2027");
    EXPECT_TRUE(ChartAxisLabels(TChartData{}, us).empty());
}

TEST(StatisticsCsv, RoundTripsAwkwardCodesByteForByte) {
    const std::vector<TTrace> traces = {
        {At(2008, 5, 18, 10, 48, 42), "A,B", "10.0.0.1"},
        {At(2008, 5, 18), "say \"hi\"", "10.0.0.2"},
        {At(2009, 1, 2, 3, 4, 5), "line\r\nbreak\nand\xE9", "::1"},
        {At(2009, 1, 2, 3, 4, 5), "not shown", "x"},
        {At(2009, 1, 3), "", ""},
        {At(2009, 1, 4), "=HYPERLINK(\"http://x\")", "@evil"},
    };
    const std::string csv = StatisticsCsv(traces, {0, 1, 2, 4, 5});
    EXPECT_EQ(csv.substr(0, csv.find("\r\n") + 2), "Coupon Code,Date Used,Computer IP\r\n");
    const std::vector<TCsvRecord> records = ParseCsv(csv);
    ASSERT_EQ(records.size(), 6u);
    const std::vector<TCsvRow> expected = {
        {"Coupon Code", "Date Used", "Computer IP"},
        {"A,B", "2008-05-18 10:48:42", "10.0.0.1"},
        {"say \"hi\"", "2008-05-18 00:00:00", "10.0.0.2"},
        {"line\r\nbreak\nand\xE9", "2009-01-02 03:04:05", "::1"},
        {"", "2009-01-03 00:00:00", ""},
        // A typed formula is kept as text for a spreadsheet.
        {"'=HYPERLINK(\"http://x\")", "2009-01-04 00:00:00", "'@evil"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(records[i].Fields, expected[i]) << i;
    EXPECT_EQ(StatisticsCsv(traces, {}), "Coupon Code,Date Used,Computer IP\r\n");
}

namespace {

// The codes of `rows`, one letter each, for short expectations.
std::string CodesOf(const TTraceList& list, const std::vector<std::size_t>& rows) {
    std::string out;
    for (std::size_t r : rows)
        out += list[r].Code() + " ";
    return out;
}

std::vector<std::size_t> AllRows(const TTraceList& list) {
    std::vector<std::size_t> rows(list.Count());
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = i;
    return rows;
}

} // namespace

// Every column sorts by its kind (text without letter case, dates as dates,
// addresses by their numbers), both ways, and rows that compare equal keep
// the reply's order in both directions.
TEST(StatisticsSort, EachColumnByItsKindAndStable) {
    const TTraceList list = Parse(Record("b", "2008-05-18 10:00:00", "10.0.0.10") +   // 0
                                  Record("A", "2008-05-18 09:00:00", "10.0.0.9") +    // 1
                                  Record("c", "2009-01-01 00:00:00", "::1") +         // 2
                                  Record("B", "2008-05-18 10:00:00", "2001:db8::1") + // 3
                                  Record("a", "2007-12-31 23:59:59", "9.255.0.1") +   // 4
                                  Record("C", "2008-05-18 09:00:00", "unknown") +     // 5
                                  "OK");
    const struct {
        int column;
        bool descending;
        const char* codes;
    } cases[] = {
        {tcCode, false, "A a b B c C "},
        {tcCode, true, "c C b B A a "}, // ties still in reply order
        {tcDateUsed, false, "a A C b B c "},
        {tcDateUsed, true, "c b B A C a "},
        {tcComputerIP, false, "a A b c B C "}, // IPv4 by number, IPv6, then text
        {tcComputerIP, true, "C B c b A a "},
        {-1, false, "b A c B a C "}, // the reply's order
        {7, true, "b A c B a C "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.column << (c.descending ? " desc" : " asc"));
        EXPECT_EQ(CodesOf(list, SortTraceRows(list, AllRows(list), c.column, c.descending)),
                  c.codes);
    }
    // Only the rows given are sorted (a filter's rows), ties in their order.
    EXPECT_EQ(CodesOf(list, SortTraceRows(list, {5, 2, 0}, tcCode, false)), "b C c ");
}

TEST(StatisticsSort, ComputerIPsCompareAsAddresses) {
    const struct {
        const char *a, *b;
        int expected;
    } cases[] = {
        {"10.0.0.9", "10.0.0.10", -1},
        {"9.0.0.0", "10.0.0.0", -1},
        {"192.168.1.1", "192.168.1.1", 0},
        {"255.255.255.255", "::", -1}, // IPv4 before IPv6
        {"::1", "0:0:0:0:0:0:0:1", 0}, // one address, two spellings
        {"2001:DB8::1", "2001:db8:0::1", 0},
        {"::ffff:10.0.0.1", "::ffff:a00:1", 0},
        {"fe80::1%eth0", "fe80::1", 0},
        {"2001:db8::2", "2001:db8::10", -1}, // hex groups by value
        {"2001:db8::1", "unknown", -1},      // addresses before text
        {"Unknown", "unknown", 0},           // text without letter case
        {"1.2.3", "1.2.3.4", 1},             // not an address: text
        {"1.2.3.256", "1.2.3.4", 1},
        {"1::2::3", "::", 1},
        {"1:2:3:4:5:6:7:8:9", "::", 1},
        {"", "0.0.0.0", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(CompareComputerIPs(c.a, c.b), c.expected);
        EXPECT_EQ(CompareComputerIPs(c.b, c.a), -c.expected);
    }
}

namespace {

std::string CouponRecord(const std::string& code, const std::string& name) {
    return "\"9\",\"" + code + "\",\"" + name +
           "\",\"0\",\"2\",\"30\",\"2099-12-31\",\"http://shop.example/order\",\"\"^";
}

} // namespace

// One sum per code (letter case aside) among the rows given: the coupon's own
// spelling and name from the coupon list, its count and its latest use.
TEST(SumByCoupon, CountsAndLastUsesWithTheCouponsNames) {
    const TTraceList list = Parse(Record("spring", "2008-05-18 10:00:00", "1") + // 0
                                  Record("GONE", "2008-05-19 11:00:00", "2") +   // 1
                                  Record("SPRING", "2008-06-01 08:30:00", "3") + // 2
                                  Record("vip", "2008-05-20 00:00:00", "4") +    // 3
                                  Record("Spring", "2008-05-30 23:00:00", "5") + // 4
                                  Record("gone", "2008-05-01 00:00:00", "6") +   // 5
                                  "OK");
    const TCouponList coupons(CouponRecord("VIP", "Friends, family") +
                              CouponRecord("Spring", "Spring sale") +
                              CouponRecord("OTHER", "Never used") + "OK");
    int steps = 0;
    const std::vector<TCouponNaming> names = NameCodes(list, coupons, [&] { ++steps; });
    ASSERT_EQ(names.size(), 3u); // spring, GONE, vip
    EXPECT_EQ(steps, 0);         // three coupons: no step due

    struct TExpected {
        std::string code, name;
        std::size_t count;
        TDateTime last;
    };
    const struct {
        const char* name;
        std::vector<std::size_t> rows;
        bool withNames;
        std::vector<TExpected> sums;
    } cases[] = {
        {"every row",
         AllRows(list),
         true,
         {{"Spring", "Spring sale", 3, At(2008, 6, 1, 8, 30)},
          {"GONE", "", 2, At(2008, 5, 19, 11)}, // no such coupon: the first spelling, no name
          {"VIP", "Friends, family", 1, At(2008, 5, 20)}}},
        {"a filter's rows: the sums follow them",
         {3, 4, 5},
         true,
         {{"VIP", "Friends, family", 1, At(2008, 5, 20)},
          {"Spring", "Spring sale", 1, At(2008, 5, 30, 23)},
          {"GONE", "", 1, At(2008, 5, 1)}}},
        {"no coupon list", {0, 2}, false, {{"spring", "", 2, At(2008, 6, 1, 8, 30)}}},
        {"no rows", {}, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<TCouponSum> sums =
            SumByCoupon(list, c.rows, c.withNames ? names : std::vector<TCouponNaming>{});
        ASSERT_EQ(sums.size(), c.sums.size());
        for (std::size_t i = 0; i < sums.size(); ++i) {
            EXPECT_EQ(sums[i].Code, c.sums[i].code) << i;
            EXPECT_EQ(sums[i].Name, c.sums[i].name) << i;
            EXPECT_EQ(sums[i].Redemptions, c.sums[i].count) << i;
            EXPECT_DOUBLE_EQ(sums[i].LastUsed, c.sums[i].last) << i;
        }
    }

    // A long coupon list is looked through in steps.
    std::string many;
    for (int i = 0; i < 3000; ++i)
        many += CouponRecord("C" + std::to_string(i), "n");
    NameCodes(list, TCouponList(many + "OK"), [&] { ++steps; });
    EXPECT_EQ(steps, 2);
}

TEST(SumByCoupon, SortsByEachColumnStably) {
    const TTraceList list = Parse(
        Record("b", "2008-05-18 10:00:00", "1") + Record("A", "2008-05-19 10:00:00", "1") +
        Record("b", "2008-05-17 10:00:00", "1") + Record("c", "2008-05-19 10:00:00", "1") +
        Record("d", "2008-05-16 10:00:00", "1") + Record("d", "2008-05-16 09:00:00", "1") + "OK");
    std::vector<TCouponSum> sums = SumByCoupon(list, AllRows(list));
    // Names to sort by: "b" has none.
    sums[1].Name = "zeta";
    sums[2].Name = "Alpha";
    sums[3].Name = "alpha";
    const struct {
        int column;
        bool descending;
        const char* codes;
    } cases[] = {
        {scCode, false, "A b c d "},        {scCode, true, "d c b A "},
        {scName, false, "b c d A "},        {scName, true, "A c d b "},
        {scRedemptions, false, "A c b d "}, // 1, 1, 2, 2: ties in first-use order
        {scRedemptions, true, "b d A c "},  {scLastUsed, false, "d b A c "},
        {scLastUsed, true, "A c b d "},     {-1, true, "b A c d "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.column << (c.descending ? " desc" : " asc"));
        std::string codes;
        for (std::uint32_t i : SortCouponSums(sums, c.column, c.descending))
            codes += sums[i].Code + " ";
        EXPECT_EQ(codes, c.codes);
    }
    // The chart's choice: most used first, ties in the table's order.
    std::string most;
    for (std::uint32_t i : MostUsedCoupons(sums, SortCouponSums(sums, scCode, true)))
        most += sums[i].Code + " ";
    EXPECT_EQ(most, "d b c A ");
}

TEST(SumByCoupon, CsvAndTotals) {
    std::vector<TCouponSum> sums(2);
    sums[0].Code = "=SUM(A1)";
    sums[0].Name = "Spring, \"sale\"";
    sums[0].Redemptions = 12;
    sums[0].LastUsed = At(2008, 5, 18, 10, 48, 42);
    sums[1].Code = "VIP";
    sums[1].Redemptions = 1;
    sums[1].LastUsed = At(2009, 1, 2);
    const std::string csv = CouponSumsCsv(sums, {1, 0});
    std::vector<TCsvRow> rows;
    for (const TCsvRecord& record : ParseCsv(csv))
        rows.push_back(record.Fields);
    EXPECT_EQ(rows, (std::vector<TCsvRow>{
                        {"Coupon Code", "Coupon Name", "Redemptions", "Last Used"},
                        {"VIP", "", "1", "2009-01-02 00:00:00"},
                        {"'=SUM(A1)", "Spring, \"sale\"", "12", "2008-05-18 10:48:42"}}))
        << csv;

    TFormatSettings german = TFormatSettings::EnglishUS();
    german.DecimalSeparator = ',';
    const struct {
        std::size_t redemptions, codes;
        const TFormatSettings fs;
        const char* text;
    } totals[] = {
        {0, 0, TFormatSettings::EnglishUS(), "No redemptions shown"},
        {1, 1, TFormatSettings::EnglishUS(), "1 redemption of 1 code shown"},
        {1234, 56, TFormatSettings::EnglishUS(), "1,234 redemptions of 56 codes shown"},
        {1234567, 1000, german, "1.234.567 redemptions of 1.000 codes shown"},
        {999, 2, TFormatSettings::EnglishUS(), "999 redemptions of 2 codes shown"},
    };
    for (const auto& t : totals)
        EXPECT_EQ(ShownTotalsText(t.redemptions, t.codes, t.fs), t.text);
}
