// The update check as the user sees it, against a scripted update folder on
// loopback, with a stand-in updater program that records its arguments.
#include "windows/UpdateDialogs.h"

#include "http/AntiFreeze.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/ModalHelper.h"
#include "tests/support/UpdateFolderServer.h"

#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

using namespace quillory;
using quillory::test::AnswerNextModal;
using quillory::testsupport::TLoopbackServer;
using quillory::testsupport::TScriptedServer;
using quillory::testsupport::TServerConnection;
using quillory::testsupport::TUpdateFolderServer;

namespace {

std::string Reply(const std::string& status, const std::string& body) {
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

std::string DescriptorText(const std::string& version) {
    return "[APPLICATION]\r\nName=Quillory\r\nVersion=" + version + "\r\n";
}

std::string Descriptor(const std::string& version) {
    return Reply("200 OK", DescriptorText(version));
}

// One key pair for the whole run: the tests never need the maker's key.
const TUpdateKeyPair& TestKeys() {
    static const TUpdateKeyPair keys = GenerateUpdateKeyPair();
    return keys;
}

// An update folder answering the descriptor and its signature file.
std::map<std::string, TUpdateFolderServer::TAnswer> Folder(TUpdateFolderServer::TAnswer descriptor,
                                                           const std::string& signature) {
    return {{"mainappupdate.inf", std::move(descriptor)},
            {"mainappupdate.inf.sig", TUpdateFolderServer::Reply("200 OK", signature)}};
}

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("quillory-update-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        SetProgramFolder(folder.string());
        http.SetReadTimeout(2000);
        checker.SetFormatSettings(TFormatSettings::EnglishUS());
        checker.SetPublicKey(TestKeys().PublicPem);
    }
    void TearDown() override {
        ::unsetenv("QUILLORY_UPDATE_URL");
        SetProgramFolder({});
        std::filesystem::remove_all(folder);
    }
    void UseServer(const TLoopbackServer& server) {
        ::setenv("QUILLORY_UPDATE_URL", server.Url("/updates/").c_str(), 1);
    }
    // Answers the coming dialogs in order with the given modal results,
    // recording what each showed.
    void Answer(std::vector<int> results) {
        if (results.empty())
            return;
        AnswerNextModal([this, results](QWidget* w) {
            auto* form = static_cast<TSkinMessageForm*>(w);
            QString text;
            for (auto* label : form->findChildren<TSkinStdLabel*>())
                text += label->Caption();
            shown.push_back(text.toLocal8Bit().toStdString());
            Answer(std::vector<int>(results.begin() + 1, results.end()));
            form->SetModalResult(results.front());
        });
    }
    // A stand-in updater that writes its arguments, one per line, beside itself.
    void InstallUpdater() {
        const std::string path = (folder / "Updater").string();
        std::ofstream(path)
            << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args.tmp\"\n"
               "mv \"$(dirname \"$0\")/args.tmp\" \"$(dirname \"$0\")/updater-args.txt\"\n";
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }
    std::string Args() {
        const std::string path = (folder / "updater-args.txt").string();
        if (!QTest::qWaitFor([&] { return FileExists(path); }, 5000))
            return "<not started>";
        return FileExists(path) ? ReadWholeFile(path) : "<not started>";
    }
    std::string DescriptorPath() const { return (folder / "mainappupdate.inf").string(); }
    // One check against a folder answering the descriptor with `reply`, signed
    // by the test key (none listening when empty), the dialogs answered with
    // `answers`; returns the texts shown.
    std::vector<std::string> Check(const std::string& reply, bool silent, std::vector<int> answers,
                                   char separator = '.') {
        const std::size_t head = reply.find("\r\n\r\n");
        const std::string body = head == std::string::npos ? "" : reply.substr(head + 4);
        TUpdateFolderServer server(Folder({TUpdateFolderServer::TAnswer::Bytes, reply, true},
                                          SignUpdateDescriptor(TestKeys().PrivatePem, body)));
        const int port = reply.empty() ? TLoopbackServer::UnusedPort() : 0;
        folderURL = port ? "http://127.0.0.1:" + std::to_string(port) + "/" : server.Folder();
        ::setenv("QUILLORY_UPDATE_URL", folderURL.c_str(), 1);
        TFormatSettings fs = TFormatSettings::EnglishUS();
        fs.DecimalSeparator = separator;
        checker.SetFormatSettings(fs);
        shown.clear();
        Answer(std::move(answers));
        checker.CheckForUpdates(silent);
        if (!port) {
            EXPECT_EQ(server.Lines().at(0), "GET /updates/mainappupdate.inf HTTP/1.1");
        }
        return shown;
    }

    std::filesystem::path folder;
    TAntiFreeze antiFreeze; // waits pump the event loop, as in the program
    THTTPClient http;
    TSkinMessage messages;
    int closed = 0;
    TUpdateChecker checker{http, messages, [this] { ++closed; }};
    std::vector<std::string> shown;
    std::string folderURL;
};

TEST(UpdateValues, VersionAndAddressFormats) {
    EXPECT_EQ(FormatVersionNumber(VersionNumber, '.'), "1.00999999046326");
    EXPECT_EQ(FormatVersionNumber(VersionNumber, ','), "1,00999999046326");
    EXPECT_EQ(FormatVersionNumber(2.0f, '.'), "2");
    ::unsetenv("QUILLORY_UPDATE_URL");
    EXPECT_EQ(UpdateBaseAddress(), UpdateBaseURL);
    ::setenv("QUILLORY_UPDATE_URL", "", 1);
    EXPECT_EQ(UpdateBaseAddress(), UpdateBaseURL);
    ::unsetenv("QUILLORY_UPDATE_URL");

    struct {
        const char* Text;
        char Separator;
        bool Ok;
        double Value;
    } cases[] = {{"1.02", '.', true, 1.02}, {"1,02", '.', false, 0}, {"1,02", ',', true, 1.02},
                 {"1.02", ',', false, 0},   {"2", '.', true, 2},     {" 2.5 ", '.', true, 2.5},
                 {"-1.5", '.', true, -1.5}, {"1e1", '.', true, 10},  {"", '.', false, 0},
                 {"abc", '.', false, 0},    {"1.0x", '.', false, 0}, {".", '.', false, 0},
                 {"1.", '.', true, 1},      {"1e", '.', false, 0}};
    for (const auto& c : cases) {
        double v = 0;
        EXPECT_EQ(TextToFloat(c.Text, c.Separator, v), c.Ok) << c.Text;
        if (c.Ok) {
            EXPECT_DOUBLE_EQ(v, c.Value) << c.Text;
        }
    }
}

TEST_F(UpdateCheckTest, OnlyAStrictlyNewerVersionIsOffered) {
    const std::pair<const char*, char> offered[] = {{"1.02", '.'}, {"1,02", ','}, {"2", '.'}};
    const std::pair<const char*, char> notOffered[] = {
        {"1.01", '.'}, {"1,02", '.'}, {"1.02", ','}, {"", '.'}, {"1.00", '.'}};
    for (const auto& [version, separator] : offered)
        EXPECT_EQ(Check(Descriptor(version), false, {mrCancel}, separator),
                  std::vector<std::string>{NewUpdateOfferText(version)})
            << version;
    for (const auto& [version, separator] : notOffered)
        EXPECT_EQ(Check(Descriptor(version), false, {mrCancel}, separator),
                  std::vector<std::string>{NoUpdateText})
            << version;
    EXPECT_EQ(closed, 0);
    // The descriptor stays beside the program until the next check.
    EXPECT_TRUE(FileExists(DescriptorPath()));
    EXPECT_EQ(NewUpdateOfferText("1.02"),
              "There is a new update: (version 1.02) available for your application!. Do you "
              "want download this update now?");
}

TEST_F(UpdateCheckTest, SilentCheckSpeaksOnlyOfANewerVersion) {
    EXPECT_TRUE(Check(Descriptor("1.01"), true, {}).empty());
    EXPECT_TRUE(Check("", true, {}).empty()); // nothing listens
    EXPECT_FALSE(FileExists(DescriptorPath()));
    EXPECT_EQ(Check(Descriptor("1.02"), true, {mrCancel}),
              std::vector<std::string>{NewUpdateOfferText("1.02")});
}

TEST_F(UpdateCheckTest, FailedDownloadDeletesTheOldDescriptor) {
    std::ofstream(DescriptorPath()) << "[APPLICATION]\r\nVersion=9\r\n"; // stale, newer
    EXPECT_EQ(Check(Reply("404 Not Found", "gone"), false, {mrOk}),
              std::vector<std::string>{NoUpdateText});
    EXPECT_FALSE(FileExists(DescriptorPath()));
}

TEST_F(UpdateCheckTest, HandOffStartsTheUpdaterAndClosesTheProgram) {
    const std::vector<std::string> missing = {NewUpdateOfferText("1.02"), UpdaterMissingText};
    EXPECT_EQ(Check(Descriptor("1.02"), false, {mrOk, mrOk}), missing);
    EXPECT_EQ(closed, 0);

    InstallUpdater();
    // The dialog shows the stored LF CR as one line break.
    const std::string warning = "To update your software the application will close to\nreplace "
                                "some files. Do you want to update now?";
    EXPECT_EQ(Check(Descriptor("2"), false, {mrOk, mrCancel}).at(1), warning);
    EXPECT_EQ(closed, 0);
    QTest::qWait(100);
    EXPECT_FALSE(FileExists((folder / "updater-args.txt").string()));

    EXPECT_EQ(Check(Descriptor("1.02"), false, {mrOk, mrOk}).at(1), warning);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(Args(), folderURL + "\n1.00999999046326\nA\n");
}

TEST_F(UpdateCheckTest, InstalledProgramOpensTheDownloadPageInstead) {
    const std::string withPage =
        Reply("200 OK", DescriptorText("2") + "DownloadURL=https://q.example/get\r\n");
    std::vector<std::string> opened;
    checker.OnOpenDownloadPage = [&](const std::string& url) { opened.push_back(url); };
    // No updater: the offer, then the page; the program stays open.
    EXPECT_EQ(Check(withPage, false, {mrOk}), std::vector<std::string>{NewUpdateOfferText("2")});
    EXPECT_EQ(opened, std::vector<std::string>{"https://q.example/get"});
    // Declined: nothing opens.
    EXPECT_EQ(Check(withPage, false, {mrCancel}).size(), 1u);
    EXPECT_EQ(opened.size(), 1u);
    // No page named: the updater is missing, as before.
    EXPECT_EQ(Check(Descriptor("2"), false, {mrOk, mrOk}).at(1), UpdaterMissingText);
    // An updater beside the program is still used.
    InstallUpdater();
    EXPECT_EQ(Check(withPage, false, {mrOk, mrOk}).size(), 2u);
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(closed, 1);
    EXPECT_NE(Args(), "<not started>");
}

TEST_F(UpdateCheckTest, DescriptorThatCannotBeCreatedReachesTheCaller) {
    // A folder in the descriptor's place: the file cannot be created.
    std::filesystem::create_directories(folder / "mainappupdate.inf" / "keep");
    TUpdateFolderServer server(
        Folder(TUpdateFolderServer::Reply("200 OK", DescriptorText("2")),
               SignUpdateDescriptor(TestKeys().PrivatePem, DescriptorText("2"))));
    ::setenv("QUILLORY_UPDATE_URL", server.Folder().c_str(), 1);
    try {
        checker.CheckForUpdates(true);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("mainappupdate.inf"), std::string::npos) << e.what();
    }
    // The file is created only once both files came and the signature held.
    EXPECT_EQ(server.Lines().size(), 2u);
}

