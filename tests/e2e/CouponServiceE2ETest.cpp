// Every operation of the coupon client through the real HTTP client against
// the server script, on MariaDB and on SQLite; redemptions are posted the way
// a customer's browser posts the generated form.
#include "coupons/CouponRecord.h"
#include "coupons/CouponService.h"
#include "tests/e2e/E2EBackends.h"
#include "tests/support/CouponValues.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <regex>
#include <thread>

using namespace quillory;
using quillory::test::CouponOf;
using namespace quillory::e2e;

namespace {

const std::string kOrderPage = "http://shop.example/order.php?item=7";

class CouponServiceE2E : public TServiceE2ETest {
protected:
    TCouponResult Add(const std::string& code, const std::string& type = "1",
                      const std::string& days = "0", const std::string& date = "2099-12-31",
                      const std::string& created = ServerDate(), const std::string& expired = "0") {
        return service->AddCoupon(CouponOf("", code, "Coupon " + code, expired, type, days, date,
                                           kOrderPage, "", created));
    }

    std::vector<TCoupon> List() { return ListCoupons(*service); }

    std::string IdOf(const std::string& code) {
        for (const auto& c : List())
            if (c.Code == code)
                return c.Id;
        ADD_FAILURE() << "no coupon " << code;
        return {};
    }

    std::vector<TRedemptionRecord> Statistics() {
        std::vector<TRedemptionRecord> out;
        EXPECT_TRUE(service->LoadStatistics([&](const std::string& reply) {
            out = DecodeRedemptionList(reply);
        })) << service->LastReply();
        return out;
    }

    // The generated form as a browser submits it.
    THttpReply Redeem(const std::string& code) {
        return HttpPost(backend->Php.Port, "/couponsactions.php",
                        "application/x-www-form-urlencoded",
                        "coupcode=" + UrlEncode(code) + "&action=7&send=Submit");
    }
    bool Redeemed(const std::string& code) {
        const THttpReply r = Redeem(code);
        EXPECT_EQ(r.Status, 303) << r.Head << r.Body;
        const std::string to = r.Header("Location");
        EXPECT_TRUE(to == kOrderPage || to == backend->Settings.InvalidPage) << to;
        return to == kOrderPage;
    }
};

} // namespace

TEST_P(CouponServiceE2E, ServiceIsReady) {
    EXPECT_TRUE(service->CheckService()) << service->LastReply() << service->LastError();
    EXPECT_EQ(service->LastReply(), "OK");
}

TEST_P(CouponServiceE2E, AddedCouponIsListedAndItsCodeCannotBeAddedAgainInAnyCase) {
    EXPECT_EQ(service->AddCoupon(CouponOf("", "SPRING", "Spring sale", "0", "2", "30", "2030-6-1",
                                          kOrderPage, "first", "2026-3-4")),
              TCouponResult::Done);
    EXPECT_EQ(Add("SPRING"), TCouponResult::CodeExists);
    EXPECT_EQ(Add("spring"), TCouponResult::CodeExists);
    const auto list = List();
    ASSERT_EQ(list.size(), 1u);
    const TCoupon& c = list[0];
    EXPECT_FALSE(c.Id.empty());
    EXPECT_EQ(c.Code, "SPRING");
    EXPECT_EQ(c.Name, "Spring sale");
    EXPECT_FALSE(c.Expired);
    EXPECT_EQ(c.ExpiryText(), "2");
    EXPECT_EQ(c.DaysText(), "30");
    EXPECT_EQ(c.ExpiryDateText(), "2030-6-1");
    EXPECT_EQ(c.OrderPage, kOrderPage);
    EXPECT_EQ(c.Comments, "first");
    EXPECT_EQ(c.CreateDate, "2026-3-4");
}

TEST_P(CouponServiceE2E, GetReturnsTheRecordOrNothing) {
    ASSERT_EQ(Add("GETME", "3", "0", "2031-2-3"), TCouponResult::Done);
    const std::string id = IdOf("GETME");
    std::string record;
    ASSERT_TRUE(service->GetCoupon(id, record)) << service->LastReply();
    const auto coupons = DecodeCouponList(record);
    ASSERT_EQ(coupons.size(), 1u);
    EXPECT_EQ(coupons[0].Id, id);
    EXPECT_EQ(coupons[0].Code, "GETME");
    EXPECT_EQ(coupons[0].ExpiryDateText(), "2031-2-3");

    std::string missing = "untouched";
    EXPECT_FALSE(service->GetCoupon("987654", missing));
    EXPECT_FALSE(service->GetCoupon("not-a-number", missing));
}

