// The update logic without windows: what a check decides to tell, what it
// keeps beside the program, and the hand-off to the updater.
#include "update/UpdateCheck.h"

#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "tests/support/UpdateFolderServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

using namespace quillory;
using quillory::testsupport::TUpdateFolderServer;

namespace {

std::string DescriptorText(const std::string& version) {
    return "[APPLICATION]\r\nName=Quillory\r\nVersion=" + version + "\r\n";
}

const TUpdateKeyPair& TestKeys() {
    static const TUpdateKeyPair keys = GenerateUpdateKeyPair();
    return keys;
}

class UpdateServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("quillory-update-logic-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        SetProgramFolder(folder.string());
        http.SetReadTimeout(2000);
        service.SetPublicKey(TestKeys().PublicPem);
        service.SetFormatSettings(TFormatSettings::EnglishUS());
        service.OnBusy = [this](bool busy) {
            busyNow += busy ? 1 : -1;
            busySpans += busy ? 1 : 0;
        };
    }
    void TearDown() override {
        ::unsetenv("QUILLORY_UPDATE_URL");
        SetProgramFolder({});
        std::filesystem::remove_all(folder);
    }
    std::string Local() const { return (folder / "mainappupdate.inf").string(); }

    std::filesystem::path folder;
    THTTPClient http;
    TUpdateService service{http};
    int busyNow = 0;
    int busySpans = 0;
};

