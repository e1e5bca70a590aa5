// Reading coupons from CSV files, shared by quillory-cli import and the
// window's Import coupons…: files or rows that cannot be added say why, and
// missing cells take the defaults. (Export and import round trips run in
// the command line's and the window's tests.)
#include "coupons/CouponCsv.h"
#include "coupons/CouponInput.h"

#include <gtest/gtest.h>

using namespace quillory;

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
