// The server script's failure counts per client address (atomic under bursts),
// admin settings that lock the service, and codes matched without blanks.
#include "coupons/CouponService.h"
#include "platform/FileSystem.h"
#include "tests/e2e/E2EBackends.h"
#include "tests/support/CouponValues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <future>
#include <latch>
#include <map>
#include <regex>
#include <sstream>

using namespace quillory;
using quillory::test::CouponOf;
using namespace quillory::e2e;

namespace {

const std::string kOrderPage = "http://shop.example/order.php?item=9";
const std::string kScript = "/couponsactions.php";
const std::string kForm = "application/x-www-form-urlencoded";

using TCounts = std::map<std::string, int>;

class ServerThrottleE2E : public TServiceE2ETest {
protected:
    TCouponResult Add(const std::string& code, const std::string& type = "3") {
        return service->AddCoupon(CouponOf("", code, "Coupon " + code, "0", type, "0",
                                           ServerDate(30), kOrderPage, "", ServerDate()));
    }

    std::string Auth(bool right) const {
        return "Authorization: " +
               BasicAuthorization(backend->Settings.AdminUser,
                                  right ? backend->Settings.AdminPassword : "guess") +
               "\r\n";
    }

    // "order"/"invalid" for the redirects, "OK", "401", "429" (only with a
    // Retry-After of 1 to 600 whole seconds), or else the whole reply.
    std::string Outcome(const THttpReply& r) const {
        const std::string to = r.Header("Location"), wait = r.Header("Retry-After");
        if (r.Status == 303 && (to == kOrderPage || to == backend->Settings.InvalidPage))
            return to == kOrderPage ? "order" : "invalid";
        if ((r.Status == 200 && r.Body == "OK") || r.Status == 401)
            return r.Status == 401 ? "401" : "OK";
        const bool digits = !wait.empty() && wait.size() <= 3 &&
                            wait.find_first_not_of("0123456789") == std::string::npos;
        if (r.Status == 429 && digits && std::stoi(wait) >= 1 && std::stoi(wait) <= 600)
            return "429";
        return r.Head + r.Body;
    }

    std::string Post(const std::string& body, const std::string& from,
                     const std::string& header = {}, int port = 0) {
        return Outcome(
            HttpPost(port ? port : backend->Php.Port, kScript, kForm, body, 60000ms, from, header));
    }
    static std::string RedeemBody(const std::string& code) {
        return "coupcode=" + UrlEncode(code) + "&action=7&send=Submit";
    }

    // `n` simultaneous requests from `from` to a server on the same database
    // that pauses between counting failures and recording one, so a count
    // not atomic with its record lets them through every time.
    TCounts Burst(int n, const std::function<std::string(int)>& body, const std::string& from,
                  const std::string& header = {}) {
        if (!paused) {
            TServerSettings settings = backend->Settings;
            settings.Script = SettingsScript(settings);
            settings.Script.insert(settings.Script.rfind("?>"), "  $throttlepause = 30;\r\n");
            paused = std::make_unique<TPhpCouponServer>();
            paused->Start(MakeScratchDir(GetParam() + "-paused"), settings, 8);
        }
        std::latch ready(n);
        std::vector<std::future<std::string>> replies;
        for (int i = 0; i < n; ++i)
            replies.push_back(std::async(std::launch::async, [&, i] {
                ready.arrive_and_wait();
                return Post(body(i), from, header, paused->Port);
            }));
        TCounts counts;
        for (auto& r : replies)
            ++counts[r.get()];
        return counts;
    }

    std::string Count(const std::string& table, const std::string& where = "1 = 1") {
        return QueryValue(*backend, "SELECT COUNT(*) FROM " + table + " WHERE " + where);
    }

    std::unique_ptr<TPhpCouponServer> paused;
};

} // namespace

