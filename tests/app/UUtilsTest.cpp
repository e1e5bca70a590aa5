#include "app/UUtils.h"
#include "AppFixture.h"
#include "platform/FileSystem.h"

#include <QImage>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
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

// Each address handed to a stand-in browser that writes the arguments it got,
// one "[...]" each, to a file of its own. Refused addresses start nothing.
TEST_F(OpenURLTest, OnlyWebAndMailAddressesReachTheBrowserAsOneArgument) {
    fs::path browser = dir / "Fake Browser";
    fs::path out = dir / "args.txt";
    WriteWholeFile(browser.string(),
                   "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done > '" + out.string() +
                       ".part'\nmv '" + out.string() + ".part' '" + out.string() + "'\n");
    fs::permissions(browser, fs::perms::owner_all);
    ::setenv("BROWSER", ("\"" + browser.string() + "\"").c_str(), 1);
    struct {
        std::string Address;
        std::string Received;
    } cases[] = {
        {"http://shop.example/deal?id=7", "[http://shop.example/deal?id=7]"},
        {"HTTPS://Shop.Example/x", "[HTTPS://Shop.Example/x]"},
        {"mailto:seller@shop.example", "[mailto:seller@shop.example]"},
        {"MailTo:a@b.example?subject=Hi there", "[MailTo:a@b.example?subject=Hi%20there]"},
        // Blanks and quotes cannot split the address into options.
        {"http://a.example/\" -P \"evil", "[http://a.example/%22%20-P%20%22evil]"},
        {"http://a.example/x --new-window file:///etc/passwd",
         "[http://a.example/x%20--new-window%20file:///etc/passwd]"},
        {"http://a.example/\r\n\t<x>", "[http://a.example/%0D%0A%09%3Cx%3E]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Address);
        fs::remove(out);
        EXPECT_EQ(OpenURL(c.Address), 1);
        EXPECT_TRUE(IsOpenableURL(c.Address));
        for (int i = 0; i < 500 && !fs::exists(out); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(fs::exists(out));
        EXPECT_EQ(ReadWholeFile(out.string()), c.Received);
    }
    // Refused: nothing is started.
    for (const char* refused :
         {"file:///etc/passwd", "javascript:alert(1)", "ftp://files.example/", "--new-window",
          " http://shop.example/", "shop.example", "x-http://shop.example/", "http:shop.example",
          "http://", "http:///etc/passwd", "https:// -P", "mailto:", ""}) {
        EXPECT_EQ(OpenURL(refused), 0) << refused;
        EXPECT_FALSE(IsOpenableURL(refused)) << refused;
    }
}

// The reseller's links, banner address and affiliate id from dbconfig.dat,
// clicked in the window: each reaches the browser as one address.
class BrandedLinksTest : public quillory::test::AppFixture {};

TEST_F(BrandedLinksTest, HostileBrandingValuesStayOneAddress) {
    // The stand-in browser appends one line per start: its arguments, each in [].
    const std::string browser = File("browser");
    WriteWholeFile(browser, "#!/bin/sh\nline=''\nfor a in \"$@\"; do line=\"$line[$a]\"; done\n"
                            "printf '%s\\n' \"$line\" >> '" +
                                File("opened.log") + "'\n");
    fs::permissions(browser, fs::perms::owner_all);
    const QByteArray oldBrowser = qgetenv("BROWSER");
    qputenv("BROWSER", QByteArray::fromStdString(browser));
    const std::string help = "[http://www.quillory.com/help/]";
    struct {
        const char* Config;   // the lines of section "Settings"
        const char* Control;  // what is clicked
        std::string Received; // empty: refused, no browser started
    } cases[] = {
        {"AfiliateID=x --new-window file:///etc/passwd\r\n", "btnMakeMoney",
         "[http://www.quillory.com/affiliates/x%20--new-window%20file%3A%2F%2F%2Fetc%2Fpasswd]"},
        {"Link1URL=http://a.example/\" -P \"evil\r\nLink1Name=Deals\r\n", "lblLink1URL",
         "[http://a.example/%22%20-P%20%22evil]"},
        {"Link1URL=file:///etc/passwd\r\nLink1Name=Deals\r\n", "lblLink1URL", ""},
        {"BannerPath1=b.bmp\r\nBannerURL1=javascript:alert(1)\r\n", "imgBanner", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Config);
        fs::remove(File("opened.log"));
        WriteWholeFile(File("dbconfig.dat"), std::string("[Settings]\r\n") + c.Config);
        QImage(60, 20, QImage::Format_RGB32)
            .save(QString::fromStdString(File("dbimg1.dat")), "BMP");
        quillory::test::QuietMain main;
        main.show();
        auto* target = main.findChild<QWidget*>(QLatin1String(c.Control));
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(3, 3));
        TStringList expected{help};
        if (!c.Received.empty())
            expected.push_back(c.Received);
        std::sort(expected.begin(), expected.end());
        const auto opened = [&] {
            TStringList lines;
            if (FileExists(File("opened.log")))
                SplitText('\n', ReadWholeFile(File("opened.log")), lines);
            std::sort(lines.begin(), lines.end());
            return lines;
        };
        // Help opens a known address after the click: once it arrived with
        // the starts expected, the click has had its turn too.
        QTest::mouseClick(main.findChild<QWidget*>("btnHelp"), Qt::LeftButton);
        (void)QTest::qWaitFor(
            [&] {
                const TStringList lines = opened();
                return lines.size() >= expected.size() &&
                       std::find(lines.begin(), lines.end(), help) != lines.end();
            },
            5000);
        EXPECT_EQ(opened(), expected);
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    qputenv("BROWSER", oldBrowser);
}

TEST(PercentEncodeTest, KeepsOnlyUnreservedCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"abcXYZ019-._~", "abcXYZ019-._~"},
        {"x --new-window file:///etc/passwd", "x%20--new-window%20file%3A%2F%2F%2Fetc%2Fpasswd"},
        {"a&b=c#d?e", "a%26b%3Dc%23d%3Fe"},
        {"100%", "100%25"},
        {"\xC3\xA9\"", "%C3%A9%22"},
        {std::string("\0\x7f", 2), "%00%7F"},
    };
    for (const auto& [value, encoded] : cases)
        EXPECT_EQ(PercentEncode(value), encoded) << value;
}

TEST_F(OpenURLTest, NoBrowserFoundReturnsZero) {
    ::unsetenv("BROWSER");
    ::setenv("PATH", dir.c_str(), 1);
    EXPECT_EQ(OpenURL("http://shop.example/"), 0);
}

} // namespace
