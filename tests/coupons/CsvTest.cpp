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
    const TCsvRow header = {"code", "name", "comments"};
    const TCsvRow row = {"A1", "Half, price", "x;y\tz"};
    const struct {
        const char* Label;
        std::string Text;
    } cases[] = {
        {"comma", "code,name,comments\r\nA1,\"Half, price\",\"x;y\tz\"\r\n"},
        {"comma with BOM", "\xef\xbb\xbf"
                           "code,name,comments\r\nA1,\"Half, price\",\"x;y\tz\"\r\n"},
        {"semicolon with BOM", "\xef\xbb\xbf"
                               "code;name;comments\r\nA1;Half, price;\"x;y\tz\"\r\n"},
        {"tab", "code\tname\tcomments\nA1\tHalf, price\t\"x;y\tz\"\n"},
        {"quoted header", "\"code;x\",name,comments\r\nA1,\"Half, price\",\"x;y\tz\"\r\n"},
    };
    for (const auto& c : cases) {
        const auto rows = ParseCsvFile(c.Text);
        ASSERT_EQ(rows.size(), 2u) << c.Label;
        if (std::string(c.Label) != "quoted header") {
            EXPECT_EQ(rows[0].Fields, header) << c.Label;
        }
        EXPECT_EQ(rows[1].Fields, row) << c.Label;
    }
    // One column, or no separator at all: the comma.
    EXPECT_EQ(SniffCsvSeparator("code\r\nA;B,C\r\n"), ',');
    EXPECT_EQ(SniffCsvSeparator(""), ',');
    // A byte order mark is only taken off at the very start.
    EXPECT_EQ(ParseCsvFile("a\r\n\xef\xbb\xbf"
                           "b\r\n")[1]
                  .Fields[0],
              "\xef\xbb\xbf"
              "b");
}

TEST(Csv, FormulaCellsAreGuardedAndComeBackByteForByte) {
    const struct {
        std::string Cell, Guarded;
    } cases[] = {
        {"=HYPERLINK(\"http://x\")", "'=HYPERLINK(\"http://x\")"},
        {"+1", "'+1"},
        {"-2", "'-2"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\rx", "'\rx"},
        // Already behind a "'": one more, or import would take the user's.
        {"'=x", "''=x"},
        {"''+x", "'''+x"},
        // Nothing to guard.
        {"", ""},
        {"'", "'"},
        {"'plain", "'plain"},
        {"a=b", "a=b"},
        {" =x", " =x"},
        {"\n=x", "\n=x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GuardCsvCell(c.Cell), c.Guarded) << c.Cell;
        EXPECT_EQ(UnguardCsvCell(GuardCsvCell(c.Cell)), c.Cell) << c.Cell;
        // Through a whole file as well.
        const auto rows = ParseCsvFile(FormatCsvRow({"h"}) + FormatCsvRow({GuardCsvCell(c.Cell)}));
        ASSERT_EQ(rows.size(), 2u) << c.Cell;
        EXPECT_EQ(UnguardCsvCell(rows[1].Fields[0]), c.Cell) << c.Cell;
    }
    // A "'" the user wrote before something harmless stays.
    EXPECT_EQ(UnguardCsvCell("'plain"), "'plain");
    EXPECT_EQ(UnguardCsvCell("'-5"), "-5");
}
