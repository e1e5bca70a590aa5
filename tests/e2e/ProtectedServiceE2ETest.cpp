// The server script as an attacker meets it, on MariaDB and on SQLite: admin
// actions only with the seller's credentials, redemptions open to customers
// but not to code guessing, order pages limited to web addresses, and error
// replies that give nothing away.
#include "coupons/CouponRecord.h"
#include "coupons/CouponService.h"
#include "coupons/OrderPage.h"
#include "coupons/ServerSettingsScript.h"
#include "platform/FileSystem.h"
#include "tests/e2e/E2EBackends.h"
#include "tests/support/CouponValues.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillory;
using quillory::test::CouponOf;
using namespace quillory::e2e;

namespace {

const std::string kOrderPage = "http://shop.example/order.php?item=7";
const std::string kScript = "/couponsactions.php";
const std::string kForm = "application/x-www-form-urlencoded";

class ProtectedServiceE2E : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        backend = &Backend(GetParam());
        service = Service(backend->Php.SiteURL());
        ASSERT_TRUE(service->DeleteCoupons("all")) << service->LastReply() << service->LastError();
    }

    std::unique_ptr<TCouponService> Service(const std::string& site) {
        sites.push_back(std::make_unique<std::string>(site));
        const std::string* text = sites.back().get();
        clients.push_back(std::make_unique<THTTPClient>());
        return std::make_unique<TCouponService>(*clients.back(), [text] { return *text; });
    }

    TCouponResult Add(TCouponService& s, const std::string& code,
                      const std::string& orderPage = kOrderPage) {
        return s.AddCoupon(
            CouponOf("", code, "Coupon " + code, "0", "", "0", "", orderPage, "", ServerDate()));
    }

    std::vector<TCoupon> List() { return ListCoupons(*service); }

    std::string Authorization(const std::string& user, const std::string& password) const {
        return "Authorization: " + BasicAuthorization(user, password) + "\r\n";
    }
    std::string RightAuthorization() const {
        return Authorization(backend->Settings.AdminUser, backend->Settings.AdminPassword);
    }
    // A raw request to the script, by default with the seller's credentials.
    THttpReply Post(const std::string& body, int port = 0, std::string header = "right",
                    const std::string& protocol = "HTTP/1.0") {
        if (header == "right")
            header = RightAuthorization();
        return HttpPost(port ? port : backend->Php.Port, kScript, kForm, body, 10000ms, {}, header,
                        protocol);
    }
    TCoupon Find(const std::string& code) {
        for (const auto& c : List())
            if (c.Code == code)
                return c;
        return {};
    }

    // The generated form as a customer's browser submits it, from `from`.
    std::string RedeemTo(const std::string& code, const std::string& from = {}) {
        const THttpReply r =
            HttpPost(backend->Php.Port, kScript, kForm,
                     "coupcode=" + UrlEncode(code) + "&action=7&send=Submit", 10000ms, from);
        EXPECT_EQ(r.Status, 303) << r.Head << r.Body;
        return r.Header("Location");
    }

    std::string Count(const std::string& table) {
        return QueryValue(*backend, "SELECT COUNT(*) FROM " + table);
    }

    TBackend* backend = nullptr;
    std::vector<std::unique_ptr<std::string>> sites;
    std::vector<std::unique_ptr<THTTPClient>> clients;
    std::unique_ptr<TCouponService> service;
};

} // namespace

