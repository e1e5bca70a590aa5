// quillory-cli as a user runs it, against the server script on SQLite.
#include "coupons/CouponRecord.h"
#include "coupons/CouponService.h"
#include "http/URI.h"
#include "platform/FileSystem.h"
#include "tests/e2e/E2EBackends.h"
#include "tests/support/CouponValues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

using namespace quillory;
using quillory::test::CouponOf;
using namespace quillory::e2e;
namespace fs = std::filesystem;

namespace {

struct TRun {
    int Status = -1;
    std::string Output;
};

class CliE2E : public ::testing::Test {
protected:
    // The server set-up the test runs against.
    virtual std::string Server() const { return "SQLite"; }

    void SetUp() override {
        backend = &Backend(Server());
        site = backend->Php.SiteURL();
        std::string name =
            std::string("cli-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        dir = MakeScratchDir(name);
        ASSERT_EQ(Cli({"delete", "all", "--yes"}).Status, 0);
    }

    // Runs the program with --site (unless `withSite` is false) and returns
    // its exit status and everything it printed.
    TRun Cli(std::vector<std::string> args, bool withSite = true,
             const std::string& program = QUILLORY_CLI) {
        std::vector<std::string> argv = {program};
        if (withSite) {
            argv.push_back("--site");
            argv.push_back(site);
        }
        argv.insert(argv.end(), args.begin(), args.end());
        const std::string log = dir + "/out.txt";
        fs::remove(log);
        TRun run;
        run.Status = RunProgram(argv, log, 60000ms);
        run.Output = FileExists(log) ? ReadWholeFile(log) : "";
        return run;
    }

    // Where a customer who types `code` into the seller's form is sent.
    std::string RedeemedTo(const std::string& code) {
        const THttpReply r =
            HttpPost(backend->Php.Port, "/couponsactions.php", "application/x-www-form-urlencoded",
                     "coupcode=" + UrlEncode(code) + "&action=7&send=Submit");
        EXPECT_EQ(r.Status, 303) << r.Head << r.Body;
        return r.Header("Location");
    }

    TBackend* backend = nullptr;
    std::string site;
    std::string dir;
};

// The same program on each server set-up.
class CliBackupE2E : public CliE2E, public ::testing::WithParamInterface<std::string> {
protected:
    std::string Server() const override { return GetParam(); }
};

} // namespace

TEST_F(CliE2E, AddListGetEditExistsAndDelete) {
    TRun r = Cli({"add", "--code", "CLI1", "--name", "First, \"quoted\"", "--type", "date",
                  "--date", "2030-07-04", "--order-page", "http://shop.example/o?a=1", "--comments",
                  "two\nlines"});
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(Cli({"add", "--code", "cli1", "--name", "Again"}).Status, 1);

    r = Cli({"list"});
    ASSERT_EQ(r.Status, 0) << r.Output;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.Output, m, std::regex("\n(\\d+)\tCLI1\t")));
    const std::string id = m[1];
    EXPECT_NE(r.Output.find("First, \"quoted\"\tFalse\tuntil 2030-7-4\thttp://shop.example/o?a=1"),
              std::string::npos)
        << r.Output;

    r = Cli({"get", id});
    ASSERT_EQ(r.Status, 0) << r.Output;
    // Shown on one line; the value itself keeps its line break (see export).
    EXPECT_NE(r.Output.find("Comments: two\\nlines\n"), std::string::npos) << r.Output;

    ASSERT_EQ(Cli({"edit", id, "--expired", "--name", "Renamed"}).Status, 0);
    r = Cli({"get", id});
    EXPECT_NE(r.Output.find("Name: Renamed\n"), std::string::npos) << r.Output;
    EXPECT_NE(r.Output.find("Expired: True\n"), std::string::npos) << r.Output;
    EXPECT_NE(r.Output.find("Order page: http://shop.example/o?a=1\n"), std::string::npos);

    EXPECT_NE(Cli({"exists", "cli1"}).Output.find("cli1: in use"), std::string::npos);
    EXPECT_NE(Cli({"exists", "NOPE"}).Output.find("NOPE: free"), std::string::npos);

    ASSERT_EQ(Cli({"delete", id}).Status, 0);
    EXPECT_EQ(Cli({"get", id}).Status, 1);
    EXPECT_EQ(Cli({"edit", id, "--name", "x"}).Status, 1);
}

