#include "coupons/CouponRecord.h"

#include <gtest/gtest.h>

#include <set>

using namespace quillory;

TEST(CouponRecords, FieldsAreReadByPositionWithTheirQuoteRules) {
    const auto coupons =
        DecodeCouponList("\"4\",\"ABC\",\"Name\",\" 1 "
                         "\",\"3\",\"1\"5\",\"2008-6-30\",\"http://o\",\"c\",\"2008-1-1\"^"
                         "\"5\",\"DEF\",\"Other\",\"0\",\"\",\"0\",\"2009-1-1\",\"\",\"\"^OK");
    ASSERT_EQ(coupons.size(), 2u);
    const auto& c = coupons[0];
    EXPECT_EQ(c.Id, "4");
    EXPECT_EQ(c.Code, "ABC");
    EXPECT_EQ(c.Name, "Name");
    EXPECT_TRUE(c.Expired);
    EXPECT_EQ(c.ExpiryText(), "3");
    EXPECT_EQ(c.DaysText(), "15");
    EXPECT_EQ(c.ExpiryDateText(), "2008-6-30");
    EXPECT_EQ(c.OrderPage, "http://o");
    EXPECT_EQ(c.Comments, "c");
    EXPECT_EQ(c.CreateDate, "2008-1-1");
    EXPECT_FALSE(coupons[1].Expired);
    EXPECT_EQ(coupons[1].CreateDate, "");
}

TEST(CouponRecords, ExpiredFlagIgnoresQuotesAndBlanksOnly) {
    TCoupon c;
    for (const char* yes : {"1", " 1", "\"1\"", "\t1 \r"}) {
        c.SetExpiredText(yes);
        EXPECT_TRUE(c.Expired) << yes;
    }
    for (const char* no : {"0", "", "11", "true", "1x"}) {
        c.SetExpiredText(no);
        EXPECT_FALSE(c.Expired) << no;
    }
}

TEST(CouponRecords, ACouponListStopsAtARecordWithoutNineFields) {
    EXPECT_THROW(DecodeCouponList("\"1\",\"A\",\"B\",\"0\"^OK"), EListReplyError);
    EXPECT_THROW(CouponFromFields({"1", "2"}), EListReplyError);
}

TEST(RedemptionRecords, CodeDateAndAddressWithQuotesRemovedFromTheAddress) {
    const auto uses = DecodeRedemptionList(
        "\"1\",\"ABC\",\"2008-05-18 10:48:42\",\"10.0.\"0.1\"^\"2\",\"abc\",\"2008-05-19 "
        "00:00:00\",\"::1\"^OK");
    ASSERT_EQ(uses.size(), 2u);
    EXPECT_EQ(uses[0].Code, "ABC");
    EXPECT_EQ(uses[0].DateUsed, "2008-05-18 10:48:42");
    EXPECT_EQ(uses[0].ComputerIP, "10.0.0.1");
    EXPECT_EQ(uses[1].Code, "abc");
    EXPECT_EQ(uses[1].ComputerIP, "::1");
    EXPECT_THROW(DecodeRedemptionList("\"1\",\"ABC\",\"x\"^OK"), EListReplyError);
}

TEST(RandomCouponCodes, NPlusOneLettersFromAToY) {
    EXPECT_EQ(RandomCouponCode(5).size(), 6u);
    EXPECT_EQ(RandomCouponCode(0).size(), 1u);
    EXPECT_EQ(RandomCouponCode(-1), "");
    std::set<char> letters;
    std::set<std::string> codes;
    for (int i = 0; i < 500; ++i) {
        const std::string code = RandomCouponCode(5);
        ASSERT_EQ(code.size(), 6u);
        for (char ch : code) {
            ASSERT_GE(ch, 'A');
            ASSERT_LE(ch, 'Y');
            letters.insert(ch);
        }
        codes.insert(code);
    }
    // 3000 draws from 25 letters reach every one of them; reseeding from the
    // clock still gives different codes call after call.
    EXPECT_EQ(letters.size(), 25u);
    EXPECT_GT(codes.size(), 450u);
}

// A list asked for with details ends each record with the use count and the
// status; records of a server that sent none keep both empty.
TEST(CouponRecords, DetailsAreTheLastTwoFieldsWhenTheServerSentThem) {
    const std::string base = "\"4\",\"ABC\",\"N\",\"0\",\"1\",\"1\",\"2030-1-1\",\"/o\",\"c\"";
    const struct {
        std::string Tail;
        std::string CreateDate, Uses, Status;
    } cases[] = {
        {",\"2026-1-2\",\"3\",\"used up\"", "2026-1-2", "3", "used up"},
        {",\"2026-1-2\",\"0\",\"active\"", "2026-1-2", "0", "active"},
        {",\"0\",\"expired\"", "", "0", "expired"},
        // Not details: an unknown status, a count that is no number.
        {",\"2026-1-2\"", "2026-1-2", "", ""},
        {",\"2026-1-2\",\"3\",\"gone\"", "2026-1-2", "", ""},
        {",\"2026-1-2\",\"x\",\"active\"", "2026-1-2", "", ""},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        const std::string reply = base + c.Tail + "^OK";
        const auto list = DecodeCouponList(reply, true);
        // The record decoder reads them alike; without asking, nothing is details.
        const TCoupon one = CouponFromFields(DecodeListReply(reply).Records.at(0), true);
        ASSERT_EQ(list.size(), 1u) << c.Tail;
        for (const auto& got : {list[0], one}) {
            EXPECT_EQ(got.CreateDate, c.CreateDate) << c.Tail;
            EXPECT_EQ(got.Uses ? std::to_string(*got.Uses) : "", c.Uses) << c.Tail;
            EXPECT_EQ(got.Status, c.Status) << c.Tail;
        }
        EXPECT_FALSE(DecodeCouponList(reply)[0].Uses) << c.Tail;
    }
}

TEST(CouponRecords, CodesLoseSurroundingBlanksAndMayHoldNoneInside) {
    const struct {
        std::string Typed, Stored;
        bool BlankInside;
    } cases[] = {
        {" SAVE10 ", "SAVE10", false},
        {"\tSAVE10\r\n", "SAVE10", false},
        {"SAVE 10", "SAVE 10", true},
        {" SA\tVE ", "SA\tVE", true},
        {"A\177B", "A\177B", true},
        {"   ", "", false},
        {"caf\xc3\xa9", "caf\xc3\xa9", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrimCouponCode(c.Typed), c.Stored) << c.Typed;
        EXPECT_EQ(CouponCodeHasBlank(TrimCouponCode(c.Typed)), c.BlankInside) << c.Typed;
    }
}