TEST_P(ProtectedServiceE2E, AdminActionsWithoutTheRightCredentialsGet401AndChangeNothing) {
    ASSERT_EQ(Add(*service, "KEEPME"), TCouponResult::Done);
    const std::string id = List().at(0).Id;
    const std::string user = backend->Settings.AdminUser;
    const std::string password = backend->Settings.AdminPassword;
    const std::vector<std::pair<std::string, std::string>> attempts = {
        {"none", ""},
        {"wrong password", Authorization(user, password + "x")},
        {"password of another case", Authorization(user, "E2E P@SS:W/%RD")},
        {"wrong user", Authorization(user + "2", password)},
        {"empty password", Authorization(user, "")},
        {"not base64", "Authorization: Basic %%%\r\n"},
        {"another scheme", "Authorization: Bearer " + password + "\r\n"},
    };
    const std::vector<std::string> requests = {
        "action=1",
        "action=2&coupcode=NEW&coupname=n&coupexpired=0&couponorderurl=",
        "action=3&coupid=" + id + "&coupcode=CHANGED&coupname=n&couponorderurl=",
        "action=4&coupdeleteids=all",
        "action=5",
        "action=6",
        "action=8&coupcode=KEEPME",
        "action=9&coupid=" + id,
        "action=0",
    };
    for (const auto& [what, header] : attempts) {
        // Nine wrong logins per kind stay below the lockout of failed logins.
        RunSql(*backend, "DELETE FROM login_failures");
        for (const auto& body : requests) {
            SCOPED_TRACE(what + ": " + body);
            const THttpReply r = Post(body, 0, header);
            EXPECT_EQ(r.Status, 401) << r.Body;
            EXPECT_EQ(r.Header("WWW-Authenticate").rfind("Basic realm=", 0), 0u) << r.Head;
            EXPECT_EQ(r.Body.find("OK"), std::string::npos) << r.Body;
        }
    }

    // Through the client: the site address without, or with wrong, credentials.
    // Each refused operation costs two failed logins (the client answers a
    // challenge once more): they are forgotten halfway to stay below the lockout.
    RunSql(*backend, "DELETE FROM login_failures");
    const std::string plain = backend->Php.PlainSiteURL();
    const std::string wrong = plain.substr(0, plain.find("://") + 3) + "seller:guess@" +
                              plain.substr(plain.find("://") + 3);
    for (const std::string& site : {plain, wrong}) {
        SCOPED_TRACE(site);
        auto s = Service(site);
        EXPECT_FALSE(s->CheckService());
        EXPECT_EQ(s->LastRefusal(), kRefusedCredentials);
        EXPECT_EQ(Add(*s, "INTRUDER"), TCouponResult::Failed);
        EXPECT_EQ(
            s->EditCoupon(CouponOf(id, "HIJACKED", "n", "0", "", "0", "", "", "", ServerDate())),
            TCouponResult::Failed);
        EXPECT_FALSE(s->DeleteCoupons("all"));
        RunSql(*backend, "DELETE FROM login_failures");
        EXPECT_FALSE(s->RefreshCoupons([](const std::string&) { FAIL() << "no list for them"; }));
        EXPECT_FALSE(s->CouponCodeExists("KEEPME"));
        std::string record = "untouched";
        EXPECT_FALSE(s->GetCoupon(id, record));
        EXPECT_EQ(s->LastRefusal(), kRefusedCredentials);
    }

    // Nothing changed, and the right credentials work.
    const auto list = List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Code, "KEEPME");
    EXPECT_EQ(list[0].Id, id);
    EXPECT_TRUE(service->CheckService());
    EXPECT_EQ(service->LastRefusal(), "");
    const THttpReply r = Post("action=8&coupcode=keepme");
    EXPECT_EQ(r.Status, 200);
    EXPECT_EQ(r.Body, "EXIST RECORD");
}

TEST_P(ProtectedServiceE2E, WithoutCredentialsSetAdminActionsGet403WithTheHint) {
    e2e::TServerSettings settings = backend->Settings;
    settings.AdminUser.clear();
    TPhpCouponServer locked;
    locked.Start(MakeScratchDir(GetParam() + "-locked"), settings, 1);
    ASSERT_EQ(Add(*service, "CUSTOMER", "/order-page"), TCouponResult::Done);

    for (const std::string& site : {locked.SiteURL(), locked.PlainSiteURL()}) {
        SCOPED_TRACE(site);
        auto s = Service(site);
        EXPECT_FALSE(s->CheckService());
        EXPECT_FALSE(s->DeleteCoupons("all"));
        EXPECT_NE(s->LastRefusal().find("Set $adminuser and $adminhash in coupsettings.php"),
                  std::string::npos)
            << s->LastRefusal();
    }
    // Credentials do not open it either: there are none to match.
    const THttpReply r = Post("action=5", locked.Port);
    EXPECT_EQ(r.Status, 403);
    EXPECT_EQ(r.Body.find("OK"), std::string::npos);
    EXPECT_EQ(List().size(), 1u);

    // Customers still redeem there.
    const THttpReply redeemed = Post("coupcode=customer&action=7&send=Submit", locked.Port, "");
    EXPECT_EQ(redeemed.Status, 303);
    EXPECT_EQ(redeemed.Header("Location"), "/order-page");

    // Opening the admin actions is a deliberate switch.
    settings.AllowOpenAdmin = true;
    TPhpCouponServer open;
    open.Start(MakeScratchDir(GetParam() + "-open"), settings, 1);
    auto s = Service(open.PlainSiteURL());
    EXPECT_TRUE(s->CheckService()) << s->LastReply() << s->LastError();
    EXPECT_EQ(s->CouponCodeExists("CUSTOMER"), true);
}

