#include "tests/e2e/E2EBackends.h"

#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <unistd.h>

namespace quillory::e2e {

namespace {

std::map<std::string, std::unique_ptr<TBackend>>& Backends() {
    static std::map<std::string, std::unique_ptr<TBackend>> backends;
    return backends;
}

// Stops every server when the test program ends.
class TBackendEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        for (auto& [name, b] : Backends()) {
            b->Php.Stop();
            if (b->Database)
                b->Database->Stop();
        }
        Backends().clear();
        // The servers' data stays for a look after a failure only.
        if (::testing::UnitTest::GetInstance()->Passed()) {
            const std::string prefix = std::to_string(::getpid()) + "-";
            std::error_code ec;
            for (const auto& entry : std::filesystem::directory_iterator(DataDir(), ec))
                if (entry.path().filename().string().rfind(prefix, 0) == 0)
                    std::filesystem::remove_all(entry.path(), ec);
        }
    }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new TBackendEnvironment);

// Forgets the failed redemptions and logins of earlier tests before each
// test, so that no test is refused because others (all from 127.0.0.1)
// guessed wrong.
class TThrottleReset : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override {
        for (auto& [name, b] : Backends()) {
            try {
                RunSql(*b, "DELETE FROM redemption_failures; DELETE FROM login_failures");
            } catch (const std::exception& e) {
                ADD_FAILURE() << name << ": " << e.what();
            }
        }
    }
};

struct TThrottleResetInstaller {
    TThrottleResetInstaller() {
        ::testing::UnitTest::GetInstance()->listeners().Append(new TThrottleReset);
    }
} const kThrottleResetInstaller;

} // namespace

TBackend& Backend(const std::string& name) {
    auto& slot = Backends()[name];
    if (slot)
        return *slot;
    auto b = std::make_unique<TBackend>();
    b->Name = name;
    const std::string dir = MakeScratchDir(name);
    if (name == "MariaDB") {
        b->Database = std::make_unique<TMariaDbServer>();
        b->Database->Start(dir);
        b->Database->SqlFile(SourceDir() + "/server/schema.sql");
        b->Settings.Hostname = "127.0.0.1:" + std::to_string(b->Database->Port);
        b->Settings.Database = b->Database->Database;
        b->Settings.Username = b->Database->User;
        b->Settings.Password = b->Database->Password;
    } else if (name == "SQLite") {
        b->Settings.Dsn = "sqlite:" + dir + "/coupons.sqlite";
    } else {
        throw std::invalid_argument("unknown backend " + name);
    }
    b->Php.Start(dir, b->Settings, 8);
    // The first request creates SQLite's tables.
    const THttpReply ready = HttpPost(
        b->Php.Port, "/couponsactions.php", "application/x-www-form-urlencoded", "action=1",
        30000ms, {},
        "Authorization: " + BasicAuthorization(b->Settings.AdminUser, b->Settings.AdminPassword) +
            "\r\n");
    if (ready.Body != "OK")
        throw std::runtime_error(name + " coupon service is not ready: " + ready.Head + ready.Body);
    slot = std::move(b);
    return *slot;
}

void RunSql(TBackend& b, const std::string& sql) {
    if (b.Database) {
        b.Database->Sql(sql, b.Database->Database);
        return;
    }
    const std::string log = DataDir() + "/" + std::to_string(::getpid()) + "-sqlite-sql.log";
    if (RunProgram({"php", "-r",
                    "$db = new PDO($argv[1]); $db->setAttribute(PDO::ATTR_TIMEOUT, 30);"
                    "$db->setAttribute(PDO::ATTR_ERRMODE, PDO::ERRMODE_EXCEPTION);"
                    "$db->exec($argv[2]);",
                    "--", b.Settings.Dsn, sql},
                   log, 30000ms) != 0)
        throw std::runtime_error("SQL failed on SQLite: " + sql);
}

std::string QueryValue(TBackend& b, const std::string& sql) {
    std::string out;
    if (b.Database) {
        out = b.Database->Query(sql, b.Database->Database);
    } else {
        const std::string log = DataDir() + "/" + std::to_string(::getpid()) + "-sqlite-query.txt";
        std::filesystem::remove(log);
        if (RunProgram({"php", "-r",
                        "$db = new PDO($argv[1]);"
                        "$db->setAttribute(PDO::ATTR_ERRMODE, PDO::ERRMODE_EXCEPTION);"
                        "echo $db->query($argv[2])->fetchColumn(), \"\\n\";",
                        "--", b.Settings.Dsn, sql},
                       log, 30000ms) != 0)
            throw std::runtime_error("query failed on SQLite: " + sql);
        out = ReadWholeFile(log);
    }
    // The value is the last line (MariaDB prints the column name first).
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out.substr(out.rfind('\n') + 1);
}

std::string ServerDate(int days) {
    std::time_t t = std::time(nullptr) + static_cast<std::time_t>(days) * 86400;
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    return std::to_string(tm.tm_year + 1900) + "-" + std::to_string(tm.tm_mon + 1) + "-" +
           std::to_string(tm.tm_mday);
}

} // namespace quillory::e2e
