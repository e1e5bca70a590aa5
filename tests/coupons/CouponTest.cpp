// The coupon codec: typed fields read from the records of the list and
// written to the add and edit requests, byte for byte, odd values included.
#include "coupons/Coupon.h"
#include "coupons/CouponList.h"

#include <gtest/gtest.h>

#include <map>

using namespace quillory;

namespace {

// The request fields of `c` by name.
std::map<std::string, std::string> Sent(const TCoupon& c) {
    std::map<std::string, std::string> out;
    for (const auto& [name, value] : CouponRequestFields(c))
        out[name] = value;
    return out;
}

} // namespace

// Whatever the server holds goes back exactly as it came when the field was
// not changed; what the program cannot read stays empty in its typed field.
TEST(CouponCodec, ServerValuesSurviveADecodeAndAnEncodeUnchanged) {
    const struct {
        std::string Expired, Type, Days, Date; // as the record holds them
        bool WantExpired;
        TExpiryKind WantKind;
        bool DaysRead, DateRead;
    } cases[] = {
        {"1", "2", "14", "2031-7-4", true, TExpiryKind::ByDays, true, true},
        {"0", "", "0", "2030-1-1", false, TExpiryKind::None, true, true},
        {" 1 ", "3", "+5", "2024-01-05", true, TExpiryKind::ByDate, true, true},
        {"yes", "7", "abc", "2024-02-30", false, TExpiryKind::Other, false, false},
        {"", " 1", "", "", false, TExpiryKind::Other, false, false},
        {"0", "1", "99999999999", "2024-1", false, TExpiryKind::OneTimeUse, false, false},
        {"0", "one", "-3", "2024-1-2-9", false, TExpiryKind::Other, true, true},
    };
    for (const auto& c : cases) {
        const std::string reply = "\"9\",\"CODE\",\"Name, with comma\",\"" + c.Expired + "\",\"" +
                                  c.Type + "\",\"" + c.Days + "\",\"" + c.Date +
                                  "\",\"/order\",\"line 1\r\nline 2\",\"2020-02-03\"^OK";
        SCOPED_TRACE(reply);
        const std::vector<TCoupon> list = DecodeCouponList(reply);
        ASSERT_EQ(list.size(), 1u);
        TCoupon coupon = list[0];
        EXPECT_EQ(coupon.Expired, c.WantExpired);
        EXPECT_EQ(static_cast<int>(coupon.Expiry), static_cast<int>(c.WantKind));
        EXPECT_EQ(coupon.Days.has_value(), c.DaysRead);
        EXPECT_EQ(coupon.ExpiryDate.has_value(), c.DateRead);
        const std::map<std::string, std::string> want = {{"coupid", "9"},
                                                         {"coupcode", "CODE"},
                                                         {"coupname", "Name, with comma"},
                                                         {"coupexpired", c.Expired},
                                                         {"coupexpirtype", c.Type},
                                                         {"coupexpirdays", c.Days},
                                                         {"coupexpirdate", c.Date},
                                                         {"couponorderurl", "/order"},
                                                         {"couponcomments", "line 1\r\nline 2"},
                                                         {"coupcreatedate", "2020-02-03"}};
        EXPECT_EQ(Sent(coupon), want);

        // A changed field goes out in the program's own form; the others
        // stay as they came.
        coupon.Days = 30;
        coupon.ExpiryDate = EncodeDate(2031, 12, 1);
        coupon.Expired = !coupon.Expired;
        auto changed = want;
        changed["coupexpirdays"] = "30";
        changed["coupexpirdate"] = "2031-12-1";
        changed["coupexpired"] = coupon.Expired ? "1" : "0";
        EXPECT_EQ(Sent(coupon), changed);
        coupon.Expiry = TExpiryKind::ByDate;
        EXPECT_EQ(coupon.ExpiryText(), "3");
    }
}

TEST(CouponCodec, ANewCouponIsWrittenInThePlainForms) {
    TCoupon c;
    EXPECT_EQ(c.ExpiredText(), "0");
    EXPECT_EQ(c.ExpiryText(), "1");
    EXPECT_EQ(c.DaysText(), "1");
    EXPECT_EQ(c.ExpiryDateText(), "");
    c.Expired = true;
    c.Expiry = TExpiryKind::None;
    c.Days = -2;
    c.ExpiryDate = EncodeDate(2008, 6, 30);
    EXPECT_EQ(c.ExpiredText(), "1");
    EXPECT_EQ(c.ExpiryText(), "");
    EXPECT_EQ(c.DaysText(), "-2");
    EXPECT_EQ(c.ExpiryDateText(), "2008-6-30");
    // The same date read from another spelling keeps that spelling.
    c.SetExpiryDateText("2008-06-30");
    EXPECT_EQ(c.ExpiryDate, EncodeDate(2008, 6, 30));
    EXPECT_EQ(c.ExpiryDateText(), "2008-06-30");
}

// The coupon list keeps only what it shows and hands it out as a coupon.
TEST(CouponCodec, TheCouponListHandsOutItsRowsAsCoupons) {
    const TCouponList list(
        std::string("\" 7 \",\"AB\",\"Name\",\" "
                    "1\",\"3\",\"5\",\"2030-1-1\",\"/o\",\"c\"^\"8\",\"CD\",\"N\",\"0\"^OK"));
    ASSERT_EQ(list.Count(), 2u);
    const TCoupon first = list.Coupon(0);
    EXPECT_EQ(first.Id, "7");
    EXPECT_EQ(first.Code, "AB");
    EXPECT_EQ(first.Name, "Name");
    EXPECT_TRUE(first.Expired);
    const TCoupon second = list.Coupon(1);
    EXPECT_EQ(second.Id, "8");
    EXPECT_FALSE(second.Expired);
    EXPECT_EQ(second.OrderPage, "");
}