// Customers redeem without credentials, whatever the case of the code; after
// twenty wrong codes from one address, the next is refused even when right.
TEST_P(ProtectedServiceE2E, CustomersRedeemButNotByGuessing) {
    ASSERT_EQ(Add(*service, "RIGHT"), TCouponResult::Done);
    for (int i = 0; i < 25; ++i) // right codes are never limited
        ASSERT_EQ(RedeemTo(i ? "RIGHT" : "right"), kOrderPage) << i;
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(RedeemTo("WRONG" + std::to_string(i)), backend->Settings.InvalidPage) << i;
    for (int i = 0; i < 2; ++i) // told to wait; the reply is checked with the throttle tests
        EXPECT_EQ(HttpPost(backend->Php.Port, kScript, kForm, "coupcode=RIGHT&action=7&send=Submit",
                           10000ms)
                      .Status,
                  429);
    // Refused attempts are not recorded: the table holds at most the limit.
    EXPECT_EQ(Count("redemption_failures"), "20");
    EXPECT_EQ(Count("redemptions"), "25");
    // Another address is not affected.
    EXPECT_EQ(RedeemTo("RIGHT", "127.0.0.2"), kOrderPage);

    // Once the window has passed the address may try again, and the old
    // failures are removed with the next one.
    RunSql(*backend, "UPDATE redemption_failures SET failed_at = failed_at - 601");
    EXPECT_EQ(RedeemTo("RIGHT"), kOrderPage);
    EXPECT_EQ(RedeemTo("WRONG"), backend->Settings.InvalidPage);
    EXPECT_EQ(Count("redemption_failures"), "1");
}

TEST_P(ProtectedServiceE2E, ServerKeepsTheOrderPageRuleOfTheClient) {
    const std::vector<std::pair<std::string, bool>> addresses = {
        {"http://shop.example/order", true},
        {"HTTPS://shop.example", true},
        {"https://shop.example:8443/o?x=1#top", true},
        {"/order.php?item=7", true},
        {"/", true},
        {"", true},
        {"order.php", true},
        {"shop/order.php?x=1", true},
        {"javascript:alert(document.cookie)", false},
        {"JavaScript:alert(1)", false},
        {"java\tscript:alert(1)", false},
        {"data:text/html,<script>alert(1)</script>", false},
        {"vbscript:msgbox", false},
        {"//evil.example/", false},
        {"/\\evil.example", false},
        {"\\\\evil.example", false},
        {"http:///order", false},
        {"http:evil.example", false},
        {"ftp://shop.example/", false},
        {" http://shop.example/", false},
        {"http://shop.example/a b", false},
        {"http://shop.example/\x7f", false},
        {"shop//order.php", false}};
    for (std::size_t n = 0; n < addresses.size(); ++n) {
        EXPECT_EQ(Add(*service, "PAGE" + std::to_string(n), addresses[n].first),
                  addresses[n].second ? TCouponResult::Done : TCouponResult::Failed)
            << "order page \"" << addresses[n].first << "\"";
        // The editor and the CLI check with the same rule before sending.
        EXPECT_EQ(IsAllowedOrderPage(addresses[n].first), addresses[n].second)
            << "client rule, order page \"" << addresses[n].first << "\"";
    }
    // Relative pages are redirected to as they are: the browser resolves them
    // against the script's address.
    EXPECT_EQ(RedeemTo("PAGE6"), "order.php");
    EXPECT_EQ(RedeemTo("PAGE7"), "shop/order.php?x=1");
    // The refusal says why, and holds no "OK" that a client could take for success.
    const THttpReply r = Post("action=2&coupcode=RAWJS&coupname=n&couponorderurl=" +
                              UrlEncode("javascript:alert(1)"));
    EXPECT_EQ(r.Status, 400);
    EXPECT_EQ(r.Body.find("OK"), std::string::npos) << r.Body;
    EXPECT_NE(r.Body.find("the order page must be an address starting with http:// or https://"),
              std::string::npos)
        << r.Body;
    EXPECT_NE(r.Body.find("or a path relative to the folder of couponsactions.php"),
              std::string::npos)
        << r.Body;
    // Editing to a refused page is refused as well.
    ASSERT_EQ(Add(*service, "EDITPAGE"), TCouponResult::Done);
    EXPECT_EQ(service->EditCoupon(CouponOf(Find("EDITPAGE").Id, "EDITPAGE", "n", "0", "", "0", "",
                                           "javascript:alert(1)", "", ServerDate())),
              TCouponResult::Failed);
    EXPECT_EQ(Find("EDITPAGE").OrderPage, kOrderPage);
}

