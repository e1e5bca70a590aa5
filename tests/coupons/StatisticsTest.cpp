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

std::vector<std::size_t> AllRows(const TTraceList& list) {
    std::vector<std::size_t> rows(list.Count());
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = i;
    return rows;
}

std::string CouponRecord(const std::string& code, const std::string& name) {
    return "\"9\",\"" + code + "\",\"" + name + "\",\"0\",\"2\",\"30\",\"2099-12-31\",\"x\",\"\"^";
}

} // namespace

// Both tables sort by any column, each by its kind (text without letter case,
// dates as dates, addresses and counts by their numbers), both ways; rows
// that compare equal keep the order they came in.
TEST(StatisticsSort, EachColumnByItsKindAndStable) {
    const TTraceList list = Parse(Record("b", "2008-05-18 10:00:00", "10.0.0.10") +
                                  Record("A", "2008-05-18 09:00:00", "10.0.0.9") +
                                  Record("c", "2009-01-01 00:00:00", "::1") +
                                  Record("B", "2008-05-18 10:00:00", "2001:db8::1") +
                                  Record("a", "2007-12-31 23:59:59", "9.255.0.1") +
                                  Record("C", "2008-05-18 09:00:00", "unknown") + "OK");
    // Sums of b (2), A (2), c (2): names Zeta, none, alpha; last uses 10:00, 09:00, 2009.
    std::vector<TCouponSum> sums = SumByCoupon(list, AllRows(list));
    sums[0].Name = "Zeta";
    sums[2].Name = "alpha";
    sums[1].Redemptions = 3;
    const struct {
        bool bySum;
        int column;
        bool descending;
        const char* codes;
    } cases[] = {
        {false, tcCode, false, "A a b B c C "},
        {false, tcCode, true, "c C b B A a "}, // ties still in reply order
        {false, tcDateUsed, false, "a A C b B c "},
        {false, tcDateUsed, true, "c b B A C a "},
        {false, tcComputerIP, false, "a A b c B C "}, // IPv4 by number, IPv6, then text
        {false, tcComputerIP, true, "C B c b A a "},
        {false, -1, false, "b A c B a C "},
        {true, scCode, true, "c b A "},
        {true, scName, false, "A c b "},
        {true, scRedemptions, false, "b c A "},
        {true, scRedemptions, true, "A b c "},
        {true, scLastUsed, false, "A b c "},
        {true, -1, true, "b A c "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bySum << " " << c.column << " " << c.descending);
        std::string codes;
        if (c.bySum)
            for (std::uint32_t i : SortCouponSums(sums, c.column, c.descending))
                codes += sums[i].Code + " ";
        else
            for (std::size_t r : SortTraceRows(list, AllRows(list), c.column, c.descending))
                codes += list[r].Code() + " ";
        EXPECT_EQ(codes, c.codes);
    }
    // The chart's most used: by count, ties in the table's order.
    std::string most;
    for (std::uint32_t i : MostUsedCoupons(sums, SortCouponSums(sums, scCode, true)))
        most += sums[i].Code + " ";
    EXPECT_EQ(most, "A c b ");
}

TEST(StatisticsSort, ComputerIPsCompareAsAddresses) {
    const struct {
        const char *a, *b;
        int expected;
    } cases[] = {
        {"10.0.0.9", "10.0.0.10", -1},
        {"255.255.255.255", "::", -1},
        {"::1", "0:0:0:0:0:0:0:1", 0},
        {"2001:DB8::1", "2001:db8:0::1", 0},
        {"::ffff:10.0.0.1", "::ffff:a00:1", 0},
        {"fe80::1%eth0", "fe80::1", 0},
        {"2001:db8::2", "2001:db8::10", -1},
        {"2001:db8::1", "unknown", -1},
        {"Unknown", "unknown", 0},
        {"1.2.3.256", "1.2.3.4", 1}, // text after addresses
        {"1::2::3", "::", 1},
        {"1:2:3:4:5:6:7:8:9", "::", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CompareComputerIPs(c.a, c.b), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(CompareComputerIPs(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
    }
}

// One sum per code (letter case aside) among the rows given: the coupon's own
// spelling and name from the coupon list, its count and its latest use.
TEST(SumByCoupon, CountsAndLastUsesWithTheCouponsNames) {
    const TTraceList list = Parse(
        Record("spring", "2008-05-18 10:00:00", "1") + Record("GONE", "2008-05-19 11:00:00", "2") +
        Record("SPRING", "2008-06-01 08:30:00", "3") + Record("vip", "2008-05-20 00:00:00", "4") +
        Record("Spring", "2008-05-30 23:00:00", "5") + "OK");
    const std::vector<TCouponNaming> names =
        NameCodes(list, TCouponList(CouponRecord("VIP", "Friends, family") +
                                    CouponRecord("Spring", "Spring sale") + "OK"));
    const struct {
        std::vector<std::size_t> rows;
        bool withNames;
        std::string sums; // code|name|count|last use
    } cases[] = {
        {AllRows(list), true,
         "Spring|Spring sale|3|2008-06-01 08:30:00 GONE||1|2008-05-19 11:00:00 "
         "VIP|Friends, family|1|2008-05-20 00:00:00 "},
        {{3, 4},
         true,
         "VIP|Friends, family|1|2008-05-20 00:00:00 Spring|Spring sale|1|2008-05-30 23:00:00 "},
        {{0, 2}, false, "spring||2|2008-06-01 08:30:00 "},
        {{}, true, ""},
    };
    for (const auto& c : cases) {
        std::string sums;
        for (const TCouponSum& sum :
             SumByCoupon(list, c.rows, c.withNames ? names : std::vector<TCouponNaming>{}))
            sums += sum.Code + "|" + sum.Name + "|" + std::to_string(sum.Redemptions) + "|" +
                    FormatIsoDateTime(sum.LastUsed) + " ";
        EXPECT_EQ(sums, c.sums);
    }
}

TEST(SumByCoupon, CsvAndTotals) {
    std::vector<TCouponSum> sums(2);
    sums[0] = {0, "=SUM(A1)", "Spring, \"sale\"", 12, At(2008, 5, 18, 10, 48, 42)};
    sums[1] = {1, "VIP", "", 1, At(2009, 1, 2)};
    std::vector<TCsvRow> rows;
    for (const TCsvRecord& record : ParseCsv(CouponSumsCsv(sums, {1, 0})))
        rows.push_back(record.Fields);
    EXPECT_EQ(rows, (std::vector<TCsvRow>{
                        {"Coupon Code", "Coupon Name", "Redemptions", "Last Used"},
                        {"VIP", "", "1", "2009-01-02 00:00:00"},
                        {"'=SUM(A1)", "Spring, \"sale\"", "12", "2008-05-18 10:48:42"}}));

    TFormatSettings german = TFormatSettings::EnglishUS();
    german.DecimalSeparator = ',';
    EXPECT_EQ(ShownTotalsText(0, 0, german), "No redemptions shown");
    EXPECT_EQ(ShownTotalsText(1, 1, german), "1 redemption of 1 code shown");
    EXPECT_EQ(ShownTotalsText(1234, 56, TFormatSettings::EnglishUS()),
              "1,234 redemptions of 56 codes shown");
    EXPECT_EQ(ShownTotalsText(1234567, 1000, german), "1.234.567 redemptions of 1.000 codes shown");
}