TEST_P(CouponServiceE2E, EditReplacesTheFieldsAndReportsAMissingCoupon) {
    ASSERT_EQ(Add("EDITME"), TCouponResult::Done);
    ASSERT_EQ(Add("OTHER"), TCouponResult::Done);
    const std::string id = IdOf("EDITME");
    EXPECT_EQ(service->EditCoupon(CouponOf(id, "EDITED", "New name", "1", "3", "5", "2032-1-2",
                                           "http://x.example/", "changed", ServerDate())),
              TCouponResult::Done);
    // The same values again still count as done.
    EXPECT_EQ(service->EditCoupon(CouponOf(id, "EDITED", "New name", "1", "3", "5", "2032-1-2",
                                           "http://x.example/", "changed", ServerDate())),
              TCouponResult::Done);
    std::string record;
    ASSERT_TRUE(service->GetCoupon(id, record));
    const TCoupon c = DecodeCouponList(record).at(0);
    EXPECT_EQ(c.Code, "EDITED");
    EXPECT_EQ(c.Name, "New name");
    EXPECT_TRUE(c.Expired);
    EXPECT_EQ(c.ExpiryText(), "3");
    EXPECT_EQ(c.DaysText(), "5");
    EXPECT_EQ(c.ExpiryDateText(), "2032-1-2");
    EXPECT_EQ(c.OrderPage, "http://x.example/");
    EXPECT_EQ(c.Comments, "changed");

    // Taking another coupon's code is refused (not done, not "missing").
    EXPECT_EQ(
        service->EditCoupon(CouponOf(id, "other", "n", "0", "1", "0", "2032-1-2", "", "", "")),
        TCouponResult::Failed);

    ASSERT_TRUE(service->DeleteCoupons(id));
    EXPECT_EQ(
        service->EditCoupon(CouponOf(id, "EDITED", "n", "0", "1", "0", "2032-1-2", "", "", "")),
        TCouponResult::NoSuchCoupon);
}

TEST_P(CouponServiceE2E, CodeExistsIgnoresLetterCase) {
    ASSERT_EQ(Add("TAKEN"), TCouponResult::Done);
    EXPECT_TRUE(service->CouponCodeExists("TAKEN"));
    EXPECT_TRUE(service->CouponCodeExists("taken"));
    EXPECT_FALSE(service->CouponCodeExists("FREE"));
    EXPECT_EQ(service->LastReply(), "DON'T EXIST RECORD");
    const auto code = GenerateCouponCode(*service, 50);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(code->size(), 6u);
}

TEST_P(CouponServiceE2E, DeleteRemovesTheListedCouponsOrAll) {
    ASSERT_EQ(Add("ONE"), TCouponResult::Done);
    ASSERT_EQ(Add("TWO"), TCouponResult::Done);
    ASSERT_EQ(Add("THREE"), TCouponResult::Done);
    EXPECT_TRUE(service->DeleteCoupons(IdOf("ONE") + "," + IdOf("THREE")));
    auto list = List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Code, "TWO");
    EXPECT_FALSE(service->DeleteCoupons("1, 2"));
    EXPECT_TRUE(service->DeleteCoupons("all"));
    EXPECT_TRUE(List().empty());
    EXPECT_EQ(service->LastReply(), "OK");
}

