#include "coupons/Csv.h"

#include <gtest/gtest.h>

using namespace quillory;

TEST(Csv, QuotedFieldsCarryCommasQuotesAndLineBreaks) {
    const auto rows = ParseCsv("a,b,c\r\n\"x, y\",\"say \"\"hi\"\"\",\"l1\r\nl2\"\r\n,,\n"
                               "last,row");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].Fields, (TCsvRow{"a", "b", "c"}));
    EXPECT_EQ(rows[1].Fields, (TCsvRow{"x, y", "say \"hi\"", "l1\r\nl2"}));
    EXPECT_EQ(rows[2].Fields, (TCsvRow{"", "", ""}));
    EXPECT_EQ(rows[3].Fields, (TCsvRow{"last", "row"}));
    EXPECT_EQ(rows[1].Line, 2u);
    EXPECT_EQ(rows[2].Line, 4u); // the quoted line break counts
    EXPECT_TRUE(ParseCsv("").empty());
}

TEST(Csv, FormattedRowsReadBackUnchanged) {
    const TCsvRow row = {"plain", "", "a,b", "\"q\"", "x\r\ny", " sp ", "\xe9\xff"};
    const auto rows = ParseCsv(FormatCsvRow(row) + FormatCsvRow(row));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Fields, row);
    EXPECT_EQ(rows[1].Fields, row);
    EXPECT_EQ(FormatCsvRow({"a", "b c"}), "a,b c\r\n");
}

TEST(Csv, MalformedTextIsRefusedWithItsLine) {
    try {
        ParseCsv("a,b\r\nc,\"open\r\nnever closed");
        FAIL();
    } catch (const ECsvError& e) {
        EXPECT_EQ(e.Line, 2u);
    }
    EXPECT_THROW(ParseCsv("a,b\"c\r\n"), ECsvError);
    EXPECT_THROW(ParseCsv("\"a\"b,c\r\n"), ECsvError);
}