TEST_F(UpdateServiceTest, FindingTellsWhatTheUserHears) {
    using A = TUpdateFolderServer;
    auto signedFolder = [](const std::string& version) {
        const std::string text = DescriptorText(version);
        return std::map<std::string, A::TAnswer>{
            {"mainappupdate.inf", A::Reply("200 OK", text)},
            {"mainappupdate.inf.sig",
             A::Reply("200 OK", SignUpdateDescriptor(TestKeys().PrivatePem, text))}};
    };
    struct {
        const char* Name;
        std::map<std::string, A::TAnswer> Files;
        bool Silent;
        TUpdateTell Tell;
        std::string Version; // offered
        bool Kept;           // the descriptor is beside the program afterwards
        int Fetches;         // exchanges run (each one busy span)
    } cases[] = {
        {"newer, asked", signedFolder("1.02"), false, TUpdateTell::Offer, "1.02", true, 2},
        {"newer, silent", signedFolder("2"), true, TUpdateTell::Offer, "2", true, 2},
        {"same, asked", signedFolder("1.01"), false, TUpdateTell::NoUpdate, "", true, 2},
        {"same, silent", signedFolder("1.01"), true, TUpdateTell::Nothing, "", true, 2},
        {"older, asked", signedFolder("1.00"), false, TUpdateTell::NoUpdate, "", true, 2},
        {"no version, asked", signedFolder(""), false, TUpdateTell::NoUpdate, "", true, 2},
        {"no descriptor, asked", {}, false, TUpdateTell::NoUpdate, "", false, 1},
        {"no descriptor, silent", {}, true, TUpdateTell::Nothing, "", false, 1},
        {"unsigned, asked",
         {{"mainappupdate.inf", A::Reply("200 OK", DescriptorText("9"))}},
         false,
         TUpdateTell::NoUpdate,
         "",
         false,
         2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        // A stale copy offering a newer version must never count.
        std::ofstream(Local()) << DescriptorText("7");
        TUpdateFolderServer server(c.Files);
        ::setenv("QUILLORY_UPDATE_URL", server.Folder().c_str(), 1);
        busySpans = 0;
        const TUpdateFinding finding = service.FindUpdate(c.Silent);
        EXPECT_EQ(finding.Tell, c.Tell);
        EXPECT_EQ(finding.VersionText, c.Version);
        EXPECT_EQ(FileExists(Local()), c.Kept);
        EXPECT_EQ(busySpans, c.Fetches);
        EXPECT_EQ(busyNow, 0); // every busy span ended
        EXPECT_FALSE(http.Busy());
    }
}

TEST_F(UpdateServiceTest, HandOffStartsTheUpdaterWithFolderVersionAndTag) {
    ::setenv("QUILLORY_UPDATE_URL", "http://127.0.0.1:9/updates/", 1);
    EXPECT_FALSE(service.UpdaterPresent());
    const std::string updater = (folder / "Updater").string();
    std::ofstream(updater) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args.tmp\"\n"
                              "mv \"$(dirname \"$0\")/args.tmp\" \"$(dirname \"$0\")/args.txt\"\n";
    std::filesystem::permissions(updater, std::filesystem::perms::owner_all);
    EXPECT_TRUE(service.UpdaterPresent());
    TFormatSettings comma = TFormatSettings::EnglishUS();
    comma.DecimalSeparator = ',';
    service.SetFormatSettings(comma);
    service.StartUpdater();
    const std::string args = (folder / "args.txt").string();
    // The updater runs on its own; its record appears whole (renamed into place).
    for (int i = 0; i < 500 && !FileExists(args); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(FileExists(args));
    EXPECT_EQ(ReadWholeFile(args), "http://127.0.0.1:9/updates/\n1,00999999046326\nA\n");
}

} // namespace

TEST(UpdateRoute, DownloadPageOnlyFromAnHttpsAddressAndWithoutUpdater) {
    struct {
        const char* Name;
        std::string Descriptor;
        bool UpdaterPresent;
        std::string URL; // what the descriptor yields
        TUpdateRoute Route;
    } cases[] = {
        {"updater wins", "[APPLICATION]\r\nDownloadURL=https://q.example/get\r\n", true,
         "https://q.example/get", TUpdateRoute::Updater},
        {"page without updater", "[APPLICATION]\r\nDownloadURL=https://q.example/get\r\n", false,
         "https://q.example/get", TUpdateRoute::DownloadPage},
        {"blanks around", "[APPLICATION]\r\nDownloadURL=  HTTPS://q.example/a?b=1  \r\n", false,
         "HTTPS://q.example/a?b=1", TUpdateRoute::DownloadPage},
        {"no key", "[APPLICATION]\r\nVersion=2\r\n", false, "", TUpdateRoute::UpdaterMissing},
        {"other section", "[OTHER]\r\nDownloadURL=https://q.example/\r\n", false, "",
         TUpdateRoute::UpdaterMissing},
        {"plain http", "[APPLICATION]\r\nDownloadURL=http://q.example/get\r\n", false, "",
         TUpdateRoute::UpdaterMissing},
        {"file", "[APPLICATION]\r\nDownloadURL=file:///etc/passwd\r\n", false, "",
         TUpdateRoute::UpdaterMissing},
        {"option-like", "[APPLICATION]\r\nDownloadURL=--new-window\r\n", false, "",
         TUpdateRoute::UpdaterMissing},
        {"no host", "[APPLICATION]\r\nDownloadURL=https:///path\r\n", false, "",
         TUpdateRoute::UpdaterMissing},
        {"scheme only", "[APPLICATION]\r\nDownloadURL=https://\r\n", false, "",
         TUpdateRoute::UpdaterMissing},
        {"blank inside", "[APPLICATION]\r\nDownloadURL=https://q.example/a b\r\n", false, "",
         TUpdateRoute::UpdaterMissing},
        {"no key, updater", "[APPLICATION]\r\nVersion=2\r\n", true, "", TUpdateRoute::Updater},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string url = DescriptorDownloadURL(c.Descriptor);
        EXPECT_EQ(url, c.URL);
        EXPECT_EQ(ChooseUpdateRoute(c.UpdaterPresent, url), c.Route);
    }
}

TEST_F(UpdateServiceTest, DownloadPageComesOnlyFromASignedDescriptor) {
    using A = TUpdateFolderServer;
    const std::string text = DescriptorText("3") + "DownloadURL=https://q.example/get\r\n";
    struct {
        const char* Name;
        std::map<std::string, A::TAnswer> Files;
        TUpdateTell Tell;
        std::string URL;
    } cases[] = {
        {"signed",
         {{"mainappupdate.inf", A::Reply("200 OK", text)},
          {"mainappupdate.inf.sig",
           A::Reply("200 OK", SignUpdateDescriptor(TestKeys().PrivatePem, text))}},
         TUpdateTell::Offer,
         "https://q.example/get"},
        {"signature of another text",
         {{"mainappupdate.inf", A::Reply("200 OK", text)},
          {"mainappupdate.inf.sig",
           A::Reply("200 OK", SignUpdateDescriptor(TestKeys().PrivatePem, DescriptorText("3")))}},
         TUpdateTell::NoUpdate,
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TUpdateFolderServer server(c.Files);
        ::setenv("QUILLORY_UPDATE_URL", server.Folder().c_str(), 1);
        const TUpdateFinding finding = service.FindUpdate(false);
        EXPECT_EQ(finding.Tell, c.Tell);
        EXPECT_EQ(finding.DownloadURL, c.URL);
    }
}