TEST_F(UpdateCheckTest, CheckAskedForDuringARequestIsDropped) {
    TLoopbackServer server([](TServerConnection& c) {
        c.ReadRequest();
        QThread::msleep(300); // a slow update server
        c.Send(Descriptor("1.01"));
        c.Close();
    });
    UseServer(server);
    int innerDone = 0;
    QTimer::singleShot(100, [&] {
        checker.CheckForUpdates(false); // while the first one waits
        ++innerDone;
    });
    Answer({mrOk});
    checker.CheckForUpdates(false);
    EXPECT_EQ(innerDone, 1);
    ASSERT_EQ(shown.size(), 1u); // only the first check's message
    // The first check's descriptor and signature requests, nothing more.
    EXPECT_EQ(server.ConnectionCount(), 2);
}

// What the update folder serves for one check, and what must follow.
struct TFolderCase {
    const char* Name;
    std::map<std::string, TUpdateFolderServer::TAnswer> Files;
    std::string Kept; // the descriptor kept beside the program, 1.02 offered (none: not taken)
};

TEST_F(UpdateCheckTest, DescriptorIsTakenOnlyWhenWholeAndSigned) {
    using A = TUpdateFolderServer;
    const std::string good = DescriptorText("1.02");
    const std::string sig = SignUpdateDescriptor(TestKeys().PrivatePem, good);
    std::string atLimit = good + ";";
    atLimit.resize(kMaxUpdateDescriptorSize, 'x');
    const auto ok = [](const std::string& body) { return A::Reply("200 OK", body); };
    // The signature's own faults are the signature check's test; here, what
    // reaches the check and what a refusal leaves behind.
    const std::vector<TFolderCase> cases = {
        {"good signature", Folder(ok(good), sig), good},
        {"descriptor of exactly the limit",
         Folder(ok(atLimit), SignUpdateDescriptor(TestKeys().PrivatePem, atLimit)), atLimit},
        {"no signature file", {{"mainappupdate.inf", ok(good)}}, ""},
        {"empty signature file", Folder(ok(good), ""), ""},
        {"descriptor changed after signing", Folder(ok(DescriptorText("9.99")), sig), ""},
        {"signature that is not Base64", Folder(ok(good), std::string(88, '!')), ""},
        {"one byte over the limit",
         Folder(ok(atLimit + "x"), SignUpdateDescriptor(TestKeys().PrivatePem, atLimit)), ""},
        {"100 MiB descriptor with its length stated", Folder(A::Endless(true), sig), ""},
        {"100 MiB descriptor sent until the connection closes", Folder(A::Endless(false), sig), ""},
    };
    for (const bool silent : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.Name) + (silent ? ", silent" : ", asked"));
            // A stale copy that would offer an update must never be read.
            std::ofstream(DescriptorPath()) << "[APPLICATION]\r\nVersion=7\r\n";
            TUpdateFolderServer server(c.Files);
            ::setenv("QUILLORY_UPDATE_URL", server.Folder().c_str(), 1);
            shown.clear();
            Answer({mrCancel});
            checker.CheckForUpdates(silent);
            std::vector<std::string> expected;
            if (!c.Kept.empty())
                expected = {NewUpdateOfferText("1.02")};
            else if (!silent)
                expected = {NoUpdateText};
            EXPECT_EQ(shown, expected);
            ASSERT_EQ(FileExists(DescriptorPath()), !c.Kept.empty());
            if (!c.Kept.empty()) {
                EXPECT_EQ(ReadWholeFile(DescriptorPath()), c.Kept);
            }
            // However large the descriptor claimed to be, the program hung up
            // long before the end.
            EXPECT_LT(server.EndlessBytesSent(), TUpdateFolderServer::EndlessLimit);
            // The client is left as it was for the coupon requests.
            EXPECT_EQ(http.MaxBodySize, kDefaultMaxBodySize);
            EXPECT_EQ(http.ReadTimeout(), 2000);
            EXPECT_EQ(http.ExchangeTimeout, kDefaultExchangeTimeout);
            QTest::qWait(0); // lets a dialog still queued show (it would be counted next time)
        }
    }
}