// Ten failed logins lock their address out, right password included;
// successes never count, other addresses go on working.
TEST_P(ServerThrottleE2E, FailedAdminLoginsLockOutTheirAddress) {
    const std::string office = "127.0.0.21", elsewhere = "127.0.0.22";
    const std::string right = Auth(true), wrong = Auth(false);
    struct Step {
        std::string From, Header;
        int Times;
        std::string Expected;
    };
    const std::vector<Step> steps = {{office, right, 12, "OK"},     {office, wrong, 9, "401"},
                                     {office, right, 1, "OK"},      {office, wrong, 1, "401"},
                                     {office, wrong, 2, "429"},     {office, right, 2, "429"},
                                     {office, "", 1, "401"},        {elsewhere, right, 1, "OK"},
                                     {elsewhere, wrong, 10, "401"}, {elsewhere, right, 1, "429"}};
    for (std::size_t n = 0; n < steps.size(); ++n)
        for (int i = 0; i < steps[n].Times; ++i)
            ASSERT_EQ(Post("action=1", steps[n].From, steps[n].Header), steps[n].Expected)
                << "step " << n << " #" << i;
    const THttpReply r =
        HttpPost(backend->Php.Port, kScript, kForm, "action=5", 30000ms, office, right);
    EXPECT_EQ(r.Body.rfind("ERROR: too many failed logins from your address; try again in ", 0), 0u)
        << r.Body;
    // Refused attempts are not recorded.
    EXPECT_EQ(Count("login_failures", "ip = '" + office + "'"), "10");
    EXPECT_EQ(Count("login_failures", "ip = '" + elsewhere + "'"), "10");
    EXPECT_EQ(Burst(
                  40, [](int) { return std::string("action=1"); }, "127.0.0.23", wrong),
              (TCounts{{"401", 10}, {"429", 30}}));
    RunSql(*backend, "UPDATE login_failures SET failed_at = failed_at - 601");
    EXPECT_EQ(Post("action=1", office, right), "OK");
}

// Bursts of guesses get no more lookups than the limit; right codes and the
// losers of a one time use race are not counted; a throttled customer gets a
// page saying when to come back.
TEST_P(ServerThrottleE2E, SimultaneousRedemptionsCountFailuresAtomically) {
    ASSERT_EQ(Add("RIGHTCODE"), TCouponResult::Done);
    ASSERT_EQ(Add("ONLYONCE", "1"), TCouponResult::Done);
    struct Case {
        std::string From;
        int N;
        std::string Code; // "GUESS#": another guess per request
        TCounts Expected;
        std::string Failures; // rows left for the address
    } cases[] = {{"127.0.0.31", 200, "GUESS#", {{"invalid", 20}, {"429", 180}}, "20"},
                 {"127.0.0.32", 40, "rightcode", {{"order", 40}}, "0"},
                 {"127.0.0.33", 30, "ONLYONCE", {{"order", 1}, {"invalid", 29}}, "0"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.From);
        const auto body = [&](int i) {
            return RedeemBody(c.Code == "GUESS#" ? "GUESS" + std::to_string(i) : c.Code);
        };
        EXPECT_EQ(Burst(c.N, body, c.From), c.Expected);
        EXPECT_EQ(Count("redemption_failures", "ip = '" + c.From + "'"), c.Failures);
    }
    EXPECT_EQ(Count("redemptions"), "41");

    const THttpReply r =
        HttpPost(backend->Php.Port, kScript, kForm, RedeemBody("RIGHTCODE"), 30000ms, "127.0.0.31");
    EXPECT_EQ(Outcome(r), "429");
    EXPECT_EQ(r.Header("Content-Type").rfind("text/html", 0), 0u) << r.Head;
    EXPECT_NE(r.Body.find("<p>Please try again in "), std::string::npos) << r.Body;
}

