// The coupon list the window shows: the use count and status of a list with
// details, and the filter over code and name.
#include "coupons/CouponList.h"
#include "tests/support/CouponServiceScript.h"

#include <gtest/gtest.h>

using namespace quillory;
using quillory::testsupport::ListReplyOf;

namespace {

using TRecord = std::vector<std::string>;

TRecord Record(const std::string& id, const std::string& code, const std::string& name,
               std::vector<std::string> details = {}) {
    TRecord r = {id, code, name, "0", "1", "1", "2030-1-1", "/order.php", "a\r\nb", "2026-1-1"};
    r.insert(r.end(), details.begin(), details.end());
    return r;
}

TEST(CouponListDetails, UseCountAndStatusComeFromTheLastTwoFieldsOnlyWhenTheyReadAsSuch) {
    const TCouponList plain(ListReplyOf({Record("1", "A", "One"), Record("2", "B", "Two")}));
    EXPECT_FALSE(plain.HasDetails());
    EXPECT_EQ(plain.Uses(0), -1);
    EXPECT_EQ(plain.Status(1), TCouponStatus::None);
    EXPECT_FALSE(plain.Coupon(0).Uses);

    const TCouponList detailed(ListReplyOf({
        Record("1", "A", "One", {"0", "active"}),
        Record("2", "B", "Two", {"1", "used up"}),
        Record("3", "C", "Three", {"12", "expired"}),
        Record("4", "D", "Four", {"x", "active"}),        // no count: no details
        Record("5", "E", "Five", {"3", "sleeping"}),      // unknown status
        {"6", "F", "Six, short", "1"},                    // four fields only
        Record("7", "G", "Seven\",\"x", {"4", "active"}), // a name that splits
    }));
    ASSERT_EQ(detailed.Count(), 7u);
    EXPECT_TRUE(detailed.HasDetails());
    const std::pair<long long, TCouponStatus> expected[] = {
        {0, TCouponStatus::Active}, {1, TCouponStatus::UsedUp}, {12, TCouponStatus::Expired},
        {-1, TCouponStatus::None},  {-1, TCouponStatus::None},  {-1, TCouponStatus::None},
        {4, TCouponStatus::Active}};
    for (std::size_t row = 0; row < detailed.Count(); ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(detailed.Uses(row), expected[row].first);
        EXPECT_EQ(detailed.Status(row), expected[row].second);
    }
    EXPECT_TRUE(detailed.Expired(5));
    const TCoupon c = detailed.Coupon(1);
    EXPECT_EQ(c.Uses, 1);
    EXPECT_EQ(c.Status, "used up");
    // Sorting by uses puts rows without a count first; by status as shown.
    EXPECT_EQ(detailed.SortedOrder(ccUses, true).front(), 2u);
    EXPECT_EQ(detailed.SortedOrder(ccStatus, false)[3], 0u); // after the three without
}

TEST(CouponListFilter, TextMatchesCodeOrNameInAnyCaseAndStatusNarrows) {
    const TCouponList list(ListReplyOf({
        Record("1", "SAVE10", "Spring sale", {"0", "active"}),
        Record("2", "save20", "Summer", {"1", "used up"}),
        Record("3", "WINTER", "Ä big SAVE", {"0", "expired"}),
        Record("4", "X1", "Ärger", {"2", "active"}),
        Record("5", "ab", "c", {"0", "active"}),
    }));
    using TRows = std::vector<std::uint32_t>;
    const struct {
        const char* text;
        TCouponStatus status;
        TRows rows;
    } cases[] = {
        {"", TCouponStatus::None, {0, 1, 2, 3, 4}},
        {"save", TCouponStatus::None, {0, 1, 2}}, // code or name, any case
        {"SAVE", TCouponStatus::Active, {0}},
        {"save", TCouponStatus::UsedUp, {1}},
        {"", TCouponStatus::Expired, {2}},
        {"ä", TCouponStatus::None, {2, 3}}, // UTF-8 capitals fold too
        {"sale", TCouponStatus::None, {0}},
        {"bc", TCouponStatus::None, {}}, // never across code and name
        {"nothing", TCouponStatus::None, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(list.Matching(c.text, c.status), c.rows);
    }
    EXPECT_TRUE(list.Matching(std::string("a\0b", 3), TCouponStatus::None).empty());
    // A longer text looks only at the rows the shorter one matched.
    const TRows shorter = list.Matching("sa", TCouponStatus::None);
    EXPECT_EQ(list.Matching("sav", TCouponStatus::None, &shorter), (TRows{0, 1, 2}));
    const TRows some = {1};
    EXPECT_EQ(list.Matching("sav", TCouponStatus::None, &some), (TRows{1}));
}

} // namespace
