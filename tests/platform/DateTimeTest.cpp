#include "platform/DateTime.h"

#include <gtest/gtest.h>

using namespace quillory;

namespace {

TEST(DateTimeTest, DayCountsStartOn30December1899) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2008, 5, 18), 39586.0);
    EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
    int y, m, d;
    DecodeDate(39586.75, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20080518);
    int h, n, s, ms;
    DecodeTime(39586.75, h, n, s, ms);
    EXPECT_EQ(h, 18);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(DayOfWeek(EncodeDate(2008, 5, 18)), 1); // a Sunday
    EXPECT_THROW(EncodeDate(2009, 2, 29), std::invalid_argument);
    EXPECT_NO_THROW(EncodeDate(2008, 2, 29));
}

TEST(DateTimeTest, ServerDatesHaveNoLeadingZeros) {
    EXPECT_EQ(FormatDateYMD(EncodeDate(2008, 5, 8) + 0.5), "2008-5-8");
    EXPECT_EQ(FormatDateYMD(EncodeDate(2010, 12, 31)), "2010-12-31");
}

TEST(DateTimeTest, FormatsWithLocaleNamesAndSeparators) {
    TFormatSettings fs = TFormatSettings::EnglishUS();
    TDateTime dt = EncodeDate(2008, 5, 18) + EncodeTime(14, 5, 9, 0);
    EXPECT_EQ(FormatDateTime(fs.ShortDateFormat, dt, fs), "5/18/2008");
    EXPECT_EQ(FormatDateTime(fs.LongTimeFormat, dt, fs), "2:05:09 PM");
    EXPECT_EQ(FormatDateTime("mmmm, yyyy", dt, fs), "May, 2008");
    EXPECT_EQ(FormatDateTime("dddd dd/mm/yy hh:nn", dt, fs), "Sunday 18/05/08 14:05");
    fs.DateSeparator = '.';
    EXPECT_EQ(FormatDateTime("d/m/yyyy 'lit/'", dt, fs), "18.5.2008 lit/");
}

TEST(DateTimeTest, ParsesDatesInTheLocaleOrder) {
    TFormatSettings us = TFormatSettings::EnglishUS();
    TDateTime dt = 0;
    ASSERT_TRUE(TryStrToDate("06/30/2008", us, dt));
    EXPECT_EQ(dt, EncodeDate(2008, 6, 30));
    ASSERT_TRUE(TryStrToDate(" 6/30/2008", us, dt));
    EXPECT_EQ(dt, EncodeDate(2008, 6, 30));
    EXPECT_FALSE(TryStrToDate("02/30/2008", us, dt));
    EXPECT_FALSE(TryStrToDate("13/01/2008", us, dt));
    EXPECT_FALSE(TryStrToDate("1/2", us, dt));
    EXPECT_FALSE(TryStrToDate("1/2/3/4", us, dt));

    TFormatSettings de = us;
    de.ShortDateFormat = "dd/mm/yyyy";
    de.DateSeparator = '.';
    ASSERT_TRUE(TryStrToDate("30.06.2008", de, dt));
    EXPECT_EQ(dt, EncodeDate(2008, 6, 30));

    TFormatSettings iso = us;
    iso.ShortDateFormat = "yyyy/mm/dd";
    iso.DateSeparator = '-';
    ASSERT_TRUE(TryStrToDate("2008-06-30", iso, dt));
    EXPECT_EQ(dt, EncodeDate(2008, 6, 30));

    TFormatSettings named = us;
    named.ShortDateFormat = "dd/mmm/yyyy";
    named.DateSeparator = '-';
    ASSERT_TRUE(TryStrToDate("30-JUN-2008", named, dt));
    EXPECT_EQ(dt, EncodeDate(2008, 6, 30));
}

TEST(DateTimeTest, NumbersUseTheLocaleDecimalSeparator) {
    TFormatSettings fs = TFormatSettings::EnglishUS();
    double v = 0;
    ASSERT_TRUE(TryStrToFloat(" 1.02 ", fs, v));
    EXPECT_DOUBLE_EQ(v, 1.02);
    EXPECT_FALSE(TryStrToFloat("1,02", fs, v));
    EXPECT_FALSE(TryStrToFloat("", fs, v));
    EXPECT_FALSE(TryStrToFloat("abc", fs, v));
    EXPECT_FALSE(TryStrToFloat("1.0.2", fs, v));
    fs.DecimalSeparator = ',';
    ASSERT_TRUE(TryStrToFloat("-1,5", fs, v));
    EXPECT_DOUBLE_EQ(v, -1.5);
    EXPECT_FALSE(TryStrToFloat("1.5", fs, v));
    EXPECT_EQ(FormatFloat(2.5, 2, fs), "2,50");
}

TEST(FormatSettingsTest, StrftimePatternsBecomeProgramPatterns) {
    EXPECT_EQ(ConvertStrftimePattern("%m/%d/%Y"), "mm/dd/yyyy");
    EXPECT_EQ(ConvertStrftimePattern("%d.%m.%Y"), "dd.mm.yyyy");
    EXPECT_EQ(ConvertStrftimePattern("%Y-%m-%d"), "yyyy-mm-dd");
    bool ampm = false;
    EXPECT_EQ(ConvertStrftimePattern("%I:%M:%S %p", &ampm), "hh:nn:ss ampm");
    EXPECT_TRUE(ampm);
    EXPECT_EQ(TFormatSettings::FromLocale("C").ShortDateFormat, "M/d/yyyy");
    EXPECT_EQ(TFormatSettings::FromLocale("no_such_LOCALE").DecimalSeparator, '.');
}

} // namespace
