#include "ui/DateEditText.h"
#include "SkinTestData.h"

#include <gtest/gtest.h>

using namespace quillory;
using quillory::test::DateLocale;

namespace {

const TFormatSettings kUS = TFormatSettings::EnglishUS();      // M/d/yyyy
const TFormatSettings kUK = DateLocale("dd/mm/yyyy", '/');     // day first
const TFormatSettings kISO = DateLocale("yyyy-mm-dd", '-');    // year first
const TFormatSettings kNames = DateLocale("dd-mmm-yyyy", '-'); // month names
const TFormatSettings kShortYear = DateLocale("m/d/yy", '/');  // two-digit year

TEST(DateMaskTest, BuiltFromTheShortDateFormat) {
    EXPECT_EQ(BuildDateMask(kUS), "!99/99/0000;1; ");
    EXPECT_EQ(BuildDateMask(kUK), "!99/99/0000;1; ");
    EXPECT_EQ(BuildDateMask(kISO), "!0000/99/99;1; ");
    EXPECT_EQ(BuildDateMask(kNames), "!99/LLL/0000;1; ");
    EXPECT_EQ(BuildDateMask(kShortYear), "!99/99/00;1; ");
    EXPECT_EQ(BuildDateMask(DateLocale("dd.mm.yyyy", '.')), "!99/99/0000;1; ");
    EXPECT_EQ(BuildDateMask(DateLocale("d mmmm yyyy", ' ')), "!99/LLLLLLLL/0000;1; ");
    // A format that does not split into three fields falls back to m/d/y.
    EXPECT_EQ(BuildDateMask(DateLocale("yyyymmdd", '/')), "!99/99/0000;1; ");
    const TDateFields f = DateFieldsOf(kUK);
    EXPECT_EQ(std::string(f.Kind, 3), "dmy");
}

TEST(DateMaskTest, TextsAreFittedFieldByField) {
    const TEditMask m(BuildDateMask(kUS));
    EXPECT_EQ(m.Length(), 10);
    EXPECT_EQ(m.Fit("6/30/2008", '/'), " 6/30/2008");
    EXPECT_EQ(m.Fit("12/5/2008", '/'), "12/ 5/2008");
    EXPECT_EQ(m.Fit("12/15/2008", '/'), "12/15/2008");
    EXPECT_EQ(m.Fit("123/30/12008", '/'), "23/30/2008"); // rightmost characters kept
    EXPECT_EQ(m.Fit("", '/'), "  /  /    ");
    EXPECT_EQ(m.Fit("7", '/'), " 7/  /    ");
    EXPECT_EQ(m.EmptyText('.'), "  .  .    ");
    const TEditMask iso(BuildDateMask(kISO));
    EXPECT_EQ(iso.Fit("2008-6-3", '-'), "2008- 6- 3");
    EXPECT_TRUE(iso.IsLiteral(4));
    EXPECT_FALSE(iso.IsLiteral(5));
    EXPECT_TRUE(iso.Accepts(0, '2'));
    EXPECT_FALSE(iso.Accepts(0, 'x'));
    const TEditMask names(BuildDateMask(kNames));
    EXPECT_TRUE(names.Accepts(3, 'D'));
    EXPECT_FALSE(names.Accepts(3, '1'));
}

TEST(CompleteDateTextTest, NumericFormats) {
    EXPECT_TRUE(IsCompleteDateText("06/30/2008", kUS));
    EXPECT_TRUE(IsCompleteDateText("12/31/9999", kUS));
    EXPECT_FALSE(IsCompleteDateText(" 6/30/2008", kUS)); // a blank
    EXPECT_FALSE(IsCompleteDateText("13/01/2008", kUS));
    EXPECT_FALSE(IsCompleteDateText("00/10/2008", kUS));
    EXPECT_FALSE(IsCompleteDateText("10/00/2008", kUS));
    EXPECT_FALSE(IsCompleteDateText("10/32/2008", kUS));
    EXPECT_FALSE(IsCompleteDateText("10/10/0000", kUS));
    EXPECT_FALSE(IsCompleteDateText("10/10/", kUS));
    EXPECT_FALSE(IsCompleteDateText("10-10-2008", kUS));
    EXPECT_FALSE(IsCompleteDateText("1O/10/2008", kUS)); // a letter O
    EXPECT_TRUE(IsCompleteDateText("02/30/2008", kUS));  // not checked against the month
    EXPECT_TRUE(IsCompleteDateText("30/06/2008", kUK));
    EXPECT_FALSE(IsCompleteDateText("06/30/2008", kUK));
    EXPECT_TRUE(IsCompleteDateText("2008-06-30", kISO));
    EXPECT_TRUE(IsCompleteDateText("06/30/08", kShortYear));
    EXPECT_FALSE(IsCompleteDateText("06/30/2008", kShortYear));
}

TEST(CompleteDateTextTest, MonthNameFormat) {
    EXPECT_TRUE(IsCompleteDateText("15-Dec-2008", kNames));
    EXPECT_TRUE(IsCompleteDateText("15-dec-2008", kNames));
    EXPECT_FALSE(IsCompleteDateText("15-Dex-2008", kNames));
    EXPECT_FALSE(IsCompleteDateText("15-12-2008", kNames)); // numeric text, name format
    EXPECT_FALSE(IsCompleteDateText("32-Dec-2008", kNames));
    EXPECT_FALSE(IsCompleteDateText("15-Dec-0000", kNames));
}

TEST(CompleteDateTextTest, ConvertsOrFailsWithTheParserMessage) {
    EXPECT_EQ(CompleteDateTextToDate("12/15/2008", kUS), EncodeDate(2008, 12, 15));
    EXPECT_EQ(CompleteDateTextToDate("15/12/2008", kUK), EncodeDate(2008, 12, 15));
    EXPECT_EQ(CompleteDateTextToDate("2008-12-15", kISO), EncodeDate(2008, 12, 15));
    EXPECT_EQ(CompleteDateTextToDate("15-DEC-2008", kNames), EncodeDate(2008, 12, 15));
    try {
        CompleteDateTextToDate("02/30/2008", kUS);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'02/30/2008' is not a valid date");
    }
    EXPECT_THROW(CompleteDateTextToDate("31-Feb-2009", kNames), EConvertError);
}

TEST(PlausibleDateTextTest, KeystrokeFilterCases) {
    // Over the blank in front of the 6 of " 6/30/2008".
    EXPECT_TRUE(IsPlausibleDateText("06/30/2008", kUS));
    EXPECT_FALSE(IsPlausibleDateText("16/30/2008", kUS)); // month 16
    // Over the 3 of the day 30, the month still blank in front.
    EXPECT_FALSE(IsPlausibleDateText(" 6/40/2008", kUS)); // day 40
    // Into an all-blank day field: "4 " still has a blank.
    EXPECT_TRUE(IsPlausibleDateText(" 6/4 /2008", kUS));
    EXPECT_TRUE(IsPlausibleDateText(" 6/ 4/2008", kUS));
    EXPECT_FALSE(IsPlausibleDateText(" 6/ 4/2x08", kUS));
    EXPECT_TRUE(IsPlausibleDateText("1 /  /    ", kUS));
    EXPECT_TRUE(IsPlausibleDateText("  /  /2   ", kUS));
    // No blank left: every field must pass.
    EXPECT_FALSE(IsPlausibleDateText("12/31/0000", kUS));
    EXPECT_TRUE(IsPlausibleDateText("12/31/9999", kUS));
    EXPECT_FALSE(IsPlausibleDateText("12/31/2008/", kUS));
    // Day first: the day's first digit must be below 4, the month's below 2.
    EXPECT_TRUE(IsPlausibleDateText("3 /  /    ", kUK));
    EXPECT_TRUE(IsPlausibleDateText("31/1 /    ", kUK));
    EXPECT_FALSE(IsPlausibleDateText("31/13/2008", kUK));
    // Year first.
    EXPECT_TRUE(IsPlausibleDateText("2008-1 -  ", kISO));
    EXPECT_FALSE(IsPlausibleDateText("2008-13-01", kISO));
}

TEST(PlausibleDateTextTest, MonthNamesTakeLettersAndTheDayMayComeFirst) {
    EXPECT_TRUE(IsPlausibleDateText("1 -   -    ", kNames));
    EXPECT_TRUE(IsPlausibleDateText("15-D  -    ", kNames));
    EXPECT_TRUE(IsPlausibleDateText("15-Dec-2008", kNames));
    EXPECT_FALSE(IsPlausibleDateText("15-1  -    ", kNames)); // a digit in the month
    EXPECT_FALSE(IsPlausibleDateText("1x-   -    ", kNames)); // a letter in the day
    EXPECT_FALSE(IsPlausibleDateText("45-Dec-2008", kNames));
}

} // namespace
