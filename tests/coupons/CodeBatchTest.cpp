// Many coupons at once: the code rules and drawing, the bulk add against an
// in-memory service with and without the bulk action, and a batch whose
// taken codes are drawn anew.
#include "coupons/CodeBatch.h"
#include "tests/support/BulkAddScript.h"

#include <gtest/gtest.h>

#include <set>

using namespace quillory;
using quillory::testsupport::TBulkAddServer;

namespace {

TCodeRules Rules(int count, int length, TCodeAlphabet alphabet, std::string prefix = {},
                 std::string suffix = {}) {
    TCodeRules r;
    r.Count = count;
    r.Length = length;
    r.Alphabet = alphabet;
    r.Prefix = std::move(prefix);
    r.Suffix = std::move(suffix);
    return r;
}

TCoupon Pattern() {
    TCoupon c;
    c.Name = "Spring sale";
    c.Expiry = TExpiryKind::ByDays;
    c.Days = 30;
    c.OrderPage = "order.php";
    c.CreateDate = "2026-12-9";
    return c;
}

} // namespace

TEST(CodeRulesTest, CodesFollowTheRulesAndLeaveOutLookAlikes) {
    const struct {
        TCodeRules Rules;
        std::string Forbidden; // symbols no drawn part may hold
    } cases[] = {
        {Rules(2000, 6, TCodeAlphabet::Letters), "0123456789OIL"},
        {Rules(2000, 8, TCodeAlphabet::Digits, "SPRING-"), "01ABCDEFGHIJKLMNOPQRSTUVWXYZ"},
        {Rules(10000, 5, TCodeAlphabet::Both, "X", "-24"), "01258OIL"},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(CodeRulesProblem(c.Rules)) << *CodeRulesProblem(c.Rules);
        std::set<std::string> taken{CodeKey(c.Rules.Prefix + "AAAAAA" + c.Rules.Suffix)};
        const auto codes = DrawCouponCodes(c.Rules, c.Rules.Count, taken);
        ASSERT_EQ(codes.size(), static_cast<std::size_t>(c.Rules.Count));
        std::set<std::string> distinct;
        std::set<char> seen;
        for (const auto& code : codes) {
            ASSERT_EQ(code.size(), c.Rules.Prefix.size() + c.Rules.Length + c.Rules.Suffix.size());
            ASSERT_EQ(code.rfind(c.Rules.Prefix, 0), 0u) << code;
            ASSERT_EQ(code.substr(code.size() - c.Rules.Suffix.size()), c.Rules.Suffix);
            const std::string drawn = code.substr(c.Rules.Prefix.size(), c.Rules.Length);
            ASSERT_EQ(drawn.find_first_of(c.Forbidden), std::string::npos) << code;
            seen.insert(drawn.begin(), drawn.end());
            distinct.insert(CodeKey(code));
            EXPECT_NE(CodeKey(code), CodeKey(c.Rules.Prefix + "AAAAAA" + c.Rules.Suffix));
        }
        EXPECT_EQ(distinct.size(), codes.size());
        // Every symbol of the alphabet turns up: the draw is not skewed to a few.
        EXPECT_EQ(seen.size(), CodeAlphabetSymbols(c.Rules.Alphabet).size());
        EXPECT_EQ(taken.size(), codes.size() + 1);
    }
}

