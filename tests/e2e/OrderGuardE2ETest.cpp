// Protected order pages end to end: a redemption on a server with
// $ordersecret leads to the order page with a signed pass, and the page's
// coupon-guard.php lets in only the browser that redeemed. Each "browser" is
// our HTTP client with a cookie store of its own.
#include "coupons/ServerSettingsScript.h"
#include "http/CookieManager.h"
#include "http/HTTPClient.h"
#include "http/NetExceptions.h"
#include "platform/FileSystem.h"
#include "tests/e2e/E2EBackends.h"
#include "tests/support/CouponValues.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <latch>
#include <map>
#include <regex>

using namespace quillory;
using quillory::test::CouponOf;
using namespace quillory::e2e;

namespace {

const std::string kSecret = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
// Relative, with a query and a fragment of its own.
const std::string kOrderPage = "example-order-page.php?item=7#top";
const std::string kScript = "/couponsactions.php";
const std::string kForm = "application/x-www-form-urlencoded";
// How far ahead the clock of the "later" server's guard runs: past the
// default 2 hours of a pass.
const int kLaterSeconds = 3 * 3600;

struct TPage {
    int Status = 0;
    std::string Body;
    std::string Location; // of a redirect
    std::string SetCookie;
};

// A browser: its own cookies, kept across the pages it opens.
class TBrowser {
public:
    TPage Open(const std::string& url) {
        THTTPClient http;
        http.SetCookieManager(&FCookies);
        TPage page;
        try {
            page.Body = http.Get(url);
        } catch (const EHTTPProtocolException& e) {
            page.Body = e.ReplyBody;
        }
        page.Status = http.ResponseCode();
        page.Location = http.Response().Location;
        page.SetCookie = http.Response().RawHeaders.Values("Set-Cookie");
        return page;
    }

private:
    TCookieManager FCookies;
};

// A server on the backend's database with `lines` added to its settings.
std::unique_ptr<TPhpCouponServer> StartServerWith(TBackend& b, const std::string& name,
                                                  const std::string& lines, int workers = 8) {
    e2e::TServerSettings settings = b.Settings;
    settings.Script = SettingsScript(settings);
    settings.Script.insert(settings.Script.rfind("?>"), lines);
    auto server = std::make_unique<TPhpCouponServer>();
    server->Start(MakeScratchDir(b.Name + "-" + name), settings, workers);
    return server;
}

// A server on the backend's database with order pages protected: the shipped
// example page and a second step written here, both guarded. `clockShift`
// moves the clock the guard judges passes by.
std::unique_ptr<TPhpCouponServer> StartGuardedServer(TBackend& b, int clockShift) {
    auto server = StartServerWith(b, "guarded-" + std::to_string(clockShift),
                                  "  $ordersecret=\"" + kSecret + "\";\r\n  $orderclockshift = " +
                                      std::to_string(clockShift) + ";\r\n");
    for (const char* file : {"coupon-guard.php", "example-order-page.php"})
        std::filesystem::copy_file(SourceDir() + "/server/" + file, server->DocRoot() + "/" + file);
    WriteWholeFile(server->DocRoot() + "/order-step2.php",
                   "<?php\nrequire_once __DIR__ . '/coupon-guard.php';\n"
                   "echo 'STEP2 ', $couponcode;\n");
    return server;
}

class OrderGuardE2E : public TServiceE2ETest {
protected:
    static void TearDownTestSuite() { Servers().clear(); }

    // The guarded server of this backend: judging by the real clock, or
    // kLaterSeconds ahead.
    TPhpCouponServer& Guarded(bool later = false) {
        auto& slot = Servers()[GetParam() + (later ? "-later" : "")];
        if (!slot)
            slot = StartGuardedServer(*backend, later ? kLaterSeconds : 0);
        return *slot;
    }

    void Add(const std::string& code, bool oneTime) {
        ASSERT_EQ(service->AddCoupon(CouponOf("", code, "Coupon " + code, "0", oneTime ? "1" : "3",
                                              "0", ServerDate(30), kOrderPage, "", ServerDate())),
                  TCouponResult::Done)
            << service->LastReply() << service->LastError();
    }

