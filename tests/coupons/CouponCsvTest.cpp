// The one mapping between coupons and CSV rows: what an export writes reads
// back as the same coupon, and files or rows that cannot be added say why.
#include "coupons/CouponCsv.h"
#include "coupons/CouponInput.h"
#include "tests/support/CouponValues.h"

#include <gtest/gtest.h>

using namespace quillory;
using quillory::test::CouponOf;

TEST(CouponCsvTest, AnExportReadsBackAsTheSameCoupons) {
    const std::vector<TCoupon> coupons = {
        CouponOf("7", "=SUM(A1)", "Sale, \"half\" price", "1", "2", "-3", "2031-7-4",
                 "order.php?a=1,2", "@first\r\nsecond, third", "2025-3-1", "12"),
        CouponOf("8", "PLAIN", "+plus", "0", "", "1", "2030-1-1", "", "", "2025-3-1"),
        CouponOf("9", "X\xe9Y", "'=quoted", "0", "3", "1", "2030-12-31", "/order.html", "-",
                 "2026-1-2", "0"),
    };
    const std::string file = FormatCouponCsv(coupons);
    EXPECT_EQ(file.substr(0, file.find("\r\n")),
              "id,code,name,expired,expiry_type,days,expiry_date,order_page,comments,create_date,"
              "uses,status");
    EXPECT_NE(file.find("'=SUM(A1)"), std::string::npos); // no formula for a spreadsheet
    const auto rows = ReadCouponCsv(file, "backup.csv");
    ASSERT_EQ(rows.size(), coupons.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TCoupon& in = coupons[i];
        const TCouponCsvRow& row = rows[i];
        ASSERT_EQ(row.Problem, "") << i;
        EXPECT_EQ(row.Line, (std::vector<std::size_t>{2, 4, 5})[i]); // a comment has two lines
        EXPECT_EQ(row.Code, in.Code);
        const TCoupon& out = row.Coupon;
        EXPECT_EQ(out.Id, ""); // the service assigns ids
        EXPECT_EQ((std::vector<std::string>{out.Code, out.Name, out.ExpiredText(), out.ExpiryText(),
                                            out.DaysText(), out.ExpiryDateText(), out.OrderPage,
                                            out.Comments, out.CreateDate, out.UsesText()}),
                  (std::vector<std::string>{in.Code, in.Name, in.ExpiredText(), in.ExpiryText(),
                                            in.DaysText(), in.ExpiryDateText(), in.OrderPage,
                                            in.Comments, in.CreateDate, in.UsesText()}))
            << i;
    }
}

TEST(CouponCsvTest, FilesAndRowsThatCannotBeAddedSayWhy) {
    const struct {
        std::string Text;
        std::string Error;   // the whole file is refused with this, or
        std::string Problem; // the row on line 2 with this (empty: accepted)
    } cases[] = {
        {"", "in.csv is empty; it needs a header row.", ""},
        {"code,name,colour\r\nA,B,red\r\n", "Unknown column \"colour\" in the header row", ""},
        {"code,name,Code\r\n", "The column \"code\" appears twice in the header row.", ""},
        {"id,name\r\n1,B\r\n", "The header row needs the columns \"code\" and \"name\".", ""},
        {"code,name\r\n\"A,B\r\n", "in.csv, line 2: A quoted field is not closed.", ""},
        {"\xef\xbb\xbf"
         "CODE ; Name\r\nA;B\r\n",
         "", ""},
        {"code,name\r\nA,B,C\r\n", "", "it has 3 fields, the header row 2."},
        {"code,name\r\nA,\r\n", "", "Please provide a Coupon Name."},
        {"code,name,days\r\nA,B,abc\r\n", "", "The number of days must be a whole number"},
        {"code,name,expiry_date\r\nA,B,2024-02-30\r\n", "", "The expiry date must be a date"},
        {"code,name,expired\r\nA,B,maybe\r\n", "", "The expired flag must be 0 or 1"},
        {"code,name,order_page\r\nA,B,javascript:x\r\n", "", "The order page must be"},
        {"code,name,uses\r\nA,B,-1\r\n", "", "The use count must be a whole number"},
        {"code,name\r\nA B,n\r\n", "", "cannot contain blanks"},
        {"code,name\r\nA^,n\r\n", "", "cannot contain \"^\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        try {
            const auto rows = ReadCouponCsv(c.Text, "in.csv");
            EXPECT_EQ(c.Error, "") << "read";
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(rows[0].Line, 2u);
            if (c.Problem.empty())
                EXPECT_EQ(rows[0].Problem, "");
            else
                EXPECT_NE(rows[0].Problem.find(c.Problem), std::string::npos) << rows[0].Problem;
        } catch (const ECouponCsvError& e) {
            EXPECT_NE(c.Error, "") << e.what();
            EXPECT_NE(std::string(e.what()).find(c.Error), std::string::npos) << e.what();
        }
    }
    // Missing cells take the defaults.
    const auto rows = ReadCouponCsv("code,name\n  A1 ,Spring\n\n", "in.csv");
    ASSERT_EQ(rows.size(), 1u);
    const TCoupon& c = rows[0].Coupon;
    EXPECT_EQ(c.Code, "A1");
    EXPECT_EQ((std::vector<std::string>{c.ExpiredText(), c.ExpiryText(), c.DaysText(),
                                        c.ExpiryDateText(), c.CreateDate, c.UsesText()}),
              (std::vector<std::string>{"0", "1", "1", TodayYMD(), TodayYMD(), ""}));
}
