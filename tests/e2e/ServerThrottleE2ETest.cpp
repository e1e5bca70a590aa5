// The server script's defences that count per client address, and the
// checks on what is stored, on MariaDB and on SQLite: failed admin logins
// throttled, failed redemptions counted atomically even under a burst of
// simultaneous guesses, a throttled customer told to come back later, a
// half-set admin configuration refused, codes matched without the blanks
// around them, and order pages relative to the script's folder.
#include "coupons/CouponRecord.h"
#include "coupons/CouponService.h"
#include "platform/FileSystem.h"
#include "tests/e2e/E2EBackends.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <latch>
#include <mutex>
#include <thread>

using namespace quillory;
using namespace quillory::e2e;

namespace {

const std::string kOrderPage = "http://shop.example/order.php?item=9";
const std::string kScript = "/couponsactions.php";
const std::string kForm = "application/x-www-form-urlencoded";

// How the script answered one redemption.
enum class TOutcome { OrderPage, InvalidPage, TryLater, Other };

// How many replies of a burst came out each way; Other holds whatever else
// came back, for the failure message.
struct TBurstCount {
    int OrderPage = 0;
    int InvalidPage = 0;
    int TryLater = 0;
    int Unauthorized = 0;
    int Ok = 0;
    std::vector<std::string> Other;
};

class ServerThrottleE2E : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        backend = &Backend(GetParam());
        site = backend->Php.SiteURL();
        service = std::make_unique<TCouponService>(http, [this] { return site; });
        ASSERT_TRUE(service->DeleteCoupons("all")) << service->LastReply() << service->LastError();
    }

    int Add(const std::string& code, const std::string& type = "3",
            const std::string& orderPage = kOrderPage) {
        return service->AddCoupon("", code, "Coupon " + code, "0", type, "0", ServerDate(30),
                                  orderPage, "", ServerDate());
    }

    std::string Authorization(bool right) const {
        return "Authorization: " +
               BasicAuthorization(backend->Settings.AdminUser,
                                  right ? backend->Settings.AdminPassword : "guess") +
               "\r\n";
    }

    THttpReply Redeem(const std::string& code, const std::string& from) {
        return HttpPost(backend->Php.Port, kScript, kForm,
                        "coupcode=" + UrlEncode(code) + "&action=7&send=Submit", 60000ms, from);
    }

    TOutcome Classify(const THttpReply& r, const std::string& orderPage = kOrderPage) const {
        if (r.Status == 303 && r.Header("Location") == orderPage)
            return TOutcome::OrderPage;
        if (r.Status == 303 && r.Header("Location") == backend->Settings.InvalidPage)
            return TOutcome::InvalidPage;
        if (r.Status == 429)
            return TOutcome::TryLater;
        return TOutcome::Other;
    }

    // A server on the same database that holds each count of failures a
    // moment before recording it: a count that is not one step with its
    // record lets simultaneous requests through, every time rather than by
    // chance. Started on first use.
    int PausedPort() {
        if (!paused) {
            TServerSettings settings = backend->Settings;
            settings.Script = SettingsScript(settings);
            settings.Script.insert(settings.Script.rfind("?>"), "  $throttlepause = 30;\r\n");
            paused = std::make_unique<TPhpCouponServer>();
            paused->Start(MakeScratchDir(GetParam() + "-paused"), settings, 8);
        }
        return paused->Port;
    }

    // `n` requests posted at the same moment from `from` to the paused
    // server, one connection each, with `body(i)` and `header`.
    TBurstCount Burst(int n, const std::function<std::string(int)>& body, const std::string& from,
                      const std::string& header = {}) {
        const int port = PausedPort();
        TBurstCount count;
        std::mutex lock;
        std::latch ready(n);
        std::vector<std::thread> clients;
        for (int i = 0; i < n; ++i) {
            clients.emplace_back([&, i] {
                ready.arrive_and_wait();
                std::string odd;
                int* slot = nullptr;
                try {
                    const THttpReply r =
                        HttpPost(port, kScript, kForm, body(i), 60000ms, from, header);
                    odd = r.Head + r.Body;
                    switch (Classify(r)) {
                    case TOutcome::OrderPage:
                        slot = &count.OrderPage;
                        break;
                    case TOutcome::InvalidPage:
                        slot = &count.InvalidPage;
                        break;
                    case TOutcome::TryLater:
                        slot = &count.TryLater;
                        break;
                    case TOutcome::Other:
                        slot = r.Status == 401                     ? &count.Unauthorized
                               : r.Status == 200 && r.Body == "OK" ? &count.Ok
                                                                   : nullptr;
                        break;
                    }
                } catch (const std::exception& e) {
                    odd = e.what();
                }
                std::lock_guard<std::mutex> hold(lock);
                if (slot)
                    ++*slot;
                else
                    count.Other.push_back(odd);
            });
        }
        for (auto& t : clients)
            t.join();
        return count;
    }

    std::string Count(const std::string& table, const std::string& where = "1 = 1") {
        return QueryValue(*backend, "SELECT COUNT(*) FROM " + table + " WHERE " + where);
    }

    TBackend* backend = nullptr;
    std::string site;
    THTTPClient http;
    std::unique_ptr<TCouponService> service;
    std::unique_ptr<TPhpCouponServer> paused;
};

