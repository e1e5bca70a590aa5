#include "app/ServerSettingsScript.h"
#include "platform/FileSystem.h"
#include "platform/Shell.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

using namespace quillory;
namespace fs = std::filesystem;

namespace {

TEST(ServerSettingsScriptTest, AllEmptyGivesSevenCrLfLines) {
    EXPECT_EQ(BuildServerSettingsScript({}), "<?php\r\n"
                                             "  $hostname=\"\";\r\n"
                                             "  $database=\"\";\r\n"
                                             "  $username=\"\";\r\n"
                                             "  $password=\"\";\r\n"
                                             "  $invalidpage=\"\";\r\n"
                                             "?>\r\n");
}

TEST(ServerSettingsScriptTest, QuotesDollarsAndBackslashesAreEscaped) {
    TServerSettings s;
    s.HostName = "db.example:3307";
    s.Password = "p\"a$b\\c";
    const std::string script = BuildServerSettingsScript(s);
    EXPECT_NE(script.find("  $hostname=\"db.example:3307\";\r\n"), std::string::npos);
    EXPECT_NE(script.find("  $password=\"p\\\"a\\$b\\\\c\";\r\n"), std::string::npos);
}

// Runs PHP on the generated file and checks every value comes back exactly.
TEST(ServerSettingsScriptTest, PhpReadsEveryValueBackExactly) {
    if (FindExecutable("php").empty())
        GTEST_SKIP() << "php is not installed";
    TServerSettings s;
    s.HostName = "127.0.0.1:3306";
    s.Database = "shop's \"db\"";
    s.UserName = "$user {$x} ${y}";
    s.Password = "p\"a$b\\c\\\\\\n\\x41\\u{41}\\";
    s.InvalidPage = "http://shop.example/bad.html?a=1&b=\xe9";
    fs::path dir = fs::temp_directory_path() / ("quillory-php-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "coupsettings.php").string();
    WriteWholeFile(file, BuildServerSettingsScript(s));
    const std::string cmd = "php -r 'include $argv[1]; foreach ([$hostname,$database,$username,"
                            "$password,$invalidpage] as $v) echo bin2hex($v), \"\\n\";' '" +
                            file + "'";
    FILE* p = ::popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    EXPECT_EQ(::pclose(p), 0);
    fs::remove_all(dir);
    auto hex = [](const std::string& v) {
        static const char* digits = "0123456789abcdef";
        std::string h;
        for (unsigned char c : v) {
            h += digits[c >> 4];
            h += digits[c & 15];
        }
        return h + "\n";
    };
    EXPECT_EQ(out, hex(s.HostName) + hex(s.Database) + hex(s.UserName) + hex(s.Password) +
                       hex(s.InvalidPage));
}

} // namespace
