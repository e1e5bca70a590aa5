#include "platform/ProfileFile.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace quillory;
namespace fs = std::filesystem;

namespace {

// Sets or clears the immutable attribute of a folder: nobody, root included,
// may then create or rename files in it. False where the file system or the
// user's rights do not allow it.
bool SetImmutable(const fs::path& dir, bool on) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("quillory-profile-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "settings.dat").string();
    }
    void TearDown() override {
        SetImmutable(dir, false);
        fs::permissions(dir, fs::perms::owner_all);
        fs::remove_all(dir);
    }
    fs::path dir;
    std::string path;
};

TEST_F(ProfileFileTest, NamesMatchWithoutRegardToCaseAndMissingKeysReadEmpty) {
    WriteWholeFile(path, "[SETTINGS]\r\nWebServer = http://shop.example\r\n");
    EXPECT_EQ(ReadProfileString(path, "Settings", "webserver"), "http://shop.example");
    EXPECT_EQ(ReadProfileString(path, "settings", "WEBSERVER"), "http://shop.example");
    EXPECT_EQ(ReadProfileString(path, "Settings", "dbhostname"), "");
    EXPECT_EQ(ReadProfileString(path, "Other", "webserver", "dflt"), "dflt");
    EXPECT_EQ(ReadProfileString((dir / "missing.dat").string(), "Settings", "x"), "");
}

TEST_F(ProfileFileTest, MatchingQuotesAreStrippedOthersKept) {
    WriteWholeFile(path, "[s]\na=\"quoted value\"\nb='single'\nc=\"mismatched'\nd=\"\nf=a\"b\"\n");
    EXPECT_EQ(ReadProfileString(path, "s", "a"), "quoted value");
    EXPECT_EQ(ReadProfileString(path, "s", "b"), "single");
    EXPECT_EQ(ReadProfileString(path, "s", "c"), "\"mismatched'");
    EXPECT_EQ(ReadProfileString(path, "s", "d"), "\"");
    EXPECT_EQ(ReadProfileString(path, "s", "f"), "a\"b\"");
}

TEST_F(ProfileFileTest, ValuesAreCutAt2047Characters) {
    std::string longValue(3000, 'x');
    longValue[2046] = 'y';
    WriteProfileString(path, "Settings", "k", longValue);
    std::string read = ReadProfileString(path, "Settings", "k");
    EXPECT_EQ(read.size(), 2047u);
    EXPECT_EQ(read.back(), 'y');
    // The file itself keeps the whole value.
    EXPECT_NE(ReadWholeFile(path).find(longValue), std::string::npos);
}

TEST_F(ProfileFileTest, WriteReplacesInPlaceAndLeavesOtherSectionsAlone) {
    const std::string before =
        "; hand-written\r\n[Other]\r\nwebserver=keep me\r\n\r\n"
        "[Settings]\r\nWEBSERVER=old\r\ndbhostname=db\r\n\r\n[Tail]\r\nx=1\r\n";
    WriteWholeFile(path, before);
    WriteProfileString(path, "settings", "webserver", "new");
    WriteProfileString(path, "Settings", "invalidpage", "http://x/bad.html");
    EXPECT_EQ(ReadWholeFile(path),
              "; hand-written\r\n[Other]\r\nwebserver=keep me\r\n\r\n"
              "[Settings]\r\nwebserver=new\r\ndbhostname=db\r\ninvalidpage=http://x/bad.html\r\n"
              "\r\n[Tail]\r\nx=1\r\n");
}

TEST_F(ProfileFileTest, WriteCreatesFileAndSectionAndEmptyValueEndsAtEquals) {
    WriteProfileString(path, "Settings", "webserver", "");
    WriteProfileString(path, "Settings", "dbhostname", "h");
    EXPECT_EQ(ReadWholeFile(path), "[Settings]\r\nwebserver=\r\ndbhostname=h\r\n");
    WriteProfileString(path, "Second", "a", "b");
    EXPECT_EQ(ReadWholeFile(path),
              "[Settings]\r\nwebserver=\r\ndbhostname=h\r\n[Second]\r\na=b\r\n");
    // A file without a final line break still gets well-formed lines.
    WriteWholeFile(path, "[Settings]\nx=1");
    WriteProfileString(path, "Settings", "y", "2");
    EXPECT_EQ(ReadWholeFile(path), "[Settings]\nx=1\ny=2\n");
}

TEST_F(ProfileFileTest, UnwritableLocationRaisesUnableToWrite) {
    // A path below a regular file can never be created, whoever runs the test.
    WriteWholeFile((dir / "plainfile").string(), "x");
    std::string bad = (dir / "plainfile" / "settings.dat").string();
    try {
        WriteProfileString(bad, "Settings", "webserver", "x");
        FAIL() << "write succeeded";
    } catch (const EProfileWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + bad);
    }
}

TEST_F(ProfileFileTest, ReadOnlyFolderRaisesUnableToWriteAndKeepsOldFile) {
    WriteProfileString(path, "Settings", "webserver", "old");
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    // Folder permissions do not bind root; the immutable attribute does.
    if (::access(dir.c_str(), W_OK) == 0 && !SetImmutable(dir, true))
        GTEST_SKIP() << "cannot make a folder read-only for this user here";
    EXPECT_THROW(
        {
            try {
                WriteProfileString(path, "Settings", "webserver", "new");
            } catch (const EProfileWriteError& e) {
                EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
                throw;
            }
        },
        EProfileWriteError);
    EXPECT_EQ(ReadProfileString(path, "Settings", "webserver"), "old");
}

} // namespace