TEST_P(ProtectedServiceE2E, CustomersAreNeverSentToARefusedOrderPage) {
    // Rows stored before the rule, written straight into the table.
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"OLDJS", "javascript:alert(1)"},
        {"OLDDATA", "data:text/html,hi"},
        {"OLDOTHER", "//evil.example/"},
        {"OLDBREAK", "http://shop.example/\r\nSet-Cookie: x=1"},
        {"NOPAGE", ""}};
    for (const auto& [code, page] : rows) {
        std::string quoted;
        for (char c : page)
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        RunSql(*backend, "INSERT INTO coupons (code, code_key, name, expired, expirtype, "
                         "expirdays, expirdate, orderurl, comments, createdate, uses) VALUES ('" +
                             code + "', '" + code + "', 'old', '0', '', '0', '', '" + quoted +
                             "', '', '2020-1-1', 0)");
    }
    for (const auto& [code, page] : rows)
        EXPECT_EQ(RedeemTo(code), backend->Settings.InvalidPage) << code;
    EXPECT_EQ(Count("redemptions"), "0");

    // A javascript: order page is refused on add and so never reached.
    EXPECT_EQ(Add(*service, "NEWJS", "javascript:alert(1)"), TCouponResult::Failed);
    EXPECT_EQ(RedeemTo("NEWJS"), backend->Settings.InvalidPage);

    // An invalid page outside the rule is not redirected to either.
    e2e::TServerSettings settings = backend->Settings;
    settings.InvalidPage = "javascript:alert(1)";
    TPhpCouponServer odd;
    odd.Start(MakeScratchDir(GetParam() + "-odd"), settings, 1);
    const THttpReply r = Post("coupcode=NONE&action=7&send=Submit", odd.Port, "");
    EXPECT_EQ(r.Status, 200);
    EXPECT_EQ(r.Header("Location"), "");
    EXPECT_NE(r.Body.find("This coupon code is not valid."), std::string::npos) << r.Body;
}

TEST_P(ProtectedServiceE2E, ListAndRecordRepliesAreNeitherCachedNorSniffed) {
    ASSERT_EQ(Add(*service, "HEADERS"), TCouponResult::Done);
    const std::string id = List().at(0).Id;
    for (const std::string& body :
         std::vector<std::string>{"action=5", "action=6", "action=9&coupid=" + id, "action=1"}) {
        SCOPED_TRACE(body);
        const THttpReply r = Post(body);
        EXPECT_EQ(r.Status, 200);
        EXPECT_EQ(r.Header("Cache-Control"), "no-store");
        EXPECT_EQ(r.Header("X-Content-Type-Options"), "nosniff");
        EXPECT_EQ(r.Header("X-Powered-By"), "");
    }
}

TEST_P(ProtectedServiceE2E, ErrorRepliesGiveNoDriverOrPathDetails) {
    e2e::TServerSettings settings = backend->Settings;
    if (settings.Dsn.empty())
        settings.Password = "not the password";
    else
        settings.Dsn = "sqlite:/nonexistent/folder/coupons.sqlite";
    TPhpCouponServer broken;
    broken.Start(MakeScratchDir(GetParam() + "-broken"), settings, 1);
    for (const char* body : {"action=1", "action=7&coupcode=X"}) {
        const THttpReply r = Post(body, broken.Port);
        EXPECT_EQ(r.Status, 500);
        EXPECT_EQ(r.Body, "ERROR: cannot connect to the database");
    }
    const THttpReply r = Post("action=4&coupdeleteids=1;DROP"); // malformed
    EXPECT_EQ(r.Status, 400);
    EXPECT_EQ(r.Body.find('/'), std::string::npos) << r.Body;
    EXPECT_EQ(r.Body.find("SQLSTATE"), std::string::npos) << r.Body;
}

// nginx with PHP-FPM sends replies of unknown length chunked to HTTP/1.1
// clients; the client reads them as any other.
TEST_P(ProtectedServiceE2E, RepliesArriveWholeOverHttp11) {
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(Add(*service, "CHUNK" + std::to_string(i)), TCouponResult::Done);
    THTTPClient http11;
    http11.HTTPOptions |= hoKeepOrigProtocol;
    const std::string site = backend->Php.SiteURL();
    TCouponService s(http11, [&] { return site; });
    std::vector<TCoupon> list;
    ASSERT_TRUE(s.RefreshCoupons([&](const std::string& reply) { list = DecodeCouponList(reply); }))
        << s.LastReply() << s.LastError();
    EXPECT_EQ(list.size(), 30u);
    if (E2EFront() == TFront::Nginx) {
        EXPECT_EQ(http11.Response().TransferEncoding, "chunked");
        const THttpReply raw = Post("action=5", 0, "right", "HTTP/1.1");
        EXPECT_EQ(raw.Header("Transfer-Encoding"), "chunked") << raw.Head;
    }
}