// "Retry-After" holds whole seconds within the ten-minute window.
void ExpectRetryAfter(const THttpReply& r) {
    const std::string value = r.Header("Retry-After");
    ASSERT_FALSE(value.empty()) << r.Head;
    ASSERT_EQ(value.find_first_not_of("0123456789"), std::string::npos) << value;
    const long seconds = std::stol(value);
    EXPECT_GE(seconds, 1);
    EXPECT_LE(seconds, 600);
}

} // namespace

// Ten failed logins from one address lock that address out of the admin
// actions, right password included, before any password is checked;
// successful logins never count, and other addresses go on working.
TEST_P(ServerThrottleE2E, FailedAdminLoginsLockOutTheirAddress) {
    enum class TAuth { Right, Wrong, None };
    struct Step {
        std::string What;
        std::string From;
        TAuth Auth;
        int Times;
        int Status;
    };
    const std::string office = "127.0.0.21";
    const std::string elsewhere = "127.0.0.22";
    const std::vector<Step> steps = {
        {"successes do not count", office, TAuth::Right, 12, 200},
        {"nine failures", office, TAuth::Wrong, 9, 401},
        {"a success between them", office, TAuth::Right, 1, 200},
        {"the tenth failure", office, TAuth::Wrong, 1, 401},
        {"then refused unchecked", office, TAuth::Wrong, 3, 429},
        {"even with the right password", office, TAuth::Right, 2, 429},
        {"no credentials: still asked for them", office, TAuth::None, 1, 401},
        {"another address is not locked out", elsewhere, TAuth::Right, 1, 200},
        {"and has failures of its own", elsewhere, TAuth::Wrong, 10, 401},
        {"until it is locked out too", elsewhere, TAuth::Right, 1, 429},
    };
    for (const auto& step : steps) {
        for (int i = 0; i < step.Times; ++i) {
            SCOPED_TRACE(step.What + " #" + std::to_string(i));
            const std::string header =
                step.Auth == TAuth::None ? std::string() : Authorization(step.Auth == TAuth::Right);
            const THttpReply r =
                HttpPost(backend->Php.Port, kScript, kForm, "action=1", 30000ms, step.From, header);
            ASSERT_EQ(r.Status, step.Status) << r.Head << r.Body;
            if (step.Status == 200) {
                EXPECT_EQ(r.Body, "OK");
            } else if (step.Status == 429) {
                ExpectRetryAfter(r);
                EXPECT_EQ(r.Body.rfind("ERROR: too many failed logins from your address", 0), 0u)
                    << r.Body;
                EXPECT_EQ(r.Body.find("OK"), std::string::npos) << r.Body;
            }
        }
    }
    // Refused attempts are not recorded: each address holds its ten failures.
    EXPECT_EQ(Count("login_failures", "ip = '" + office + "'"), "10");
    EXPECT_EQ(Count("login_failures", "ip = '" + elsewhere + "'"), "10");

    // Simultaneous guesses get no more password checks than the limit.
    const std::string burst = "127.0.0.23";
    const TBurstCount count = Burst(
        40, [](int) { return std::string("action=1"); }, burst, Authorization(false));
    for (const auto& odd : count.Other)
        ADD_FAILURE() << "unexpected reply: " << odd;
    EXPECT_EQ(count.Unauthorized, 10);
    EXPECT_EQ(count.TryLater, 30);
    EXPECT_EQ(Count("login_failures", "ip = '" + burst + "'"), "10");

    // Once the window has passed the address is let in again.
    RunSql(*backend, "UPDATE login_failures SET failed_at = failed_at - 601");
    const THttpReply r = HttpPost(backend->Php.Port, kScript, kForm, "action=5", 30000ms, office,
                                  Authorization(true));
    EXPECT_EQ(r.Status, 200) << r.Body;
    EXPECT_EQ(r.Body, "OK");
}