    // Redeems `code` on `server` as the customer's form does; the reply.
    static THttpReply Redeem(const TPhpCouponServer& server, const std::string& code) {
        return HttpPost(server.Port, kScript, kForm,
                        "coupcode=" + UrlEncode(code) + "&action=7&send=Submit", 60000ms);
    }

    // The address the browser goes to after redeeming `code` on the guarded
    // server: the redirect resolved against the script's folder, its
    // fragment dropped.
    std::string RedeemedAddress(const std::string& code) {
        const THttpReply r = Redeem(Guarded(), code);
        const std::string to = r.Header("Location");
        EXPECT_EQ(r.Status, 303) << r.Head << r.Body;
        EXPECT_TRUE(std::regex_match(
            to, std::regex(R"(example-order-page\.php\?item=7&couponpass=[A-Za-z0-9_.-]+#top)")))
            << to;
        return Guarded().PlainSiteURL() + "/" + to.substr(0, to.find('#'));
    }

    std::string InvalidPage() const { return backend->Settings.InvalidPage; }

private:
    static std::map<std::string, std::unique_ptr<TPhpCouponServer>>& Servers() {
        static std::map<std::string, std::unique_ptr<TPhpCouponServer>> servers;
        return servers;
    }
};

// A one-time coupon's pass opens the order in the browser that redeemed it,
// for reloads and further steps too, and in no other browser.
TEST_P(OrderGuardE2E, OneTimePassLetsInTheRedeemingBrowserOnly) {
    Add("ONCE", true);
    const std::string address = RedeemedAddress("once");
    const std::string step2 = Guarded().PlainSiteURL() + "/order-step2.php";

    TBrowser customer;
    const TPage first = customer.Open(address);
    EXPECT_EQ(first.Status, 200) << first.Body;
    EXPECT_NE(first.Body.find("<strong>ONCE</strong>:\nCoupon ONCE."), std::string::npos)
        << first.Body;
    for (const char* attribute : {"HttpOnly", "SameSite=Lax", "path=/"})
        EXPECT_NE(first.SetCookie.find(attribute), std::string::npos) << first.SetCookie;
    EXPECT_EQ(customer.Open(address).Status, 200);
    const TPage next = customer.Open(step2);
    EXPECT_EQ(std::to_string(next.Status) + " " + next.Body, "200 STEP2 ONCE");

    TBrowser other;
    for (const std::string& url : {address, step2}) {
        const TPage refused = other.Open(url);
        EXPECT_EQ(std::to_string(refused.Status) + " " + refused.Location, "303 " + InvalidPage())
            << url;
    }
    // The customer's cookie ends with the pass: the guard of a clock past it
    // refuses the next step.
    EXPECT_EQ(customer.Open(Guarded(true).PlainSiteURL() + "/order-step2.php").Status, 303);
}

// Past its expiry, with any byte changed, or missing, a pass opens nothing;
// the untouched pass of a coupon without a use limit opens in any browser.
TEST_P(OrderGuardE2E, ExpiredChangedAndMissingPassesAreRefused) {
    Add("MANY", false);
    const std::string address = RedeemedAddress("MANY");
    const std::string pass = address.substr(address.find("couponpass=") + 11);
    const std::string later = Guarded(true).PlainSiteURL() + address.substr(address.rfind('/'));

    std::map<std::string, std::string> cases = {
        {"no pass", Guarded().PlainSiteURL() + "/example-order-page.php?item=7"},
        {"expired", later},
        {"pass cut short", address.substr(0, address.size() - 1)},
        {"pass lengthened", address + "A"}};
    for (std::size_t i = 0; i < pass.size(); i += 7) {
        std::string changed = address;
        char& c = changed[changed.size() - pass.size() + i];
        c = c == 'A' ? 'B' : 'A';
        cases["byte " + std::to_string(i) + " changed"] = changed;
    }
    for (const auto& [what, url] : cases) {
        const TPage page = TBrowser().Open(url);
        EXPECT_EQ(std::to_string(page.Status) + " " + page.Location, "303 " + InvalidPage())
            << what;
    }
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(TBrowser().Open(address).Status, 200);
}

// However many browsers open one one-time pass at the same moment, one gets in.
TEST_P(OrderGuardE2E, OneTimePassOpensForOneOfFiftySimultaneousBrowsers) {
    Add("RUSH", true);
    const std::string address = RedeemedAddress("RUSH");
    const int n = 50;
    std::latch ready(n);
    std::vector<std::future<TPage>> pages;
    for (int i = 0; i < n; ++i)
        pages.push_back(std::async(std::launch::async, [&] {
            ready.arrive_and_wait();
            return TBrowser().Open(address);
        }));
    std::map<std::string, int> outcomes;
    for (auto& page : pages) {
        const TPage p = page.get();
        ++outcomes[p.Status == 303 && p.Location == InvalidPage() ? "refused"
                                                                  : std::to_string(p.Status)];
    }
    EXPECT_EQ(outcomes, (std::map<std::string, int>{{"200", 1}, {"refused", n - 1}}));
}

// Without $ordersecret a redemption leads to the order page as stored, and a
// guarded page refuses to open rather than open for everyone.
TEST_P(OrderGuardE2E, WithoutSecretRedemptionIsUnchanged) {
    Add("PLAIN", true);
    const THttpReply r = Redeem(backend->Php, "PLAIN");
    EXPECT_EQ(r.Status, 303);
    EXPECT_EQ(r.Header("Location"), kOrderPage);
    EXPECT_EQ(r.Header("Set-Cookie"), "");
    EXPECT_EQ(r.Body, "");

    const std::string docRoot = backend->Php.DocRoot();
    for (const char* file : {"coupon-guard.php", "example-order-page.php"})
        std::filesystem::copy_file(SourceDir() + "/server/" + file, docRoot + "/" + file,
                                   std::filesystem::copy_options::overwrite_existing);
    const TPage page = TBrowser().Open(backend->Php.PlainSiteURL() + "/" + kOrderPage);
    EXPECT_EQ(page.Status, 500);
    EXPECT_EQ(page.Body.rfind("ERROR: this order page is protected by coupon-guard.php, which "
                              "needs $ordersecret: set $ordersecret in coupsettings.php",
                              0),
              0u)
        << page.Body;
}

// A secret that cannot be used stops a redemption, with what to fix, before
// its one-time code is used up; the seller's connection check shows it too.
TEST_P(OrderGuardE2E, UnusableSecretStopsRedemptionBeforeTheCodeIsUsed) {
    Add("KEPT", true);
    auto weak = StartServerWith(*backend, "weak-secret", "  $ordersecret=\"short\";\r\n", 1);
    const std::string auth =
        "Authorization: " +
        BasicAuthorization(backend->Settings.AdminUser, backend->Settings.AdminPassword) + "\r\n";
    for (const std::string body : {"coupcode=KEPT&action=7", "action=1"}) {
        const THttpReply r = HttpPost(weak->Port, kScript, kForm, body, 60000ms, {}, auth);
        EXPECT_EQ(std::to_string(r.Status) + " " + r.Body.substr(0, 119),
                  "500 ERROR: order pages cannot be protected: $ordersecret holds 3 bytes, fewer "
                  "than 32; set $ordersecret in coupsettings.php")
            << body;
    }
    EXPECT_EQ(Redeem(backend->Php, "KEPT").Header("Location"), kOrderPage);
}

// The coupsettings.php the manager writes with "Protect order pages" ticked
// turns the protection on: the server says so to the connection check that
// asks, and a redemption leads to the order page with a pass that opens it.
TEST_P(OrderGuardE2E, SettingsScriptOfTheManagerProtectsOrderPages) {
    const e2e::TServerSettings& b = backend->Settings;
    quillory::TServerSettings written;
    written.HostName = b.Hostname;
    written.Database = b.Database;
    written.UserName = b.Username;
    written.Password = b.Password;
    written.InvalidPage = b.InvalidPage;
    written.AdminUser = b.AdminUser;
    written.AdminHash = HashAdminPassword(b.AdminPassword);
    written.OrderSecret = NewOrderSecret();
    e2e::TServerSettings settings = b;
    settings.Script = BuildServerSettingsScript(written);
    if (!settings.Dsn.empty()) // added by hand for SQLite, as the README says
        settings.Script.insert(settings.Script.rfind("?>"),
                               "  $dsn=" + PhpString(settings.Dsn) + ";\r\n");
    TPhpCouponServer php;
    php.Start(MakeScratchDir(GetParam() + "-manager-protects"), settings, 2);
    for (const char* file : {"coupon-guard.php", "example-order-page.php"})
        std::filesystem::copy_file(SourceDir() + "/server/" + file, php.DocRoot() + "/" + file);

    // The backend's own server has no secret.
    TOrderPages orders = TOrderPages::Protected;
    EXPECT_TRUE(service->CheckServiceDetails(orders)) << service->LastReply();
    EXPECT_EQ(orders, TOrderPages::NotProtected);
    site = php.SiteURL();
    EXPECT_TRUE(service->CheckService()) << service->LastReply() << service->LastError();
    EXPECT_TRUE(service->CheckServiceDetails(orders)) << service->LastReply();
    EXPECT_EQ(orders, TOrderPages::Protected);

    Add("WRITTEN", true);
    const THttpReply r = Redeem(php, "WRITTEN");
    EXPECT_EQ(r.Status, 303) << r.Head << r.Body;
    const std::string to = r.Header("Location");
    ASSERT_TRUE(std::regex_match(
        to, std::regex(R"(example-order-page\.php\?item=7&couponpass=[A-Za-z0-9_.-]+#top)")))
        << to;
    const TPage page = TBrowser().Open(php.PlainSiteURL() + "/" + to.substr(0, to.find('#')));
    EXPECT_EQ(page.Status, 200) << page.Body;
    EXPECT_NE(page.Body.find("<strong>WRITTEN</strong>"), std::string::npos) << page.Body;
}

INSTANTIATE_TEST_SUITE_P(Servers, OrderGuardE2E, ::testing::Values("MariaDB", "SQLite"),
                         [](const auto& info) { return info.param; });

// Secrets must be at least 32 random bytes written as hex or base64; a pass
// goes after the order page's own query and before its fragment.
TEST(ServerScriptFunctions, OrderSecretsAndPassAddresses) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"orderSecretProblem(" + PhpString(kSecret) + ")", ""},
        {"orderSecretProblem('n4bQgb4c2FyWwyW1a+7Yj0sXwX0DLNRbGAjrE5tN2pQ=')", ""},
        {"orderSecretProblem('n4bQgb4c2FyWwyW1a-7Yj0sXwX0DLNRbGAjrE5tN2pQ')", ""},
        {"orderSecretProblem(" + PhpString(kSecret.substr(2)) + ")",
         "$ordersecret holds 31 bytes, fewer than 32"},
        {"orderSecretProblem('correct horse battery staple, and more words')",
         "$ordersecret is neither hex nor base64"},
        {"orderSecretProblem('" + std::string(64, '0') + "')",
         "$ordersecret is not random: it repeats a few bytes"},
        {"withOrderPass('https://shop.example/order.php', 'P')",
         "https://shop.example/order.php?couponpass=P"},
        {"withOrderPass('/order.php?item=7&size=m', 'P')", "/order.php?item=7&size=m&couponpass=P"},
        {"withOrderPass('order.php?#top', 'P')", "order.php?couponpass=P#top"},
        {"withOrderPass('shop/order.php?a=1&#x?y', 'P')", "shop/order.php?a=1&couponpass=P#x?y"}};
    const std::string dir = MakeScratchDir("order-pass-functions");
    std::string code = "<?php\ndefine('COUPONS_FUNCTIONS_ONLY', true);\ninclude '" + SourceDir() +
                       "/server/couponsactions.php';\n";
    std::string expected;
    for (const auto& [call, result] : cases) {
        code += "echo " + call + ", \"\\n\";\n";
        expected += result + "\n";
    }
    WriteWholeFile(dir + "/run.php", code);
    ASSERT_EQ(RunProgram({"php", dir + "/run.php"}, dir + "/out.txt", 30000ms), 0);
    EXPECT_EQ(ReadWholeFile(dir + "/out.txt"), expected);
}

} // namespace
