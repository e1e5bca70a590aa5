#include "platform/ProfileFile.h"
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <mutex>
#include <optional>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace quillory;
namespace fs = std::filesystem;

namespace {

// Sets or clears the immutable attribute of a folder or file: nobody, root
// included, may then create or rename files in the folder, or change, replace
// or remove the file. False where the file system or the user's rights do not
// allow it.
bool SetImmutable(const fs::path& dir, bool on) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_NONBLOCK);
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
        SetImmutable(path, false);
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

// Runs `read` and fails when it waited on the named pipe. A pipe opened for
// reading blocks until a writer comes: if the read has not returned after a
// generous 30 s, a watchdog plays the writer, so a faulty reader fails the
// test (the watchdog had to step in) instead of hanging it.
template <typename F> void ReturnsPromptly(const fs::path& fifo, F read) {
    std::mutex lock;
    std::condition_variable changed;
    bool done = false, rescued = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> held(lock);
        if (changed.wait_for(held, std::chrono::seconds(30), [&] { return done; }))
            return;
        rescued = true;
        held.unlock();
        int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    });
    read();
    {
        std::lock_guard<std::mutex> held(lock);
        done = true;
    }
    changed.notify_all();
    watchdog.join();
    EXPECT_FALSE(rescued) << "the read waited for a writer on the pipe";
}

TEST_F(ProfileFileTest, AnythingButASmallRegularFileReadsAsMissing) {
    const fs::path fifo = dir / "fifo.dat";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path zero = dir / "zero.dat";
    fs::create_symlink("/dev/zero", zero);
    const fs::path big = dir / "big.dat";
    std::string bigText = "[Settings]\r\nwebserver=http://big.example\r\n";
    bigText += "; " + std::string(2 * 1024 * 1024, 'x') + "\r\n";
    WriteWholeFile(big.string(), bigText);
    const fs::path folder = dir / "folder.dat";
    fs::create_directory(folder);

    for (const fs::path& p : {fifo, zero, big, folder}) {
        SCOPED_TRACE(p.string());
        ReturnsPromptly(fifo, [&] {
            EXPECT_FALSE(ReadProfileText(p.string()).has_value());
            EXPECT_EQ(ReadProfileString(p.string(), "Settings", "webserver", "dflt"), "dflt");
        });
    }
}

TEST_F(ProfileFileTest, FilesUpToOneMebibyteAndLinksToThemAreRead) {
    std::string text = "[Settings]\nwebserver=http://shop.example\n; ";
    text += std::string(kMaxProfileFileSize - text.size() - 1, 'x') + "\n";
    ASSERT_EQ(text.size(), kMaxProfileFileSize);
    WriteWholeFile(path, text);
    EXPECT_EQ(ReadProfileString(path, "Settings", "webserver"), "http://shop.example");
    const fs::path link = dir / "link.dat";
    fs::create_symlink(path, link);
    EXPECT_EQ(ReadProfileText(link.string()), text);
}

TEST_F(ProfileFileTest, WhatCannotBeReadIsRefusedForWritingAndLeftAlone) {
    const fs::path fifo = dir / "fifo.dat";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path big = dir / "big.dat";
    const std::string bigText = "[Settings]\nkeep=1\n" + std::string(2 * 1024 * 1024, ';');
    WriteWholeFile(big.string(), bigText);

    for (const fs::path& p : {fifo, big}) {
        SCOPED_TRACE(p.string());
        ReturnsPromptly(fifo, [&] {
            try {
                WriteProfileString(p.string(), "Settings", "webserver", "x");
                ADD_FAILURE() << "write succeeded";
            } catch (const EProfileWriteError& e) {
                EXPECT_EQ(std::string(e.what()), "Unable to write to " + p.string());
            }
        });
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(ReadWholeFile(big.string()), bigText);
}

TEST_F(ProfileFileTest, WriteKeepsPermissionBitsAndSymbolicLinks) {
    WriteProfileString(path, "Settings", "dbpassword", "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    WriteProfileString(path, "Settings", "dbpassword", "new");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    // A settings file kept elsewhere and linked beside the program stays linked.
    const fs::path link = dir / "linked.dat";
    fs::create_symlink(path, link);
    WriteProfileString(link.string(), "Settings", "dbpassword", "via link");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadProfileString(path, "Settings", "dbpassword"), "via link");
}

TEST_F(ProfileFileTest, ReadOnlyFileInWritableFolderRaisesUnableToWriteAndKeepsIt) {
    WriteProfileString(path, "Settings", "webserver", "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // File permissions do not bind root; the immutable attribute does.
    if (::access(path.c_str(), W_OK) == 0 && !SetImmutable(path, true))
        GTEST_SKIP() << "cannot make a file read-only for this user here";
    ASSERT_EQ(::access(dir.c_str(), W_OK), 0) << "the folder itself stays writable";
    try {
        WriteProfileString(path, "Settings", "webserver", "new");
        FAIL() << "write succeeded";
    } catch (const EProfileWriteError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    EXPECT_EQ(ReadProfileString(path, "Settings", "webserver"), "old");
    // No temporary file is left behind.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir))
        ++entries;
    EXPECT_EQ(entries, 1);
}

} // namespace

// A new file gets the mode asked for (settings files, which hold passwords,
// only their owner may read); an existing file keeps the mode it has,
// whatever is asked; the process's umask never widens a private file.
TEST_F(ProfileFileTest, NewFilesGetTheirCreationModeExistingOnesKeepTheirs) {
    using P = fs::perms;
    const P owner = P::owner_read | P::owner_write;
    const P everyone = owner | P::group_read | P::others_read;
    const struct {
        const char* name;
        bool profile;            // through WriteProfileString, else WriteWholeFile
        std::optional<P> before; // the existing file's mode, none for a new file
        unsigned createMode;
        P after;
    } cases[] = {
        {"new file, default", false, std::nullopt, kPublicFileMode, everyone},
        {"new private file", false, std::nullopt, kPrivateFileMode, owner},
        {"existing public file asked private", false, everyone, kPrivateFileMode, everyone},
        {"existing private file asked public", false, owner, kPublicFileMode, owner},
        {"existing group-writable file", false, everyone | P::group_write, kPrivateFileMode,
         everyone | P::group_write},
        {"new settings file", true, std::nullopt, kPrivateFileMode, owner},
        {"existing settings file", true, everyone, kPrivateFileMode, everyone},
    };
    const mode_t oldMask = ::umask(0);
    for (const auto& c : cases) {
        const std::string file = (dir / (std::string(c.name) + ".dat")).string();
        if (c.before) {
            WriteWholeFile(file, "[Settings]\r\n");
            fs::permissions(file, *c.before);
        }
        if (c.profile)
            WriteProfileString(file, "Settings", "dbpassword", "secret");
        else
            WriteWholeFile(file, "[Settings]\r\ndbpassword=secret\r\n", c.createMode);
        EXPECT_EQ(fs::status(file).permissions() & P::all, c.after) << c.name;
        EXPECT_EQ(ReadProfileString(file, "Settings", "dbpassword"), "secret") << c.name;
    }
    ::umask(oldMask);
}