// A burst of simultaneous redemptions from one address: wrong guesses get no
// more lookups than the limit, right codes are never held back, and the
// losers of a one time use race are not taken for guessers.
TEST_P(ServerThrottleE2E, SimultaneousRedemptionsCountFailuresAtomically) {
    ASSERT_EQ(Add("RIGHTCODE"), 1);
    ASSERT_EQ(Add("ONLYONCE", "1"), 1);
    struct Case {
        std::string What;
        std::string From;
        std::vector<std::string> Codes;
        int OrderPage;
        int InvalidPage;
        int TryLater;
        int Failures; // rows left for the address
    };
    auto many = [](const std::string& prefix, int n, bool numbered) {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i)
            out.push_back(numbered ? prefix + std::to_string(i) : prefix);
        return out;
    };
    const std::vector<Case> cases = {
        {"200 wrong guesses", "127.0.0.31", many("GUESS", 200, true), 0, 20, 180, 20},
        {"40 right codes", "127.0.0.32", many("rightcode", 40, false), 40, 0, 0, 0},
        {"30 customers and one one-time code", "127.0.0.33", many("ONLYONCE", 30, false), 1, 29, 0,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const TBurstCount count = Burst(
            static_cast<int>(c.Codes.size()),
            [&](int i) {
                return "coupcode=" + UrlEncode(c.Codes[static_cast<std::size_t>(i)]) +
                       "&action=7&send=Submit";
            },
            c.From);
        for (const auto& odd : count.Other)
            ADD_FAILURE() << "unexpected reply: " << odd;
        EXPECT_EQ(count.OrderPage, c.OrderPage);
        EXPECT_EQ(count.InvalidPage, c.InvalidPage);
        EXPECT_EQ(count.TryLater, c.TryLater);
        EXPECT_EQ(Count("redemption_failures", "ip = '" + c.From + "'"),
                  std::to_string(c.Failures));
    }
    // Only the codes that were looked up were used: 40 + 1.
    EXPECT_EQ(Count("redemptions"), "41");
}

