// Many coupons at once through the server script, on MariaDB and on SQLite:
// generated codes all distinct and all redeemable, taken codes drawn anew,
// and the bulk add's answer for every row.
#include "coupons/CodeBatch.h"
#include "coupons/CouponRecord.h"
#include "tests/e2e/E2EBackends.h"
#include "tests/support/CouponValues.h"

#include <gtest/gtest.h>

#include <set>

using namespace quillory;
using quillory::test::CouponOf;
using namespace quillory::e2e;

namespace {

const std::string kOrderPage = "http://shop.example/order.php?item=9";

class BulkAddE2E : public TServiceE2ETest {
protected:
    TCoupon Pattern() {
        TCoupon c;
        c.Name = "Batch";
        c.OrderPage = kOrderPage;
        c.CreateDate = ServerDate();
        return c;
    }
    std::set<std::string> ListedCodes() {
        std::set<std::string> codes;
        for (const auto& c : ListCoupons(*service))
            codes.insert(c.Code);
        return codes;
    }
};

} // namespace

TEST_P(BulkAddE2E, AThousandGeneratedCouponsAreAllDistinctAndRedeemableOnce) {
    TCodeRules rules;
    rules.Count = 1000;
    rules.Prefix = "GEN-";
    rules.Length = 8;
    const TBatchResult result = AddCouponBatch(*service, Pattern(), rules);
    EXPECT_FALSE(result.FellBack);
    ASSERT_TRUE(result.NotAdded.empty()) << result.NotAdded.front().second.Reason;
    ASSERT_EQ(result.Added.size(), 1000u);
    const auto listed = ListedCodes();
    EXPECT_EQ(listed.size(), 1000u);
    for (const auto& c : result.Added) {
        ASSERT_EQ(listed.count(c.Code), 1u) << c.Code;
        EXPECT_FALSE(c.Id.empty());
    }
    for (const auto& c : result.Added) {
        const THttpReply first =
            HttpPost(backend->Php.Port, "/couponsactions.php", "application/x-www-form-urlencoded",
                     "coupcode=" + UrlEncode(c.Code) + "&action=7&send=Submit");
        ASSERT_EQ(first.Header("Location"), kOrderPage) << c.Code << first.Head;
    }
    // One time use: the second try goes to the invalid page.
    const THttpReply again =
        HttpPost(backend->Php.Port, "/couponsactions.php", "application/x-www-form-urlencoded",
                 "coupcode=" + UrlEncode(result.Added.front().Code) + "&action=7&send=Submit");
    EXPECT_NE(again.Header("Location"), kOrderPage);
}

TEST_P(BulkAddE2E, TakenCodesAreDrawnAnewAndNoneIsLost) {
    // A quarter of the 4,096 codes "T" + four digits are taken already.
    TCodeRules rules;
    rules.Prefix = "T";
    rules.Length = 4;
    rules.Alphabet = TCodeAlphabet::Digits;
    std::set<std::string> drawn;
    std::vector<TCoupon> existing;
    for (auto& code : DrawCouponCodes(rules, 1000, drawn)) {
        TCoupon c = Pattern();
        c.Code = code;
        existing.push_back(c);
    }
    for (const auto& r : service->AddCoupons(existing))
        ASSERT_EQ(r.State, TBulkRowState::Added) << r.Reason;
    std::set<std::string> before;
    for (const auto& c : existing)
        before.insert(c.Code);

    rules.Count = 200;
    const TBatchResult result = AddCouponBatch(*service, Pattern(), rules);
    ASSERT_TRUE(result.NotAdded.empty()) << result.NotAdded.front().second.Reason;
    ASSERT_EQ(result.Added.size(), 200u);
    for (const auto& c : result.Added)
        EXPECT_EQ(before.count(c.Code), 0u) << c.Code;
    EXPECT_EQ(ListedCodes().size(), 1200u);
}

TEST_P(BulkAddE2E, EveryRowIsAnsweredAndValuesArriveByteForByte) {
    TCoupon tricky = CouponOf("", "B%41\t", "50% off\ttab", "0", "2", "30", "", "/order.php?a=%20b",
                              "line one\r\nline two\n\t%0A", ServerDate());
    tricky.Code = "B%41x\xe9";
    tricky.SetUsesText("4");
    TCoupon bad = Pattern(), listBreaker = Pattern(), duplicate = Pattern(), blank = Pattern(),
            noName = Pattern();
    bad.Code = "BADPAGE";
    bad.OrderPage = "javascript:alert(1)";
    listBreaker.Code = "CARET";
    listBreaker.Name = "a^b";
    duplicate.Code = "b%41X\xe9"; // the first code in another letter case
    blank.Code = " LEADING";
    noName.Code = "NONAME";
    noName.Name.clear();
    const auto rows = service->AddCoupons({tricky, bad, listBreaker, duplicate, blank, noName});
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0].State, TBulkRowState::Added) << rows[0].Reason;
    for (std::size_t i = 1; i < rows.size(); ++i)
        EXPECT_NE(rows[i].State, TBulkRowState::Added) << i;
    EXPECT_EQ(rows[3].State, TBulkRowState::CodeExists);
    EXPECT_NE(rows[1].Reason.find("order page"), std::string::npos) << rows[1].Reason;
    EXPECT_NE(rows[2].Reason.find("^"), std::string::npos) << rows[2].Reason;
    EXPECT_NE(rows[4].Reason.find("blank"), std::string::npos) << rows[4].Reason;
    EXPECT_NE(rows[5].Reason.find("name is empty"), std::string::npos) << rows[5].Reason;

    const auto listed = DecodeCouponList(
        [&] {
            std::string reply;
            EXPECT_TRUE(service->RefreshCoupons([&](const std::string& r) { reply = r; }, true));
            return reply;
        }(),
        true);
    ASSERT_EQ(listed.size(), 1u);
    const TCoupon& got = listed[0];
    EXPECT_EQ(got.Id, rows[0].Id);
    EXPECT_EQ(got.Code, tricky.Code);
    EXPECT_EQ(got.Name, tricky.Name);
    EXPECT_EQ(got.OrderPage, tricky.OrderPage);
    EXPECT_EQ(got.Comments, tricky.Comments);
    EXPECT_EQ(got.DaysText(), "30");
    EXPECT_EQ(got.Uses, 4);
}

INSTANTIATE_TEST_SUITE_P(Servers, BulkAddE2E, ::testing::Values("MariaDB", "SQLite"),
                         [](const auto& info) { return info.param; });
