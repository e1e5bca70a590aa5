// The reader of files from outside: only regular files within a size limit
// are read, never a named pipe or a device, and the caller learns why a file
// was refused.
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillory;

namespace {

class RegularFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = std::filesystem::temp_directory_path() /
               ("quillory-reader-" + std::to_string(::getpid()));
        std::filesystem::remove_all(FDir);
        std::filesystem::create_directories(FDir);
    }
    void TearDown() override {
        std::filesystem::permissions(FDir, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(FDir);
    }
    std::string Path(const std::string& name) const { return (FDir / name).string(); }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    std::filesystem::path FDir;
};

TEST_F(RegularFileTest, RefusedFilesSayWhy) {
    const struct {
        const char* Name;
        std::function<void(const std::string&)> Make;
        std::size_t Limit;
        TFileRefusal Refusal;
        std::string Reason;
        std::string Bytes; // when read
    } cases[] = {
        {"plain file", [&](const std::string& p) { std::ofstream(p) << "abc"; }, 3,
         TFileRefusal::None, "", "abc"},
        {"empty file", [&](const std::string& p) { std::ofstream{p}; }, 0, TFileRefusal::None, "",
         ""},
        {"missing", [](const std::string&) {}, 10, TFileRefusal::Missing,
         "No such file or directory", ""},
        {"named pipe", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, 10,
         TFileRefusal::NotRegular, "Not a regular file", ""},
        {"link to /dev/zero",
         [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); }, 10,
         TFileRefusal::NotRegular, "Not a regular file", ""},
        {"folder", [](const std::string& p) { std::filesystem::create_directory(p); }, 10,
         TFileRefusal::NotRegular, "Not a regular file", ""},
        {"one byte over the limit", [&](const std::string& p) { std::ofstream(p) << "abcd"; }, 3,
         TFileRefusal::TooLarge, "Larger than 3 bytes", ""},
        {"over a limit in MiB",
         [&](const std::string& p) { std::ofstream(p) << std::string(2 * 1024 * 1024 + 1, 'x'); },
         2 * 1024 * 1024, TFileRefusal::TooLarge, "Larger than 2 MiB", ""},
        {"link to a regular file",
         [&](const std::string& p) {
             std::ofstream(Path("target")) << "linked";
             std::filesystem::create_symlink(Path("target"), p);
         },
         100, TFileRefusal::None, "", "linked"},
    };
    for (const auto& c : cases) {
        const std::string path = Path(std::string("case-") + std::to_string(&c - cases));
        c.Make(path);
        const TRegularFileRead read = ReadRegularFileChecked(path, c.Limit);
        EXPECT_EQ(read.Refusal, c.Refusal) << c.Name;
        EXPECT_EQ(read.Reason(), c.Reason) << c.Name;
        EXPECT_EQ(read.Bytes.has_value(), c.Refusal == TFileRefusal::None) << c.Name;
        // The plain call agrees.
        EXPECT_EQ(ReadRegularFile(path, c.Limit).has_value(), c.Refusal == TFileRefusal::None)
            << c.Name;
        if (read.Bytes) {
            EXPECT_EQ(*read.Bytes, c.Bytes) << c.Name;
        }
        try {
            const std::string bytes = ReadRegularFileOrThrow(path, c.Limit);
            EXPECT_EQ(c.Refusal, TFileRefusal::None) << c.Name;
            EXPECT_EQ(bytes, c.Bytes) << c.Name;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + path + "\". " + c.Reason)
                << c.Name;
        }
    }
}

TEST_F(RegularFileTest, UnreadableFileGivesTheSystemsReason) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    Write("secret", "x");
    std::filesystem::permissions(Path("secret"), std::filesystem::perms::none);
    const TRegularFileRead read = ReadRegularFileChecked(Path("secret"), 10);
    EXPECT_EQ(read.Refusal, TFileRefusal::Unreadable);
    EXPECT_EQ(read.Reason(), std::strerror(EACCES));
}

} // namespace
