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

// What spreadsheets save: a byte order mark, and semicolons or tabs where the
// user's language uses the comma for decimals. The header row decides.
TEST(Csv, FilesWithAByteOrderMarkAndAnySeparatorReadAlike) {
    const std::string bom = "\xef\xbb\xbf";
    const TCsvRow row = {"A1", "Half, price", "x;y\tz"};
    const std::string texts[] = {
        "code,name,comments\r\nA1,\"Half, price\",\"x;y\tz\"\r\n",
        bom + "code,name,comments\r\nA1,\"Half, price\",\"x;y\tz\"\r\n",
        bom + "code;name;comments\r\nA1;Half, price;\"x;y\tz\"\r\n",
        "code\tname\tcomments\nA1\tHalf, price\t\"x;y\tz\"\n",
        // A separator inside a quoted header cell does not count.
        "\"code;x\",name,comments\r\nA1,\"Half, price\",\"x;y\tz\"\r\n",
    };
    for (const auto& text : texts) {
        const auto rows = ParseCsvFile(text);
        ASSERT_EQ(rows.size(), 2u) << text;
        EXPECT_EQ(rows[0].Fields.at(0).substr(0, 4), "code") << text; // without the mark
        EXPECT_EQ(rows[1].Fields, row) << text;
    }
    // One column, or no separator at all: the comma.
    EXPECT_EQ(SniffCsvSeparator("code\r\nA;B,C\r\n"), ',');
    EXPECT_EQ(SniffCsvSeparator(""), ',');
    // A byte order mark is only taken off at the very start.
    EXPECT_EQ(ParseCsvFile("a\r\n" + bom + "b\r\n")[1].Fields[0], bom + "b");
}

TEST(Csv, FormulaCellsAreGuardedAndComeBackByteForByte) {
    // Cells a spreadsheet would run get a "'" in front; so do cells already
    // behind one, or import would take the user's "'" off.
    const std::vector<std::string> guarded = {
        "=HYPERLINK(\"http://x\")", "+1", "-2", "@SUM(A1)", "\tx", "\rx", "'=x", "''+x"};
    const std::vector<std::string> harmless = {"", "'", "'plain", "a=b", " =x", "\n=x"};
    for (const bool guard : {true, false})
        for (const auto& cell : guard ? guarded : harmless) {
            EXPECT_EQ(GuardCsvCell(cell), (guard ? "'" : "") + cell) << cell;
            EXPECT_EQ(UnguardCsvCell(GuardCsvCell(cell)), cell) << cell;
            // Through a whole file as well.
            const auto rows =
                ParseCsvFile(FormatCsvRow({"h"}) + FormatCsvRow({GuardCsvCell(cell)}));
            ASSERT_EQ(rows.size(), 2u) << cell;
            EXPECT_EQ(UnguardCsvCell(rows[1].Fields[0]), cell) << cell;
        }
    // A "'" typed by hand before a formula character goes.
    EXPECT_EQ(UnguardCsvCell("'-5"), "-5");
}