// The settings script the manager writes for a site address with credentials
// (settings dialog, OK) unlocks the service for exactly those credentials.
TEST_P(ProtectedServiceE2E, SettingsScriptOfTheManagerUnlocksTheService) {
    const std::string user = "shop owner";
    const std::string password = "S3cret \"$x\" \\ p@ss:w%rd";
    const std::string encoded = PercentEncode(user) + ":" + PercentEncode(password) + "@";
    quillory::TServerSettings written;
    std::string decoded;
    ASSERT_TRUE(
        SiteCredentials("https://" + encoded + "shop.example/coupons", written.AdminUser, decoded));
    EXPECT_EQ(written.AdminUser, user);
    EXPECT_EQ(decoded, password);
    written.AdminHash = HashAdminPassword(decoded);
    e2e::TServerSettings settings = backend->Settings;
    written.HostName = settings.Hostname;
    written.Database = settings.Database;
    written.UserName = settings.Username;
    written.Password = settings.Password;
    written.InvalidPage = settings.InvalidPage;
    std::string script = BuildServerSettingsScript(written);
    if (!settings.Dsn.empty()) // added by hand for SQLite, as the README says
        script.insert(script.rfind("?>"), "  $dsn=" + PhpString(settings.Dsn) + ";\r\n");
    settings.Script = script;
    settings.AdminUser = user;
    settings.AdminPassword = password;
    TPhpCouponServer php;
    php.Start(MakeScratchDir(GetParam() + "-manager-settings"), settings, 1);

    auto s = Service(php.SiteURL());
    EXPECT_TRUE(s->CheckService()) << s->LastReply() << s->LastError();
    EXPECT_EQ(Add(*s, "UNLOCKED"), TCouponResult::Done);
    settings.AdminPassword += "!";
    TPhpCouponServer sameScript; // only to form the address with the wrong password
    sameScript.Start(MakeScratchDir(GetParam() + "-manager-settings-2"), settings, 1);
    auto wrong = Service(sameScript.SiteURL());
    EXPECT_FALSE(wrong->CheckService());
    EXPECT_EQ(wrong->LastRefusal(), kRefusedCredentials);
}

INSTANTIATE_TEST_SUITE_P(Servers, ProtectedServiceE2E, ::testing::Values("MariaDB", "SQLite"),
                         [](const auto& info) { return info.param; });

// CGI and FastCGI hosts may hand PHP only the Authorization header (after the
// rewrite rule of the server README), without PHP_AUTH_USER: the script reads
// the credentials from it.
TEST(ProtectedServiceScript, CredentialsFromTheAuthorizationHeaderAlone) {
    TBackend& b = Backend("SQLite");
    const std::string right = BasicAuthorization(b.Settings.AdminUser, b.Settings.AdminPassword);
    const std::string wrong = BasicAuthorization(b.Settings.AdminUser, "guess");
    struct Case {
        std::string Variable;
        std::string Value;
        std::string Expected;
    };
    const std::vector<Case> cases = {
        {"HTTP_AUTHORIZATION", right, "OK"},
        {"REDIRECT_HTTP_AUTHORIZATION", right, "OK"},
        {"HTTP_AUTHORIZATION", "basic " + right.substr(6), "OK"},
        {"HTTP_AUTHORIZATION", wrong, "ERROR: the user name or password is wrong"},
        {"HTTP_AUTHORIZATION", "Basic", "ERROR: this action needs the user name and password"},
        {"HTTP_AUTHORIZATION", "Digest " + right.substr(6),
         "ERROR: this action needs the user name and password"},
    };
    const std::string dir = MakeScratchDir("authorization-header");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Variable + ": " + c.Value);
        const std::string out = dir + "/out.txt";
        std::filesystem::remove(out);
        // The script as a CGI host runs it: a POST with the header's variable only.
        ASSERT_EQ(RunProgram({"php", "-d", "error_log=" + dir + "/errors.log", "-r",
                              "$_SERVER['REQUEST_METHOD'] = 'POST';"
                              "$_SERVER[$argv[2]] = $argv[3]; $_POST['action'] = '1';"
                              "include $argv[1];",
                              "--", b.Php.DocRoot() + "/couponsactions.php", c.Variable, c.Value},
                             out, 30000ms),
                  0);
        EXPECT_EQ(ReadWholeFile(out), c.Expected);
    }
}
