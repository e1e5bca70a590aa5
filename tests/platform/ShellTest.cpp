#include "platform/Shell.h"
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

TEST(ShellTest, ParameterTextSplitsAtBlanksAndQuotesGroup) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitParameterText("http://a/b c"), (V{"http://a/b", "c"}));
    EXPECT_EQ(SplitParameterText("  \"C:\\Program Files\\x\"  1.01 A "),
              (V{"C:\\Program Files\\x", "1.01", "A"}));
    EXPECT_EQ(SplitParameterText(""), V{});
    EXPECT_EQ(SplitParameterText("\"\""), V{""});
}

TEST(ShellTest, StartsProgramWithoutWaitingAndPassesArguments) {
    fs::path dir = fs::temp_directory_path() / ("quillory-shell-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path script = dir / "fake-browser";
    fs::path out = dir / "args.txt";
    fs::path go = dir / "go";
    // The program waits for the test's signal (giving up after 30 s) and
    // records whether it came: a StartProgram that waited for the program to
    // end could only return after the program gave up.
    WriteWholeFile(script.string(), "#!/bin/sh\ni=0\nwhile [ ! -e '" + go.string() +
                                        "' ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done\n"
                                        "{ for a in \"$@\"; do echo \"[$a]\"; done; [ -e '" +
                                        go.string() + "' ] && echo released; } > '" + out.string() +
                                        ".part'\nmv '" + out.string() + ".part' '" + out.string() +
                                        "'\n");
    fs::permissions(script, fs::perms::owner_all);

    ASSERT_TRUE(StartProgram(script.string(), "http://x/a b"));
    // It returned while the program was still waiting.
    EXPECT_FALSE(fs::exists(out));
    WriteWholeFile(go.string(), "");
    for (int i = 0; i < 3000 && !fs::exists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(out));
    EXPECT_EQ(ReadWholeFile(out.string()), "[http://x/a]\n[b]\nreleased\n");
    fs::remove_all(dir);
}

TEST(ShellTest, MissingProgramIsReportedNotThrown) {
    EXPECT_FALSE(StartProgram("/nonexistent/browser", "x"));
    EXPECT_EQ(FindExecutable("no-such-program-quillory"), "");
}

TEST(ShellTest, BrowserComesFromBrowserVariableFirst) {
    const char* old = std::getenv("BROWSER");
    std::string saved = old ? old : "";
    ::setenv("BROWSER", "no-such-browser-x:sh", 1);
    EXPECT_EQ(FindDefaultBrowserCommand(), FindExecutable("sh"));
    if (old)
        ::setenv("BROWSER", saved.c_str(), 1);
    else
        ::unsetenv("BROWSER");
}

TEST(ShellTest, AddressNeverReachesALauncherAsAnOption) {
    using V = std::vector<std::string>;
    struct {
        const char* Launcher;
        const char* Address;
        V Expected;
    } cases[] = {
        {"/usr/bin/xdg-open", "http://shop.example/", V{"http://shop.example/"}},
        {"/usr/bin/xdg-open", "-P evil", V{}},
        {"/usr/bin/xdg-open", "--new-window", V{}},
        {"/usr/bin/sensible-browser", "-x", V{}},
        {"/usr/bin/firefox", "https://a.example/", V{"https://a.example/"}},
        {"/usr/bin/chromium", "https://a.example/", V{"--", "https://a.example/"}},
        {"/usr/bin/chromium", "--incognito", V{"--", "--incognito"}},
        {"google-chrome", "mailto:a@b.example", V{"--", "mailto:a@b.example"}},
        {"/opt/chromium-evil/xdg-open", "-x", V{}}, // the program's name counts, not its folder
        {"/usr/bin/xdg-open", "", V{}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BrowserArguments(c.Launcher, c.Address), c.Expected)
            << c.Launcher << " " << c.Address;
}

TEST(ShellTest, ArgumentsGivenOneByOneArriveUnchanged) {
    fs::path dir =
        fs::temp_directory_path() / ("quillory-shell-args-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path script = dir / "recorder";
    fs::path out = dir / "args.txt";
    WriteWholeFile(script.string(),
                   "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > '" + out.string() +
                       ".part'\nmv '" + out.string() + ".part' '" + out.string() + "'\n");
    fs::permissions(script, fs::perms::owner_all);
    const std::vector<std::string> args = {"--", "http://a.example/\" -P \"evil", "a b", "", "-x"};
    ASSERT_TRUE(StartProgramWithArguments(script.string(), args));
    for (int i = 0; i < 500 && !fs::exists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(out));
    EXPECT_EQ(ReadWholeFile(out.string()), "[--][http://a.example/\" -P \"evil][a b][][-x]");
    fs::remove_all(dir);
}

} // namespace

namespace {

// Folders open through xdg-open with their file:// address, and only folders
// of this machine that exist.
TEST(ShellTest, OnlyExistingLocalFoldersOpenAsFileAddresses) {
    EXPECT_EQ(FileURL("/home/ann/.config/quillory/"), "file:///home/ann/.config/quillory/");
    EXPECT_EQ(FileURL("/srv/my shop/50%#?"), "file:///srv/my%20shop/50%25%23%3F");

    fs::path dir = fs::temp_directory_path() / ("quillory-open-" + std::to_string(::getpid()));
    fs::path folder = dir / "data folder";
    fs::create_directories(folder);
    fs::path out = dir / "args.txt";
    WriteWholeFile((dir / "xdg-open").string(),
                   "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > '" + out.string() +
                       ".part'\nmv '" + out.string() + ".part' '" + out.string() + "'\n");
    fs::permissions(dir / "xdg-open", fs::perms::owner_all);
    WriteWholeFile((dir / "a file").string(), "");
    const char* old = std::getenv("PATH");
    const std::string saved = old ? old : "";
    ::setenv("PATH", (dir.string() + ":" + saved).c_str(), 1);
    for (const std::string& refused : {std::string(), std::string("data folder"),
                                       (dir / "missing").string(), (dir / "a file").string()})
        EXPECT_FALSE(OpenFolder(refused)) << refused;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_TRUE(OpenFolder(folder.string()));
    ::setenv("PATH", saved.c_str(), 1);
    for (int i = 0; i < 500 && !fs::exists(out); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ReadWholeFile(out.string()), "[" + FileURL(folder.string()) + "]");
    fs::remove_all(dir);
}

} // namespace
