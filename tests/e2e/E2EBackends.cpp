#include "tests/e2e/E2EBackends.h"

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
    slot = std::move(b);
    return *slot;
}

std::string ServerDate(int days) {
    std::time_t t = std::time(nullptr) + static_cast<std::time_t>(days) * 86400;
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    return std::to_string(tm.tm_year + 1900) + "-" + std::to_string(tm.tm_mon + 1) + "-" +
           std::to_string(tm.tm_mday);
}

} // namespace quillory::e2e
