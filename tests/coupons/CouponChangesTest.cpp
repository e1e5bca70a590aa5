// Changing many coupons by id against an in-memory service: each change
// touches its one field and sends every other one back as the server holds
// it, whichever way the records are fetched; coupons gone, refused or cut
// off by a failed request are told apart; copies get fresh codes.
#include "coupons/CouponChanges.h"
#include "coupons/CouponInput.h"
#include "tests/support/BulkAddScript.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace quillory;
using quillory::testsupport::ListReplyOf;
using quillory::testsupport::TBulkAddServer;
using quillory::testsupport::TCouponRequest;
using quillory::testsupport::TCouponServiceScript;

namespace {

using TRow = std::vector<std::string>;

// A stored coupon (code to uses) with values the program cannot read: an
// expiry type "7", days "abc", a date that does not exist.
TRow OddRow(const std::string& code, const std::string& expired = "0") {
    return {code,
            "Sale, \"half\" price",
            expired,
            "7",
            "abc",
            "2024-02-30",
            "order.php?a=1,2",
            "Line one\r\nline two",
            "2025-3-1",
            "4"};
}

std::vector<std::string> Ids(std::size_t n) {
    std::vector<std::string> ids;
    for (std::size_t i = 1; i <= n; ++i)
        ids.push_back(std::to_string(i));
    return ids;
}

TCouponChange Change(TCouponChange::TKind kind, TDateTime date = 0) {
    TCouponChange c;
    c.Kind = kind;
    c.Date = date;
    return c;
}

} // namespace

TEST(CouponChangesTest, EachChangeSetsItsFieldAndKeepsEveryOtherByteForByte) {
    const struct {
        const char* What;
        TCouponChange Change;
        TRow Before, After;
        bool Sent;
    } cases[] = {
        {"mark",
         Change(TCouponChange::MarkExpired),
         OddRow("M"),
         {"M", "Sale, \"half\" price", "1", "7", "abc", "2024-02-30", "order.php?a=1,2",
          "Line one\r\nline two", "2025-3-1", "4"},
         true},
        {"clear a flag written with blanks",
         Change(TCouponChange::ClearExpired),
         OddRow("C", " 1 "),
         {"C", "Sale, \"half\" price", "0", "7", "abc", "2024-02-30", "order.php?a=1,2",
          "Line one\r\nline two", "2025-3-1", "4"},
         true},
        {"set the date",
         Change(TCouponChange::SetExpiryDate, EncodeDate(2027, 3, 5) + 0.75),
         OddRow("D", " 1 "),
         {"D", "Sale, \"half\" price", " 1 ", "3", "abc", "2027-3-5", "order.php?a=1,2",
          "Line one\r\nline two", "2025-3-1", "4"},
         true},
        {"a code with blanks around it loses them",
         Change(TCouponChange::MarkExpired),
         OddRow(" PAD\t"),
         {"PAD", "Sale, \"half\" price", "1", "7", "abc", "2024-02-30", "order.php?a=1,2",
          "Line one\r\nline two", "2025-3-1", "4"},
         true},
        {"already expired", Change(TCouponChange::MarkExpired), OddRow("A", "1"), OddRow("A", "1"),
         false},
        {"already not expired", Change(TCouponChange::ClearExpired), OddRow("N"), OddRow("N"),
         false},
        {"already that date",
         Change(TCouponChange::SetExpiryDate, EncodeDate(2030, 1, 2)),
         {"S", "n", "0", "3", "1", "2030-01-02", "", "", "2025-3-1", ""},
         {"S", "n", "0", "3", "1", "2030-01-02", "", "", "2025-3-1", ""},
         false},
    };
    // A few coupons are fetched one by one, many through the list.
    for (const std::size_t count : {std::size_t(1), kFetchOneByOneUpTo + 1}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.What) + ", " + std::to_string(count) + " coupon(s)");
            TBulkAddServer server(true);
            server.Stored.assign(count, c.Before);
            THTTPClient http;
            TCouponService service(http, [&] { return server.SiteURL(); });
            const TCouponsOutcome out = ChangeCoupons(service, Ids(count), c.Change);
            EXPECT_FALSE(out.Cancelled);
            EXPECT_EQ(out.Count(c.Sent ? TChangeState::Done : TChangeState::Unchanged), count);
            for (const auto& row : server.Stored)
                ASSERT_EQ(row, c.After);
            const auto actions = server.Actions();
            EXPECT_EQ(std::count(actions.begin(), actions.end(), "3"),
                      c.Sent ? static_cast<long>(count) : 0);
            EXPECT_EQ(std::count(actions.begin(), actions.end(), "9"),
                      count == 1 ? 1 : 0); // one by one
            EXPECT_EQ(std::count(actions.begin(), actions.end(), "5"), count == 1 ? 0 : 1);
        }
    }
}