TEST_F(CliE2E, GenerateGivesDistinctFreeCodes) {
    TRun r = Cli({"generate", "5"});
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_TRUE(std::regex_match(r.Output, std::regex("([A-Y]{6}\n){5}"))) << r.Output;
    r = Cli({"add", "--name", "Generated code"});
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_TRUE(std::regex_search(r.Output, std::regex("Added coupon [A-Y]{6}\\.")));
}

TEST_F(CliE2E, ExportThenImportRestoresEveryCoupon) {
    ASSERT_EQ(Cli({"add", "--code", "EXP1", "--name", "a,b \"c\"", "--comments", "x\r\ny, \xe9",
                   "--type", "days", "--days", "12"})
                  .Status,
              0);
    ASSERT_EQ(
        Cli({"add", "--code", "EXP2", "--name", "plain", "--expired", "--type", "none"}).Status, 0);
    const std::string csv = dir + "/coupons.csv";
    ASSERT_EQ(Cli({"export", csv}).Status, 0);
    const std::string before = Cli({"list"}).Output;

    // Importing into the same list refuses both rows: the codes are taken.
    TRun r = Cli({"import", csv});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("line 2: refused EXP1: the code is already in use."), std::string::npos)
        << r.Output;

    ASSERT_EQ(Cli({"delete", "all", "--yes"}).Status, 0);
    r = Cli({"import", csv});
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_NE(r.Output.find("2 added, 0 refused."), std::string::npos) << r.Output;

    // Same coupons, new ids.
    const std::string again = dir + "/again.csv";
    ASSERT_EQ(Cli({"export", again}).Status, 0);
    auto withoutIds = [](std::string text) {
        return std::regex_replace(text, std::regex("(^|\n)\\d+,"), "$1,");
    };
    EXPECT_EQ(withoutIds(ReadWholeFile(again)), withoutIds(ReadWholeFile(csv)));
    (void)before;
}

TEST_F(CliE2E, ImportReportsEveryRefusedRowAndWhy) {
    const std::string csv = dir + "/bad.csv";
    WriteWholeFile(csv, "Code,Name,days,expiry_date\r\n"
                        "OK1,Fine,3,2030-1-1\r\n"
                        ",No code,1,2030-1-1\r\n"
                        "BAD2,,1,2030-1-1\r\n"
                        "BAD3,Days,many,2030-1-1\r\n"
                        "BAD4,Date,1,2030-02-30\r\n"
                        "BAD5,Hat ^ in name,1,2030-1-1\r\n"
                        "BAD6,short\r\n"
                        "ok1,Same code other case,1,2030-1-1\r\n");
    TRun r = Cli({"import", csv});
    EXPECT_EQ(r.Status, 1);
    for (const char* expected :
         {"line 2: added OK1", "line 3: refused: Please provide a Coupon Code.",
          "line 4: refused BAD2: Please provide a Coupon Name.",
          "line 5: refused BAD3: The number of days", "line 6: refused BAD4: The expiry date",
          "line 7: refused BAD5: The name cannot contain", "line 8: refused: it has 2 fields",
          "line 9: refused ok1: the code is already in use.", "1 added, 7 refused."})
        EXPECT_NE(r.Output.find(expected), std::string::npos) << expected << "\n" << r.Output;

    WriteWholeFile(csv, "code,name,colour\r\nA,B,red\r\n");
    r = Cli({"import", csv});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("Unknown column \"colour\""), std::string::npos) << r.Output;
}

TEST_F(CliE2E, StatisticsListRedemptions) {
    ASSERT_EQ(Cli({"add", "--code", "USED", "--name", "n", "--type", "none", "--order-page",
                   "http://shop.example/"})
                  .Status,
              0);
    const auto reply =
        HttpPost(Backend("SQLite").Php.Port, "/couponsactions.php",
                 "application/x-www-form-urlencoded", "coupcode=used&action=7&send=Submit");
    ASSERT_EQ(reply.Header("Location"), "http://shop.example/");
    const TRun r = Cli({"stats"});
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_TRUE(std::regex_search(
        r.Output,
        std::regex("\nused\t\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\t127\\.0\\.0\\.1\n")))
        << r.Output;
}