TEST_P(CouponServiceE2E, ValuesComeBackByteForByte) {
    const std::vector<std::string> names = {
        "Say \"hello\" to 50% off",
        "'; DROP TABLE coupons; --",
        "commas, everywhere, ,",
        std::string("caf\xe9 \xff\x80 bytes"),
        "UTF-8 \xc3\xa9t\xc3\xa9 \xe2\x82\xac",
        "%41%00 %% \\ $name {$x}",
    };
    const std::string comments = "line one\r\nline two, with comma\nthird \"quoted\" line";
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string code = "BYTES" + std::to_string(i) + "'\"%,";
        ASSERT_EQ(service->AddCoupon(CouponOf("", code, names[i], "0", "1", "0", "2030-1-1",
                                              kOrderPage + "&q=a%20b,c", comments + names[i], "")),
                  TCouponResult::Done)
            << names[i] << " " << service->LastReply();
    }
    const auto list = List();
    ASSERT_EQ(list.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(list[i].Code, "BYTES" + std::to_string(i) + "'\"%,");
        EXPECT_EQ(list[i].Name, names[i]);
        EXPECT_EQ(list[i].OrderPage, kOrderPage + "&q=a%20b,c");
        EXPECT_EQ(list[i].Comments, comments + names[i]);
        std::string record;
        ASSERT_TRUE(service->GetCoupon(list[i].Id, record));
        EXPECT_EQ(DecodeCouponList(record).at(0).Name, names[i]);
        EXPECT_TRUE(service->CouponCodeExists(list[i].Code));
    }
    // The tables survived the text that looks like SQL.
    EXPECT_TRUE(service->CheckService());
}