TEST(CodeRulesTest, RulesThatCannotGiveTheCodesAreRefused) {
    const struct {
        TCodeRules Rules;
        const char* Says; // empty: accepted
    } cases[] = {
        {Rules(1, 4, TCodeAlphabet::Letters), ""},
        {Rules(10000, 32, TCodeAlphabet::Both, "A", "B"), ""},
        {Rules(0, 8, TCodeAlphabet::Both), "from 1 to 10000"},
        {Rules(10001, 8, TCodeAlphabet::Both), "from 1 to 10000"},
        {Rules(5, 3, TCodeAlphabet::Both), "length must be from 4 to 32"},
        {Rules(5, 33, TCodeAlphabet::Both), "length must be from 4 to 32"},
        {Rules(5, 8, TCodeAlphabet::Both, "SPRING SALE"), "prefix cannot contain blanks"},
        {Rules(5, 8, TCodeAlphabet::Both, "", "\t"), "suffix cannot contain blanks"},
        {Rules(5, 8, TCodeAlphabet::Both, "A^"), "prefix cannot contain \"^\""},
        {Rules(5, 8, TCodeAlphabet::Both, std::string(250, 'P')), "longer than 255"},
        {Rules(1000, 4, TCodeAlphabet::Digits), "too few different codes"},
        {Rules(409, 4, TCodeAlphabet::Digits), ""}, // 8^4 = 4096 = 10 x 409.6
    };
    for (const auto& c : cases) {
        const auto problem = CodeRulesProblem(c.Rules);
        if (std::string(c.Says).empty()) {
            EXPECT_FALSE(problem) << *problem;
        } else {
            ASSERT_TRUE(problem) << c.Says;
            EXPECT_NE(problem->find(c.Says), std::string::npos) << *problem;
        }
    }
    EXPECT_EQ(CodeAlphabetFromWord(" Digits "), TCodeAlphabet::Digits);
    EXPECT_FALSE(CodeAlphabetFromWord("hex"));
}

TEST(BulkAddTest, EveryValueArrivesAsSentAndEachRowIsAnswered) {
    TBulkAddServer server(true, [](const std::vector<std::string>& f) {
        return f[1] == "bad" ? std::string("the coupon name is bad") : std::string();
    });
    server.Taken.insert("TAKEN");
    THTTPClient http;
    TCouponService service(http, [&] { return server.SiteURL(); });
    TCoupon tricky = Pattern();
    tricky.Code = "A%41\xe9";
    tricky.Comments = "50% off\r\nsecond\tline";
    tricky.OrderPage = "order.php?a=1%202";
    tricky.SetUsesText("3");
    TCoupon taken = Pattern(), bad = Pattern(), again = Pattern();
    taken.Code = "taken";
    bad.Code = "B1";
    bad.Name = "bad";
    again.Code = "a%41\xe9"; // the first code in another letter case
    const auto rows = service.AddCoupons({tricky, taken, bad, again});
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].State, TBulkRowState::Added);
    EXPECT_EQ(rows[0].Id, "1");
    EXPECT_EQ(rows[1].State, TBulkRowState::CodeExists);
    EXPECT_EQ(rows[2].State, TBulkRowState::Refused);
    EXPECT_EQ(rows[2].Reason, "the coupon name is bad");
    EXPECT_EQ(rows[3].State, TBulkRowState::CodeExists);
    EXPECT_FALSE(service.LastBulkFellBack());
    EXPECT_EQ(server.Actions(), std::vector<std::string>{"10"});
    EXPECT_EQ(server.Requests()[0].Field("coupcount"), "4");
    ASSERT_EQ(server.Stored.size(), 1u);
    EXPECT_EQ(server.Stored[0],
              (std::vector<std::string>{"A%41\xe9", "Spring sale", "0", "2", "30", "",
                                        "order.php?a=1%202", "50% off\r\nsecond\tline", "2026-12-9",
                                        "3"}));
}