// What a line of PHP prints, given `arguments` as $argv[1...].
std::string PhpOutput(const std::string& code, const std::vector<std::string>& arguments) {
    const std::string out = MakeScratchDir("php-output") + "/out.txt";
    std::filesystem::remove(out);
    std::vector<std::string> command = {"php", "-r", code, "--"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    if (RunProgram(command, out, 30000ms) != 0)
        throw std::runtime_error("php failed: " + ReadWholeFile(out));
    return ReadWholeFile(out);
}

// Admin settings set in part, or with a hash that cannot be checked, lock the
// admin actions with 403 and what to do, whatever $allowopenadmin says.
TEST_P(ServerThrottleE2E, AdminSettingsThatCannotBeCheckedLockTheService) {
    const std::string hash = PhpPasswordHash(backend->Settings.AdminPassword);
    const std::string argon = PhpOutput("echo password_hash($argv[1], PASSWORD_ARGON2ID);",
                                        {backend->Settings.AdminPassword});
    struct Case {
        std::string User, Hash;
        bool AllowOpen;
        std::string Reply; // "OK" or a part of the 403 text
    };
    const std::vector<Case> cases = {
        {"seller", "", true, "$adminhash is empty."},
        {"seller", hash.substr(0, 40), true, "$adminhash is not a bcrypt"},
        {"", hash, true, "$adminhash is set but $adminuser is empty."},
        {"", "", false, "the coupon service is locked. Set"},
        {"", "", true, "OK"},
        {"seller", hash, false, "OK"},
        {"seller", argon, false, "OK"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.User + " " + c.Hash + (c.AllowOpen ? " open" : ""));
        TServerSettings settings = backend->Settings;
        settings.AdminUser.clear(); // written here instead
        std::string script = SettingsScript(settings);
        settings.Script =
            script.insert(script.rfind("?>"),
                          "$adminuser=" + PhpString(c.User) + "; $adminhash=" + PhpString(c.Hash) +
                              ";" + (c.AllowOpen ? " $allowopenadmin = true;" : "") + "\r\n");
        TPhpCouponServer php;
        php.Start(MakeScratchDir(GetParam() + "-admin-settings"), settings, 1);
        const THttpReply r =
            HttpPost(php.Port, kScript, kForm, "action=1", 30000ms, {}, Auth(true));
        EXPECT_EQ(r.Status, c.Reply == "OK" ? 200 : 403);
        EXPECT_NE(r.Body.find(c.Reply), std::string::npos) << r.Body;
        if (c.Reply == "OK")
            continue;
        EXPECT_NE(r.Body.find("Set $adminuser and $adminhash in coupsettings.php"),
                  std::string::npos)
            << r.Body;
        EXPECT_EQ(Post(RedeemBody("NONE"), {}, {}, php.Port), "invalid"); // customers still redeem
    }
}

// Typed codes match without blanks around them, also codes stored with
// blanks earlier; add and edit refuse such codes.
TEST_P(ServerThrottleE2E, CodesMatchWithoutTheBlanksAroundThem) {
    ASSERT_EQ(Add("SAVE10"), TCouponResult::Done);
    for (const std::string code : {" OLD5 ", "\tTABBED", " 50%OFF", "A_B "})
        RunSql(*backend, "INSERT INTO coupons (code, code_key, name, expired, expirtype, "
                         "expirdays, expirdate, orderurl, comments, createdate, uses) VALUES ('" +
                             code + "', '" + code + "', 'old', '0', '', '0', '', '" + kOrderPage +
                             "', '', '2020-1-1', 0)");
    const std::vector<std::pair<std::string, std::string>> typed = {
        {" SAVE10 ", "order"}, {"\r\nsave10\t", "order"}, {"SAVE 10", "invalid"},
        {"old5  ", "order"},   {"OLD", "invalid"},        {"tabbed", "order"},
        {"50%off", "order"},   {"A_B", "order"},          {"AXB", "invalid"},
        {"%", "invalid"},      {"  ", "invalid"}};
    for (const auto& [code, expected] : typed)
        EXPECT_EQ(Post(RedeemBody(code), "127.0.0.51"), expected) << "typed \"" << code << "\"";
    EXPECT_EQ(Count("redemptions", "code = 'save10'"), "1"); // recorded without the blank

    const std::string id = QueryValue(*backend, "SELECT id FROM coupons WHERE code = 'SAVE10'");
    const std::vector<std::string> refused = {"action=2&coupcode=+NEW", "action=2&coupcode=NEW%09",
                                              "action=3&coupid=" + id + "&coupcode=SAVE10+"};
    for (const std::string& body : refused) {
        const THttpReply r = HttpPost(backend->Php.Port, kScript, kForm, body + "&coupname=n",
                                      30000ms, {}, Auth(true));
        EXPECT_EQ(
            std::to_string(r.Status) + " " + r.Body,
            "400 ERROR: the coupon code begins or ends with a blank (a space, tab or line break)")
            << body;
    }
    EXPECT_EQ(Count("coupons", "code LIKE '%NEW%' OR code = 'SAVE10 '"), "0");
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerThrottleE2E, ::testing::Values("MariaDB", "SQLite"),
                         [](const auto& info) { return info.param; });

// Failures count per IPv4 address and per IPv6 /64 network (a client may
// take any address of its network).
TEST(ServerScriptFunctions, ThrottleKeyGroupsIPv6ByNetwork) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"203.0.113.7", "203.0.113.7"},
        {"2001:db8:1:2:aaaa:bbbb:cccc:dddd", "2001:db8:1:2::/64"},
        {"2001:DB8:1:2:0:0:0:FFFF", "2001:db8:1:2::/64"},
        {"2001:db8::1", "2001:db8::/64"},
        {"fe80::1%eth0", "fe80::/64"},
        {"::ffff:203.0.113.7", "203.0.113.7"},
        {"not an address", "not an address"},
        {std::string(70, 'x'), std::string(64, 'x')}};
    for (const auto& [address, expected] : cases)
        EXPECT_EQ(PhpOutput("define('COUPONS_FUNCTIONS_ONLY', true); include $argv[1];"
                            "echo throttleKey($argv[2]);",
                            {SourceDir() + "/server/couponsactions.php", address}),
                  expected)
            << address;
}