TEST_P(CouponServiceE2E, RedemptionRedirectsAndIsListedInTheStatistics) {
    ASSERT_EQ(Add("REDEEM", "3", "0", ServerDate(30)), TCouponResult::Done);
    const THttpReply r = Redeem("redeem"); // matched without regard to case
    EXPECT_EQ(r.Status, 303);
    EXPECT_EQ(r.Header("Location"), kOrderPage);
    EXPECT_FALSE(Redeemed("NOSUCHCODE"));
    EXPECT_FALSE(Redeemed(""));

    const auto uses = Statistics();
    ASSERT_EQ(uses.size(), 1u);
    EXPECT_EQ(uses[0].Code, "redeem");
    EXPECT_TRUE(std::regex_match(uses[0].DateUsed, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")))
        << uses[0].DateUsed;
    EXPECT_EQ(uses[0].ComputerIP, "127.0.0.1");
}

TEST_P(CouponServiceE2E, ExpiryRulesDecideWhetherACodeIsAccepted) {
    ASSERT_EQ(Add("FLAGGED", "3", "0", ServerDate(30), ServerDate(), "1"), TCouponResult::Done);
    ASSERT_EQ(Add("DATEPAST", "3", "0", ServerDate(-1)), TCouponResult::Done);
    ASSERT_EQ(Add("DATETODAY", "3", "0", ServerDate()), TCouponResult::Done);
    ASSERT_EQ(Add("DAYSLEFT", "2", "3", "", ServerDate(-2)), TCouponResult::Done);
    ASSERT_EQ(Add("DAYSOVER", "2", "3", "", ServerDate(-3)), TCouponResult::Done);
    ASSERT_EQ(Add("DAYSZERO", "2", "0", "", ServerDate()), TCouponResult::Done);
    ASSERT_EQ(Add("NOTYPE", "", "0", ""), TCouponResult::Done);
    EXPECT_FALSE(Redeemed("FLAGGED"));
    EXPECT_FALSE(Redeemed("DATEPAST"));
    EXPECT_TRUE(Redeemed("DATETODAY"));
    EXPECT_TRUE(Redeemed("DAYSLEFT"));
    EXPECT_FALSE(Redeemed("DAYSOVER"));
    EXPECT_FALSE(Redeemed("DAYSZERO"));
    EXPECT_TRUE(Redeemed("NOTYPE"));
    EXPECT_TRUE(Redeemed("NOTYPE"));
    EXPECT_EQ(Statistics().size(), 4u);
}

TEST_P(CouponServiceE2E, OneTimeUseCodeRedeemedConcurrentlySucceedsExactlyOnce) {
    ASSERT_EQ(Add("ONCE", "1"), TCouponResult::Done);
    constexpr int kCustomers = 20;
    std::atomic<int> accepted{0}, refused{0}, other{0};
    std::vector<std::string> outcomes(kCustomers);
    std::vector<std::thread> customers;
    std::latch ready(kCustomers); // every customer posts at the same moment
    for (int i = 0; i < kCustomers; ++i) {
        customers.emplace_back([&, i] {
            ready.arrive_and_wait();
            try {
                const THttpReply r = Redeem("ONCE");
                const std::string to = r.Header("Location");
                if (to == kOrderPage)
                    ++accepted;
                else if (to == backend->Settings.InvalidPage)
                    ++refused;
                else
                    ++other;
                outcomes[static_cast<std::size_t>(i)] = r.Head + r.Body;
            } catch (const std::exception& e) {
                ++other;
                outcomes[static_cast<std::size_t>(i)] = e.what();
            }
        });
    }
    for (auto& t : customers)
        t.join();
    for (const auto& o : outcomes)
        SCOPED_TRACE(o);
    if (other.load() != 0)
        for (const auto& o : outcomes)
            ADD_FAILURE() << o;
    EXPECT_EQ(accepted.load(), 1);
    EXPECT_EQ(refused.load(), kCustomers - 1);
    EXPECT_EQ(other.load(), 0);
    EXPECT_EQ(Statistics().size(), 1u);
    EXPECT_FALSE(Redeemed("once"));
}

TEST_P(CouponServiceE2E, DeletingCouponsRemovesTheirRedemptions) {
    ASSERT_EQ(Add("KEEP", "3", "0", ServerDate(5)), TCouponResult::Done);
    ASSERT_EQ(Add("DROP", "3", "0", ServerDate(5)), TCouponResult::Done);
    ASSERT_TRUE(Redeemed("KEEP"));
    ASSERT_TRUE(Redeemed("DROP"));
    ASSERT_TRUE(Redeemed("DROP"));
    ASSERT_EQ(Statistics().size(), 3u);
    ASSERT_TRUE(service->DeleteCoupons(IdOf("DROP")));
    const auto uses = Statistics();
    ASSERT_EQ(uses.size(), 1u);
    EXPECT_EQ(uses[0].Code, "KEEP");
    ASSERT_TRUE(service->DeleteCoupons("all"));
    EXPECT_TRUE(Statistics().empty());
    EXPECT_EQ(service->LastReply(), "OK");
}

TEST_P(CouponServiceE2E, ValuesTheListCannotCarryAreRefused) {
    EXPECT_EQ(service->AddCoupon(CouponOf("", "HAT^", "n", "0", "1", "0", "", "", "", "")),
              TCouponResult::Failed);
    EXPECT_EQ(service->AddCoupon(CouponOf("", "SEP", "a\",\"b", "0", "1", "0", "", "", "", "")),
              TCouponResult::Failed);
    EXPECT_EQ(service->AddCoupon(CouponOf("", "", "no code", "0", "1", "0", "", "", "", "")),
              TCouponResult::Failed);
    EXPECT_TRUE(List().empty());
}

// The tables the script creates on first use are those of schema.sql.
TEST(CouponServerSchema, TablesCreatedOnFirstUseMatchSchemaFile) {
    TBackend& b = Backend("MariaDB");
    TMariaDbServer& db = *b.Database;
    db.Sql("CREATE DATABASE IF NOT EXISTS fresh_coupons; GRANT ALL ON fresh_coupons.* TO '" +
           db.User + "'@'127.0.0.1';");
    TServerSettings settings = b.Settings;
    settings.Database = "fresh_coupons";
    TPhpCouponServer php;
    php.Start(MakeScratchDir("fresh"), settings, 1);
    THTTPClient http;
    const std::string site = php.SiteURL();
    TCouponService service(http, [&] { return site; });
    ASSERT_TRUE(service.CheckService()) << service.LastReply();
    for (const char* table :
         {"coupons", "redemptions", "redemption_failures", "login_failures", "used_passes"}) {
        const std::string show = std::string("SHOW CREATE TABLE ") + table;
        auto definition = [&](const std::string& database) {
            // The AUTO_INCREMENT counter differs with the rows added so far.
            return std::regex_replace(db.Query(show, database), std::regex(" AUTO_INCREMENT=\\d+"),
                                      "");
        };
        const std::string created = definition("fresh_coupons");
        EXPECT_NE(created.find(" varbinary("), std::string::npos) << created;
        EXPECT_EQ(created, definition(db.Database)) << table;
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, CouponServiceE2E, ::testing::Values("MariaDB", "SQLite"),
                         [](const auto& info) { return info.param; });