TEST_F(UpdateCheckTest, SilentCheckGivesUpInTimeForBothFiles) {
    // No read time-out of its own: only the silent check's limit ends the wait.
    http.SetReadTimeout(0);
    checker.SetSilentTimeLimit(300);
    const std::string good = DescriptorText("1.02");
    using A = TUpdateFolderServer;
    const std::map<std::string, A::TAnswer> cases[] = {
        {{"mainappupdate.inf", A::Silent()}},
        {{"mainappupdate.inf", A::Reply("200 OK", good)}, {"mainappupdate.inf.sig", A::Silent()}},
    };
    for (const auto& files : cases) {
        SCOPED_TRACE(files.size() == 1 ? "descriptor never answered" : "signature never answered");
        TUpdateFolderServer server(files);
        ::setenv("QUILLORY_UPDATE_URL", server.Folder().c_str(), 1);
        shown.clear();
        checker.CheckForUpdates(true);
        EXPECT_TRUE(shown.empty());
        EXPECT_FALSE(FileExists(DescriptorPath()));
        // The program hung up on the silent server, not the other way round.
        ASSERT_TRUE(server.Server().WaitForHandlers(static_cast<int>(server.Lines().size())));
        EXPECT_EQ(server.ClientClosedSilent(), 1);
        EXPECT_EQ(http.ReadTimeout(), 0);
        EXPECT_EQ(http.ExchangeTimeout, kDefaultExchangeTimeout);
    }
}

} // namespace