// On SQLite the script makes its tables from schema.sql, the one definition:
// every table with its columns in order and every key as an index; codes stay
// unique. Without schema.sql beside it the script says so.
TEST(ServerScriptFunctions, SqliteTablesFollowTheSchemaFile) {
    // What schema.sql defines, read from the file itself.
    const std::string schema = ReadWholeFile(SourceDir() + "/server/schema.sql");
    std::map<std::string, std::string> tables;
    std::vector<std::string> indexes;
    std::string table;
    std::istringstream lines(std::regex_replace(schema, std::regex("--[^\n]*"), ""));
    std::smatch m;
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_search(line, m, std::regex("^CREATE TABLE IF NOT EXISTS (\\w+)")))
            tables[table = m[1]];
        else if (std::regex_search(line, m, std::regex("^\\s+KEY (\\w+)")))
            indexes.push_back(m[1]);
        else if (std::regex_search(line, m, std::regex("^\\s+(\\w+) [A-Z]")) && m[1] != "UNIQUE" &&
                 m[1] != "KEY")
            tables[table] += (tables[table].empty() ? "" : " ") + m[1].str();
    }
    ASSERT_EQ(tables.size(), 5u);
    std::sort(indexes.begin(), indexes.end());
    std::string expected;
    for (const auto& [name, columns] : tables)
        expected += name + ": " + columns + "\n";
    for (const auto& index : indexes)
        expected += index + " ";
    expected += "\nduplicate code refused\n";

    const std::string run =
        "define('COUPONS_FUNCTIONS_ONLY', true); include $argv[1];"
        "$db = new PDO('sqlite::memory:', null, null,"
        "              [PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION]);"
        "foreach (schemaStatements('sqlite') as $sql) { $db->exec($sql); }"
        "$names = fn($type) => $db->query(\"SELECT name FROM sqlite_master WHERE type = '$type'"
        "    AND name NOT LIKE 'sqlite_%' ORDER BY name\")->fetchAll(PDO::FETCH_COLUMN);"
        "foreach ($names('table') as $t) {"
        "    $info = $db->query(\"PRAGMA table_info($t)\")->fetchAll(PDO::FETCH_ASSOC);"
        "    echo $t, ': ', implode(' ', array_column($info, 'name')), \"\\n\";"
        "}"
        "foreach ($names('index') as $i) { echo $i, ' '; }"
        "echo \"\\n\";"
        "$add = \"INSERT INTO coupons (code, code_key, name, expired, expirtype, expirdays,"
        "    expirdate, orderurl, comments, createdate) VALUES ('a', 'A', '', '', '', '', '', '',"
        "    '', '')\";"
        "$db->exec($add);"
        "try { $db->exec($add); echo \"duplicate code kept\\n\"; }"
        "catch (PDOException $e) { echo \"duplicate code refused\\n\"; }";
    EXPECT_EQ(PhpOutput(run, {SourceDir() + "/server/couponsactions.php"}), expected);

    // The script alone, without schema.sql beside it: the reply (after the
    // line PHP's error log writes to the console) says what is missing.
    const std::string alone = MakeScratchDir("script-alone");
    std::filesystem::copy_file(SourceDir() + "/server/couponsactions.php",
                               alone + "/couponsactions.php",
                               std::filesystem::copy_options::overwrite_existing);
    const std::string reply = PhpOutput("define('COUPONS_FUNCTIONS_ONLY', true); include $argv[1];"
                                        "schemaStatements('sqlite'); echo 'went on';",
                                        {alone + "/couponsactions.php"});
    const std::string said =
        "\nERROR: the tables are missing and schema.sql is not beside couponsactions.php";
    ASSERT_GE(reply.size(), said.size()) << reply;
    EXPECT_EQ(reply.substr(reply.size() - said.size()), said) << reply;
}