TEST(BulkAddTest, LargeBatchesAreSplitAndAFailedRequestStopsTheRest) {
    TBulkAddServer server(true);
    THTTPClient http;
    TCouponService service(http, [&] { return server.SiteURL(); });
    std::vector<TCoupon> many(kBulkMaxRows + 5, Pattern());
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i].Code = "C" + std::to_string(i);
    std::vector<std::size_t> reported;
    const auto rows = service.AddCoupons(many, [&](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, many.size());
        reported.push_back(done);
        return true;
    });
    EXPECT_EQ(server.Actions(), (std::vector<std::string>{"10", "10"}));
    EXPECT_EQ(reported, (std::vector<std::size_t>{kBulkMaxRows, many.size()}));
    EXPECT_EQ(server.Stored.size(), many.size());
    EXPECT_EQ(rows.back().State, TBulkRowState::Added);

    // A server error: the request's coupons failed, nothing more is sent.
    testsupport::TCouponServiceScript broken([](const testsupport::TCouponRequest&) {
        return std::string("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 5\r\n"
                           "Connection: close\r\n\r\nERROR");
    });
    TCouponService failing(http, [&] { return broken.SiteURL(); });
    const auto failed = failing.AddCoupons(many);
    EXPECT_EQ(broken.Actions(), std::vector<std::string>{"10"});
    EXPECT_EQ(failed.front().State, TBulkRowState::Failed);
    EXPECT_NE(failed.front().Reason.find("500"), std::string::npos) << failed.front().Reason;
    EXPECT_EQ(failed.back().State, TBulkRowState::NotSent);
    EXPECT_EQ(failing.LastFailure().StatusCode, 500);
}

TEST(BulkAddTest, WithoutTheBulkActionEachCouponIsAddedAloneAndCanBeCancelled) {
    TBulkAddServer server(false, [](const std::vector<std::string>& f) {
        return f[0] == "C2" ? std::string("the order page is not allowed") : std::string();
    });
    server.Taken.insert("C1");
    THTTPClient http;
    TCouponService service(http, [&] { return server.SiteURL(); });
    std::vector<TCoupon> coupons(6, Pattern());
    for (std::size_t i = 0; i < coupons.size(); ++i)
        coupons[i].Code = "C" + std::to_string(i);
    const auto rows =
        service.AddCoupons(coupons, [](std::size_t done, std::size_t) { return done < 4; });
    EXPECT_TRUE(service.LastBulkFellBack());
    EXPECT_EQ(server.Actions(), (std::vector<std::string>{"10", "2", "2", "2", "2"}));
    const TBulkRowState expected[] = {TBulkRowState::Added,   TBulkRowState::CodeExists,
                                      TBulkRowState::Refused, TBulkRowState::Added,
                                      TBulkRowState::NotSent, TBulkRowState::NotSent};
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].State, expected[i]) << i;
    EXPECT_NE(rows[2].Reason.find("the order page is not allowed"), std::string::npos);
    EXPECT_EQ(server.Stored.size(), 2u);
}

TEST(BulkAddTest, ABatchDrawsTakenCodesAnewUntilEveryCouponIsAdded) {
    for (bool withBulk : {true, false}) {
        TBulkAddServer server(withBulk);
        THTTPClient http;
        TCouponService service(http, [&] { return server.SiteURL(); });
        TCodeRules rules = Rules(50, 4, TCodeAlphabet::Digits, "T");
        // 8^4 = 4096 codes; 1000 of them taken already, so some draws collide.
        std::set<std::string> taken;
        for (const auto& code :
             DrawCouponCodes(Rules(1000, 4, TCodeAlphabet::Digits, "T"), 1000, taken))
            server.Taken.insert(code);
        const std::set<std::string> before = server.Taken;
        const TBatchResult result = AddCouponBatch(service, Pattern(), rules);
        EXPECT_EQ(result.FellBack, !withBulk);
        EXPECT_FALSE(result.Cancelled);
        EXPECT_TRUE(result.NotAdded.empty());
        ASSERT_EQ(result.Added.size(), 50u);
        ASSERT_EQ(server.Stored.size(), 50u);
        std::set<std::string> codes;
        for (const auto& c : result.Added) {
            codes.insert(c.Code);
            EXPECT_EQ(before.count(c.Code), 0u) << c.Code;
            EXPECT_EQ(c.Name, "Spring sale");
        }
        EXPECT_EQ(codes.size(), 50u);
        // Some of the first draws were taken (all but certain with a quarter
        // of the codes in use), so a second round went out.
        if (withBulk)
            EXPECT_GE(server.Actions().size(), 2u);
        else
            EXPECT_GT(server.Actions().size(), 51u);
    }
}
