#include "app/UUtils.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

using namespace quillory;
namespace fs = std::filesystem;

namespace {

TStringList Split(char d, const std::string& text) {
    TStringList list{"left over"};
    SplitText(d, text, list);
    return list;
}

TEST(SplitTextTest, KeepsInnerAndLeadingEmptyPiecesDropsTrailingOne) {
    using L = TStringList;
    EXPECT_EQ(Split(',', "a,b,c"), (L{"a", "b", "c"}));
    EXPECT_EQ(Split(',', "a,,b"), (L{"a", "", "b"}));
    EXPECT_EQ(Split(',', "a,b,"), (L{"a", "b"}));
    EXPECT_EQ(Split(',', ",a"), (L{"", "a"}));
    EXPECT_EQ(Split(',', ""), L{});
    EXPECT_EQ(Split(',', ","), L{""});
    EXPECT_EQ(Split('-', "2008-5-18"), (L{"2008", "5", "18"}));
    EXPECT_EQ(Split('^', std::string("a\0b^c", 5)), (L{std::string("a\0b", 3), "c"}));
}

class OpenURLTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* v : {"BROWSER", "PATH"}) {
            const char* old = std::getenv(v);
            saved.emplace_back(v, old ? std::optional<std::string>(old) : std::nullopt);
        }
        dir = fs::temp_directory_path() / ("quillory-openurl-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override {
        for (auto& [name, value] : saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        fs::remove_all(dir);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    fs::path dir;
};

TEST_F(OpenURLTest, StartsTheBrowserWithTheAddressAsParameterText) {
    fs::path browser = dir / "Fake Browser";
    fs::path out = dir / "args.txt";
    WriteWholeFile(browser.string(), "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done > '" +
                                         out.string() + ".part'\nmv '" + out.string() + ".part' '" +
                                         out.string() + "'\n");
    fs::permissions(browser, fs::perms::owner_all);
    ::setenv("BROWSER", ("\"" + browser.string() + "\"").c_str(), 1);
    EXPECT_EQ(OpenURL("http://shop.example/a b"), 1);
    for (int i = 0; i < 300 && !fs::exists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(out));
    // Unquoted: an address holding a blank reaches the browser as two arguments.
    EXPECT_EQ(ReadWholeFile(out.string()), "[http://shop.example/a]\n[b]\n");
}

TEST_F(OpenURLTest, NoBrowserFoundReturnsZero) {
    ::unsetenv("BROWSER");
    ::setenv("PATH", dir.c_str(), 1);
    EXPECT_EQ(OpenURL("http://shop.example/"), 0);
}

} // namespace