// A throttled customer is told to try again later, with a right code too,
// instead of being sent to the invalid page without a word.
TEST_P(ServerThrottleE2E, ThrottledCustomerSeesATryAgainLaterPage) {
    ASSERT_EQ(Add("OFFICE"), 1);
    const std::string office = "127.0.0.41";
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(Classify(Redeem("WRONG" + std::to_string(i), office)), TOutcome::InvalidPage)
            << i;
    struct Case {
        std::string What;
        std::string Code;
        std::string From;
        TOutcome Expected;
    };
    const std::vector<Case> cases = {
        {"a right code from the office", "OFFICE", office, TOutcome::TryLater},
        {"a wrong code from the office", "WRONG", office, TOutcome::TryLater},
        {"an empty code from the office", "", office, TOutcome::TryLater},
        {"a right code from elsewhere", "office", "127.0.0.42", TOutcome::OrderPage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const THttpReply r = Redeem(c.Code, c.From);
        ASSERT_EQ(Classify(r), c.Expected) << r.Head << r.Body;
        if (c.Expected != TOutcome::TryLater)
            continue;
        ExpectRetryAfter(r);
        EXPECT_EQ(r.Header("Location"), "");
        EXPECT_EQ(r.Header("Content-Type").rfind("text/html", 0), 0u) << r.Head;
        EXPECT_NE(r.Body.find("Please try again in "), std::string::npos) << r.Body;
        EXPECT_NE(r.Body.find(" minutes."), std::string::npos) << r.Body;
    }
    EXPECT_EQ(Count("redemption_failures", "ip = '" + office + "'"), "20");
    EXPECT_EQ(Count("redemptions"), "1");
}

// Admin credentials set in part, or with a hash that cannot be checked, lock
// the admin actions with 403 and what to do, whatever $allowopenadmin says;
// only no credentials at all and $allowopenadmin open them.
TEST_P(ServerThrottleE2E, AdminSettingsThatCannotBeCheckedLockTheService) {
    const std::string right = PhpPasswordHash(backend->Settings.AdminPassword);
    struct Case {
        std::string What;
        std::string User;
        std::string Hash;
        bool AllowOpen;
        int Status;
        std::string Reason;
    };
    const std::vector<Case> cases = {
        {"user with an empty hash, opened", "seller", "", true, 403, "$adminhash is empty"},
        {"user with an empty hash", "seller", "", false, 403, "$adminhash is empty"},
        {"a plain password for a hash", "seller", backend->Settings.AdminPassword, true, 403,
         "$adminhash is not a bcrypt password hash"},
        {"a hash cut short", "seller", right.substr(0, 40), true, 403,
         "$adminhash is not a bcrypt password hash"},
        {"a hash without a user", "", right, true, 403, "$adminuser is empty"},
        {"nothing set", "", "", false, 403, "the coupon service is locked. Set"},
        {"nothing set, opened on purpose", "", "", true, 200, ""},
        {"user and hash", "seller", right, false, 200, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TServerSettings settings = backend->Settings;
        settings.AdminUser.clear(); // the lines below instead
        std::string script = SettingsScript(settings);
        std::string lines = "  $adminuser=" + PhpString(c.User) +
                            ";\r\n  $adminhash=" + PhpString(c.Hash) + ";\r\n";
        if (c.AllowOpen)
            lines += "  $allowopenadmin = true;\r\n";
        settings.Script = script.insert(script.rfind("?>"), lines);
        TPhpCouponServer php;
        php.Start(MakeScratchDir(GetParam() + "-admin-settings"), settings, 1);
        // Sent with the right credentials: they cannot open a locked service.
        const THttpReply r =
            HttpPost(php.Port, kScript, kForm, "action=1", 30000ms, {}, Authorization(true));
        EXPECT_EQ(r.Status, c.Status) << r.Body;
        if (c.Status == 200) {
            EXPECT_EQ(r.Body, "OK");
            continue;
        }
        EXPECT_NE(r.Body.find(c.Reason), std::string::npos) << r.Body;
        EXPECT_NE(r.Body.find("Set $adminuser and $adminhash in coupsettings.php"),
                  std::string::npos)
            << r.Body;
        // Customers still redeem.
        EXPECT_EQ(HttpPost(php.Port, kScript, kForm, "coupcode=NONE&action=7", 30000ms).Status,
                  303);
    }
}

// Typed codes are matched without the blanks around them, also against codes
// stored with blanks before such codes were refused; add and edit refuse them.
TEST_P(ServerThrottleE2E, CodesMatchWithoutTheBlanksAroundThem) {
    ASSERT_EQ(Add("SAVE10"), 1);
    // Stored earlier, written straight into the table.
    for (const std::string code : {" OLD5 ", "\tTABBED", " 50%OFF", "A_B "})
        RunSql(*backend,
               "INSERT INTO coupons (code, code_key, name, expired, expirtype, expirdays, "
               "expirdate, orderurl, comments, createdate, uses) VALUES ('" +
                   code + "', '" + code + "', 'old', '0', '', '0', '', '" + kOrderPage +
                   "', '', '2020-1-1', 0)");
    struct Case {
        std::string Typed;
        TOutcome Expected;
    };
    const std::vector<Case> cases = {
        {"SAVE10", TOutcome::OrderPage},    {" SAVE10 ", TOutcome::OrderPage},
        {"save10\t", TOutcome::OrderPage},  {"\r\nSAVE10", TOutcome::OrderPage},
        {"SAVE 10", TOutcome::InvalidPage}, {"OLD5", TOutcome::OrderPage},
        {" OLD5 ", TOutcome::OrderPage},    {"old5  ", TOutcome::OrderPage},
        {"OLD", TOutcome::InvalidPage},     {"tabbed", TOutcome::OrderPage},
        {"50%off", TOutcome::OrderPage},    {"50OFF", TOutcome::InvalidPage},
        {"5%", TOutcome::InvalidPage},      {"A_B", TOutcome::OrderPage},
        {"AXB", TOutcome::InvalidPage},     {"%", TOutcome::InvalidPage},
        {"  ", TOutcome::InvalidPage},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Classify(Redeem(c.Typed, "127.0.0.51")), c.Expected)
            << "typed \"" << c.Typed << "\"";
    // The statistics show the code without the blanks.
    EXPECT_EQ(Count("redemptions", "code = 'save10'"), "1");

    // Codes with blanks around them are refused with the reason.
    for (const std::string code : {" NEW", "NEW ", "NEW\t", "\nNEW", " "}) {
        SCOPED_TRACE("\"" + code + "\"");
        const THttpReply r = HttpPost(backend->Php.Port, kScript, kForm,
                                      "action=2&coupname=n&coupcode=" + UrlEncode(code), 30000ms,
                                      {}, Authorization(true));
        EXPECT_EQ(r.Status, 400);
        EXPECT_EQ(
            r.Body,
            "ERROR: the coupon code begins or ends with a blank (a space, tab or line break)");
    }
    std::string id;
    for (const auto& coupon : ListCoupons(*service))
        if (coupon.Code == "SAVE10")
            id = coupon.Id;
    ASSERT_FALSE(id.empty());
    const THttpReply edited =
        HttpPost(backend->Php.Port, kScript, kForm,
                 "action=3&coupid=" + id + "&coupname=n&coupcode=" + UrlEncode("SAVE10 "), 30000ms,
                 {}, Authorization(true));
    EXPECT_EQ(edited.Status, 400) << edited.Body;
    EXPECT_EQ(Count("coupons", "code = 'SAVE10 '"), "0");
    EXPECT_EQ(Count("coupons", "code = 'SAVE10'"), "1");
}

// Order pages relative to the script's folder are stored and redirected to
// as they are; what would leave the site or run script stays refused.
TEST_P(ServerThrottleE2E, RelativeOrderPagesAreRedirectedTo) {
    struct Case {
        std::string Page;
        bool Allowed;
    };
    const std::vector<Case> cases = {
        {"order.php", true},
        {"shop/order.php?x=1", true},
        {"order.php#pay", true},
        {"../shop/order.php", true},
        {"shop/a:b", true},
        {"shop//order.php", false},
        {"order.php?next=a:b", false},
        {"mailto:seller@shop.example", false},
        {"http:shop.example", false},
        {"javascript:alert(1)", false},
        {"shop\\order.php", false},
        {"order page.php", false},
    };
    for (std::size_t n = 0; n < cases.size(); ++n) {
        const auto& c = cases[n];
        SCOPED_TRACE(c.Page);
        const std::string code = "REL" + std::to_string(n);
        const THttpReply added = HttpPost(backend->Php.Port, kScript, kForm,
                                          "action=2&coupname=n&coupexpired=0&coupcode=" + code +
                                              "&couponorderurl=" + UrlEncode(c.Page),
                                          30000ms, {}, Authorization(true));
        if (!c.Allowed) {
            EXPECT_EQ(added.Status, 400);
            EXPECT_NE(added.Body.find("or a path relative to the folder of couponsactions.php"),
                      std::string::npos)
                << added.Body;
            continue;
        }
        EXPECT_EQ(added.Body, "OK");
        const THttpReply r = Redeem(code, "127.0.0.61");
        EXPECT_EQ(r.Status, 303);
        EXPECT_EQ(r.Header("Location"), c.Page);
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerThrottleE2E, ::testing::Values("MariaDB", "SQLite"),
                         [](const auto& info) { return info.param; });

// Failures count per IPv4 address and per IPv6 /64 network, since an IPv6
// client may take any address of its network. Checked through PHP's command
// line with the script's functions loaded alone.
TEST(ServerScriptFunctions, ThrottleKeyGroupsIPv6ByNetwork) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"203.0.113.7", "203.0.113.7"},
        {"203.0.113.8", "203.0.113.8"},
        {"2001:db8:1:2:aaaa:bbbb:cccc:dddd", "2001:db8:1:2::/64"},
        {"2001:db8:1:2::1", "2001:db8:1:2::/64"},
        {"2001:DB8:1:2:0:0:0:FFFF", "2001:db8:1:2::/64"},
        {"2001:db8:1:3::1", "2001:db8:1:3::/64"},
        {"2001:db8::1", "2001:db8::/64"},
        {"fe80::1%eth0", "fe80::/64"},
        {"::ffff:203.0.113.7", "203.0.113.7"},
        {"::1", "::/64"},
        {"", ""},
        {"not an address", "not an address"},
        {std::string(70, 'x'), std::string(64, 'x')},
    };
    const std::string dir = MakeScratchDir("throttle-key");
    for (const auto& [address, expected] : cases) {
        SCOPED_TRACE(address);
        const std::string out = dir + "/out.txt";
        std::filesystem::remove(out);
        ASSERT_EQ(RunProgram({"php", "-r",
                              "define('COUPONS_FUNCTIONS_ONLY', true); include $argv[1];"
                              "echo throttleKey($argv[2]);",
                              "--", SourceDir() + "/server/couponsactions.php", address},
                             out, 30000ms),
                  0)
            << ReadWholeFile(out);
        EXPECT_EQ(ReadWholeFile(out), expected);
    }
}
