#include "http/HeaderList.h"

#include <gtest/gtest.h>

using namespace quillory;

namespace {

TEST(HeaderListTest, LooksUpNamesInAnyCaseWithContinuationLines) {
    THeaderList h;
    h.Add("Content-Type: text/plain");
    h.Add("X-Long: first");
    h.Add("  second");
    h.Add("\tthird");
    h.Add("set-cookie: a=1");
    h.Add("Set-Cookie: b=2");
    EXPECT_EQ(h.Values("content-type"), "text/plain");
    EXPECT_EQ(h.Values("X-LONG"), "first second third");
    EXPECT_EQ(h.Values("Set-cookie"), "a=1");
    EXPECT_EQ(h.AllValues("SET-COOKIE"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(h.Values("Missing"), "");
    EXPECT_EQ(h.IndexOfName("missing"), -1);
}

TEST(HeaderListTest, SettingReplacesTheFirstLineAndEmptyDeletes) {
    THeaderList h;
    h.SetValue("Host", "a");
    h.SetValue("Accept", "x");
    h.Add(" continued");
    h.SetValue("host", "b");
    EXPECT_EQ(h.Lines(), (std::vector<std::string>{"host: b", "Accept: x", " continued"}));
    h.SetValue("Accept", "y");
    EXPECT_EQ(h.Lines(), (std::vector<std::string>{"host: b", "Accept: y"}));
    h.SetValue("HOST", "");
    EXPECT_EQ(h.Lines(), (std::vector<std::string>{"Accept: y"}));
    h.SetValue("Trailing", "value   ");
    EXPECT_EQ(h[1], "Trailing: value");
}

TEST(HeaderListTest, FoldsLongLinesAtSpacesOrCommasOutsideQuotes) {
    std::string value;
    for (int i = 0; i < 300; ++i)
        value += "item" + std::to_string(i) + ", ";
    THeaderList h;
    h.SetValue("X-List", value);
    ASSERT_GT(h.Count(), 1u);
    std::string joined;
    for (std::size_t i = 0; i < h.Count(); ++i) {
        EXPECT_LE(h[i].size(), 1024u);
        EXPECT_NE(h[i].back(), ' ');
        if (i > 0) {
            EXPECT_EQ(h[i][0], ' ');
            EXPECT_NE(h[i][1], ' ');
        }
    }
    // Reading it back joins the pieces with single spaces.
    std::string back = h.Values("X-List");
    std::string expected = value.substr(0, value.size() - 1);
    EXPECT_EQ(back, expected);

    // Never inside double quotes, never right after the name, and no break
    // point at all keeps the line whole.
    std::string quoted = "\"q r s, t u v w x y z, 1 2 3\"";
    auto pieces = THeaderList::FoldLine("X: " + std::string(1000, 'a') + " " + quoted, 1024);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], "X: " + std::string(1000, 'a'));
    EXPECT_EQ(pieces[1], " " + quoted);
    EXPECT_EQ(THeaderList::FoldLine("X: " + std::string(2000, 'z'), 1024).size(), 1u);
}

} // namespace