TEST(CouponChangesTest, GoneRefusedFailedAndCancelledCouponsAreToldApart) {
    // Coupon 2 is refused by the server, 4 was deleted elsewhere; the
    // fourth edit request fails and nothing after it is sent.
    int edits = 0;
    TCouponServiceScript service([&](const TCouponRequest& r) -> std::string {
        const std::string id = r.Field("coupid");
        if (r.Action() == "9")
            return id == "4" ? "DON'T EXIST RECORD"
                             : ListReplyOf({{id, "C" + id, "n", "0", "1", "1", "2030-1-1", "", "",
                                             "2025-1-1"}});
        if (r.Action() == "3" && id == "2")
            return "HTTP/1.1 400 Bad Request\r\nContent-Length: 36\r\nConnection: close\r\n\r\n"
                   "ERROR: the order page is not allowed";
        if (r.Action() == "3" && ++edits == 3)
            return "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 37\r\n"
                   "Connection: close\r\n\r\nERROR: cannot connect to the database";
        return "OK";
    });
    THTTPClient http;
    TCouponService client(http, [&] { return service.SiteURL(); });
    const TCouponsOutcome out = ChangeCoupons(client, Ids(7), Change(TCouponChange::MarkExpired));
    const std::vector<TChangeState> expected = {
        TChangeState::Done,   TChangeState::Refused, TChangeState::Done,   TChangeState::Gone,
        TChangeState::Failed, TChangeState::NotSent, TChangeState::NotSent};
    ASSERT_EQ(out.Results.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(out.Results[i].State, expected[i]) << i << ": " << out.Results[i].Reason;
    EXPECT_EQ(out.Results[1].Reason, "ERROR: the order page is not allowed");
    EXPECT_NE(out.Results[4].Reason.find("cannot connect to the database"), std::string::npos)
        << out.Results[4].Reason;
    EXPECT_EQ(service.Actions(), (std::vector<std::string>{"9", "3", "9", "3", "9", "3", "9", "9",
                                                           "3"})); // nothing after the failure

    // Cancelled before the third coupon: the first two are changed, no more.
    TBulkAddServer fresh(true);
    for (const char* code : {"A", "B", "C", "D"})
        fresh.Stored.push_back(OddRow(code));
    TCouponService freshService(http, [&] { return fresh.SiteURL(); });
    const TCouponsOutcome cancelled =
        ChangeCoupons(freshService, Ids(4), Change(TCouponChange::MarkExpired),
                      [](std::size_t done, std::size_t) { return done < 2; });
    EXPECT_TRUE(cancelled.Cancelled);
    EXPECT_EQ(cancelled.Count(TChangeState::Done), 2u);
    EXPECT_EQ(cancelled.Count(TChangeState::NotSent), 2u);
    EXPECT_EQ(fresh.Stored[1][2], "1");
    EXPECT_EQ(fresh.Stored[2][2], "0");
}

TEST(CouponChangesTest, CopyCodesFollowTheOriginalsShape) {
    const struct {
        std::string Code, Prefix;
        int Length;
        TCodeAlphabet Alphabet;
    } cases[] = {
        {"SUMMER50", "", 8, TCodeAlphabet::Both},
        {"123456", "", 6, TCodeAlphabet::Digits},
        {"abc", "", 4, TCodeAlphabet::Letters},
        {"WIN-7KQ3PZ", "WIN-", 6, TCodeAlphabet::Both},
        {"SPRING_2026_ABCDE", "SPRING_2026_", 5, TCodeAlphabet::Letters},
        {"WIN-AB", "", 6, TCodeAlphabet::Both},      // too little after the "-"
        {"A^B-CDEFGH", "", 10, TCodeAlphabet::Both}, // no "^" in a drawn code's prefix
        {std::string(40, 'Q'), "", 32, TCodeAlphabet::Letters},
    };
    for (const auto& c : cases) {
        const TCodeRules r = CopyCodeRules(c.Code);
        EXPECT_EQ(r.Prefix, c.Prefix) << c.Code;
        EXPECT_EQ(r.Length, c.Length) << c.Code;
        EXPECT_EQ(r.Alphabet, c.Alphabet) << c.Code;
        EXPECT_FALSE(CodeRulesProblem(r)) << c.Code;
    }
}

TEST(CouponChangesTest, CopiesKeepEveryValueButCodeIdUsesAndCreateDate) {
    TBulkAddServer server(true);
    server.Stored = {OddRow("WIN-ABCDEF", "1"), OddRow("2468")};
    THTTPClient http;
    TCouponService service(http, [&] { return server.SiteURL(); });
    const TCouponsOutcome out = DuplicateCoupons(service, {"2", "9", "1"});
    ASSERT_EQ(out.Results.size(), 3u);
    EXPECT_EQ(out.Results[0].State, TChangeState::Done);
    EXPECT_EQ(out.Results[1].State, TChangeState::Gone);
    EXPECT_EQ(out.Results[2].State, TChangeState::Done);
    ASSERT_EQ(server.Stored.size(), 4u);
    EXPECT_EQ(server.Stored[0], OddRow("WIN-ABCDEF", "1")); // the originals stay
    EXPECT_EQ(server.Stored[1], OddRow("2468"));
    for (std::size_t k : {std::size_t(2), std::size_t(3)}) {
        const TRow& copy = server.Stored[k];
        const TRow& original = k == 2 ? server.Stored[1] : server.Stored[0];
        EXPECT_EQ(TRow(copy.begin() + 1, copy.begin() + 8),
                  TRow(original.begin() + 1, original.begin() + 8));
        EXPECT_EQ(copy[8], TodayYMD());
        EXPECT_EQ(copy[9], ""); // unused
        EXPECT_EQ(copy[0].size(), original[0].size());
        EXPECT_NE(copy[0], original[0]);
    }
    EXPECT_EQ(server.Stored[2][0].find_first_not_of("23456789"), std::string::npos);
    EXPECT_EQ(server.Stored[3][0].rfind("WIN-", 0), 0u);
    EXPECT_EQ(out.Coupons[2].Code, server.Stored[3][0]);
}