TEST_F(CliE2E, SiteComesFromSettingsDatBesideTheProgram) {
    // A copy of the program in a folder of its own, with its settings file.
    const std::string program = dir + "/quillory-cli";
    fs::copy_file(QUILLORY_CLI, program, fs::copy_options::overwrite_existing);
    TRun r = Cli({"check"}, false, program);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("No site address"), std::string::npos) << r.Output;

    WriteWholeFile(dir + "/settings.dat", "[Settings]\r\nwebserver=" + site + "\r\n");
    r = Cli({"check"}, false, program);
    EXPECT_EQ(r.Status, 0) << r.Output;
    // The address as shown: the password hidden.
    EXPECT_NE(r.Output.find(RedactURLPassword(site) + "/couponsactions.php is ready"),
              std::string::npos)
        << r.Output;
    EXPECT_EQ(r.Output.find(Backend("SQLite").Php.Settings().AdminPassword), std::string::npos);
}

TEST_F(CliE2E, FailuresGiveAClearMessageAndANonZeroStatus) {
    const std::string closed = "http://127.0.0.1:" + std::to_string(FreeLoopbackPort());
    TRun r = Cli({"--site", closed, "list"}, false);
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("Cannot connect to " + closed.substr(7) + ": connection refused"),
              std::string::npos)
        << r.Output;
    EXPECT_EQ(Cli({"frobnicate"}).Status, 2);
    EXPECT_EQ(Cli({"list", "--name", "x"}).Status, 2);
    // Neither ids nor a code any coupon has.
    r = Cli({"delete", "1;2"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_NE(r.Output.find("No coupon has code 1;2; nothing was deleted."), std::string::npos)
        << r.Output;
    EXPECT_EQ(Cli({"delete", "all"}).Status, 2); // no terminal to ask on, no --yes
    EXPECT_EQ(Cli({"generate", "0"}).Status, 2);
    r = Cli({"--help"}, false);
    EXPECT_EQ(r.Status, 0);
    for (const char* command :
         {"check", "list", "get COUPON", "add", "edit COUPON", "delete COUPON...", "delete all",
          "--yes", "exists CODE", "generate [N]", "stats", "export FILE.csv", "import FILE.csv"})
        EXPECT_NE(r.Output.find(command), std::string::npos) << command;
}

// A backup keeps what customers did: a one-time coupon that was redeemed is
// still used after export, delete all and import; the others still work.
TEST_P(CliBackupE2E, ExportAndImportKeepUsedOneTimeCouponsUsed) {
    const std::string page = "http://shop.example/order.php";
    const std::string adds[][4] = {{"USED1", "Used", "--type", "one-time"},
                                   {"FRESH1", "Fresh", "--type", "one-time"},
                                   {"  TRIM1\t", "=1+2", "--days", "30"}};
    for (const auto& a : adds) {
        const TRun r =
            Cli({"add", "--code", a[0], "--name", a[1], a[2], a[3], "--order-page", page});
        ASSERT_EQ(r.Status, 0) << r.Output;
    }
    EXPECT_EQ(RedeemedTo("used1"), page);
    EXPECT_EQ(RedeemedTo("TRIM1"), page);

    const std::string csv = dir + "/backup.csv";
    TRun r = Cli({"export", csv});
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_NE(r.Output.find("Exported 3 coupon(s)"), std::string::npos) << r.Output;
    EXPECT_EQ(r.Output.find("no use count"), std::string::npos) << r.Output;
    const std::string backup = ReadWholeFile(csv);
    // The use counts and the statuses are the last two columns.
    for (const char* row : {"\n\\d+,USED1,Used,0,1,[^\r]*,1,used up\r\n",
                            "\n\\d+,FRESH1,Fresh,0,1,[^\r]*,0,active\r\n"})
        EXPECT_TRUE(std::regex_search(backup, std::regex(row))) << row << backup;
    // The code went in without its blanks; the name, a formula, is guarded.
    EXPECT_NE(backup.find(",TRIM1,'=1+2,"), std::string::npos) << backup;

    ASSERT_EQ(Cli({"delete", "all", "--yes"}).Status, 0);
    r = Cli({"import", csv});
    ASSERT_EQ(r.Status, 0) << r.Output;
    EXPECT_NE(r.Output.find("3 added, 0 refused."), std::string::npos) << r.Output;

    // The same file again, ids aside: names, use counts and all.
    const std::string again = dir + "/again.csv";
    ASSERT_EQ(Cli({"export", again}).Status, 0);
    auto withoutIds = [](const std::string& text) {
        return std::regex_replace(text, std::regex("(^|\n)\\d+,"), "$1,");
    };
    EXPECT_EQ(withoutIds(ReadWholeFile(again)), withoutIds(backup));

    EXPECT_EQ(RedeemedTo("USED1"), backend->Settings.InvalidPage);
    EXPECT_EQ(RedeemedTo("FRESH1"), page);
    EXPECT_EQ(RedeemedTo("FRESH1"), backend->Settings.InvalidPage);
    EXPECT_EQ(RedeemedTo("trim1"), page); // a coupon by days may be used again
}

// What the list with details says of each coupon, by the rule redemption
// applies, and the use count an add may restore.
TEST_P(CliBackupE2E, ListDetailsGiveEachCouponsUseCountAndStatus) {
    THTTPClient http;
    TCouponService service(http, [this] { return site; });
    const std::string page = "http://shop.example/order.php";
    const struct {
        std::string Code, Expired, Type, Days, Date, Created, Uses;
        std::string Redeem; // a code to redeem first, or ""
        std::string WantUses, WantStatus;
    } cases[] = {
        {"ONCE", "0", "1", "0", "2099-1-1", ServerDate(), "", "", "0", "active"},
        {"ONCEUSED", "0", "1", "0", "2099-1-1", ServerDate(), "", "onceused", "1", "used up"},
        {"RESTORED", "0", "1", "0", "2099-1-1", ServerDate(), "1", "", "1", "used up"},
        {"FLAGGED", "1", "3", "0", "2099-1-1", ServerDate(), "", "", "0", "expired"},
        {"DAYSLEFT", "0", "2", "3", "2099-1-1", ServerDate(-2), "", "", "0", "active"},
        {"DAYSGONE", "0", "2", "3", "2099-1-1", ServerDate(-3), "", "", "0", "expired"},
        {"DATELEFT", "0", "3", "0", ServerDate(), ServerDate(-9), "7", "", "7", "active"},
        {"DATEGONE", "0", "3", "0", ServerDate(-1), ServerDate(-9), "", "", "0", "expired"},
        {"NOLIMIT", "0", "", "0", "2099-1-1", ServerDate(), "", "NOLIMIT", "1", "active"},
    };
    for (const auto& c : cases)
        ASSERT_EQ(service.AddCoupon(CouponOf("", c.Code, "n", c.Expired, c.Type, c.Days, c.Date,
                                             page, "", c.Created, c.Uses)),
                  TCouponResult::Done)
            << c.Code << service.LastError() << service.LastServerText();
    for (const auto& c : cases) {
        if (!c.Redeem.empty()) {
            EXPECT_EQ(RedeemedTo(c.Redeem), page) << c.Code;
        }
    }
    std::vector<TCoupon> listed;
    ASSERT_TRUE(service.RefreshCoupons(
        [&](const std::string& reply) { listed = DecodeCouponList(reply, true); }, true))
        << service.LastError();
    ASSERT_EQ(listed.size(), std::size(cases));
    for (std::size_t i = 0; i < listed.size(); ++i) {
        EXPECT_EQ(listed[i].Code, cases[i].Code);
        EXPECT_EQ(listed[i].Uses ? std::to_string(*listed[i].Uses) : "", cases[i].WantUses)
            << cases[i].Code;
        EXPECT_EQ(listed[i].Status, cases[i].WantStatus) << cases[i].Code;
        EXPECT_EQ(listed[i].CreateDate, cases[i].Created) << cases[i].Code;
    }
    // Without asking, the records are as they always were.
    std::vector<TCoupon> plain;
    ASSERT_TRUE(service.RefreshCoupons(
        [&](const std::string& reply) { plain = DecodeCouponList(reply, true); }));
    ASSERT_FALSE(plain.empty());
    EXPECT_EQ(plain[0].Status, "");
    EXPECT_EQ(plain[0].CreateDate, cases[0].Created);
    // A restored use count must be a whole number.
    for (const std::string bad : {"-1", "x", "1.5", "1234567890"}) {
        EXPECT_EQ(service.AddCoupon(CouponOf("", "BAD", "n", "0", "1", "0", "2099-1-1", page, "",
                                             ServerDate(), bad)),
                  TCouponResult::Failed)
            << bad;
        EXPECT_EQ(service.LastReplyCode(), 400) << bad;
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, CliBackupE2E, ::testing::Values("MariaDB", "SQLite"),
                         [](const auto& info) { return info.param; });
