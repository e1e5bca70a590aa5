// The reader of files from outside: only regular files within a size limit
// are read, never a named pipe or a device, and the caller learns why.
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
namespace fs = std::filesystem;

namespace {

class RegularFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        FDir = fs::temp_directory_path() / ("quillory-reader-" + std::to_string(::getpid()));
        fs::remove_all(FDir);
        fs::create_directories(FDir);
    }
    void TearDown() override {
        fs::permissions(FDir, fs::perms::owner_all);
        fs::remove_all(FDir);
    }
    std::string Path(const std::string& name) const { return (FDir / name).string(); }
    fs::path FDir;
};

TEST_F(RegularFileTest, RefusedFilesSayWhy) {
    using R = TFileRefusal;
    const auto text = [](std::string bytes) {
        return [bytes](const std::string& p) { std::ofstream(p, std::ios::binary) << bytes; };
    };
    const struct {
        const char* Name;
        std::function<void(const std::string&)> Make;
        std::size_t Limit;
        R Refusal;
        std::string Reason;
        std::string Bytes; // when read
    } cases[] = {
        {"plain file", text("abc"), 3, R::None, "", "abc"},
        {"empty file", text(""), 0, R::None, "", ""},
        {"missing", [](const std::string&) {}, 10, R::Missing, "No such file or directory", ""},
        {"named pipe", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, 10,
         R::NotRegular, "Not a regular file", ""},
        {"link to /dev/zero", [](const std::string& p) { fs::create_symlink("/dev/zero", p); }, 10,
         R::NotRegular, "Not a regular file", ""},
        {"folder", [](const std::string& p) { fs::create_directory(p); }, 10, R::NotRegular,
         "Not a regular file", ""},
        {"one byte over the limit", text("abcd"), 3, R::TooLarge, "Larger than 3 bytes", ""},
        {"over a limit in MiB", text(std::string(2 * 1024 * 1024 + 1, 'x')), 2 * 1024 * 1024,
         R::TooLarge, "Larger than 2 MiB", ""},
        {"link to a regular file",
         [&](const std::string& p) {
             text("linked")(Path("target"));
             fs::create_symlink(Path("target"), p);
         },
         100, R::None, "", "linked"},
        {"unreadable",
         [&](const std::string& p) {
             text("x")(p);
             fs::permissions(p, fs::perms::none);
         },
         10, R::Unreadable, std::strerror(EACCES), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.Refusal == R::Unreadable && ::geteuid() == 0)
            continue; // root reads every file
        const std::string path = Path("case-" + std::to_string(&c - cases));
        c.Make(path);
        const TRegularFileRead read = ReadRegularFileChecked(path, c.Limit);
        const bool taken = c.Refusal == R::None;
        EXPECT_EQ(read.Refusal, c.Refusal);
        EXPECT_EQ(read.Reason(), c.Reason);
        EXPECT_EQ(read.Bytes, taken ? std::optional(c.Bytes) : std::nullopt);
        EXPECT_EQ(ReadRegularFile(path, c.Limit), read.Bytes); // the plain call agrees
        try {
            EXPECT_EQ(ReadRegularFileOrThrow(path, c.Limit), c.Bytes);
            EXPECT_TRUE(taken);
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + path + "\". " + c.Reason);
        }
    }
}

} // namespace
