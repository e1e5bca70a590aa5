// Where the program keeps its files: beside itself when it may write there,
// else in the user's configuration folder; a system-wide branding package is
// the fallback of an installed program.
#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillory;
namespace fs = std::filesystem;

namespace {

// Restores an environment variable on destruction.
class EnvGuard {
public:
    explicit EnvGuard(const char* name) : FName(name) {
        if (const char* v = std::getenv(name))
            FOld = v;
    }
    ~EnvGuard() {
        if (FOld)
            ::setenv(FName, FOld->c_str(), 1);
        else
            ::unsetenv(FName);
    }
    void Set(const std::optional<std::string>& value) {
        if (value)
            ::setenv(FName, value->c_str(), 1);
        else
            ::unsetenv(FName);
    }

private:
    const char* FName;
    std::optional<std::string> FOld;
};

class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        FRoot = fs::temp_directory_path() / ("quillory-datafolder-" + std::to_string(::getpid()));
        fs::remove_all(FRoot);
        fs::create_directories(FRoot / "home");
    }
    void TearDown() override {
        SetProgramFolder({});
        SetProgramFolderWritableCheck({});
        fs::remove_all(FRoot);
    }
    static void Touch(const fs::path& file) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "[x]\n";
    }
    fs::path FRoot;
    EnvGuard FHome{"HOME"};
    EnvGuard FXdg{"XDG_CONFIG_HOME"};
};

TEST_F(DataFolderTest, ChoosesProgramFolderOrUserConfigFolder) {
    struct Case {
        const char* name;
        std::string programSub;       // below the test root
        std::optional<bool> writable; // injected check; nullopt: the real one
        std::optional<std::string> xdg;
        std::string expectedSub; // below the test root
    };
    const std::string xdg = (FRoot / "xdg").string();
    const Case cases[] = {
        {"writable build tree", "build/bin", true, std::nullopt, "build/bin/"},
        {"writable even with XDG set", "build/bin", true, xdg, "build/bin/"},
        {"read-only folder, no XDG", "opt/q", false, std::nullopt, "home/.config/quillory/"},
        {"read-only folder, XDG set", "opt/q", false, xdg, "xdg/quillory/"},
        {"relative XDG ignored", "opt/q", false, std::string("rel/cfg"), "home/.config/quillory/"},
        {"empty XDG ignored", "opt/q", false, std::string(), "home/.config/quillory/"},
        // The real check: a system program folder is never written, even by root.
        {"installed layout", "root/usr/bin", std::nullopt, std::nullopt, "home/.config/quillory/"},
        {"copy in a folder", "copy", std::nullopt, std::nullopt, "copy/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(FRoot / "home" / ".config");
        fs::remove_all(FRoot / "xdg");
        fs::create_directories(FRoot / c.programSub);
        SetProgramFolder((FRoot / c.programSub).string());
        if (c.writable) {
            const bool w = *c.writable;
            SetProgramFolderWritableCheck([w](const std::string&) { return w; });
        } else {
            SetProgramFolderWritableCheck({});
        }
        FHome.Set((FRoot / "home").string());
        FXdg.Set(c.xdg);

        const std::string folder = DataFolder();
        EXPECT_EQ(folder, (FRoot / c.expectedSub).string());
        struct stat st {};
        ASSERT_EQ(::stat(folder.c_str(), &st), 0) << "the folder exists";
        if (c.expectedSub.find("quillory/") != std::string::npos) {
            EXPECT_EQ(st.st_mode & 0777, 0700u) << "created private";
        }
    }
}

TEST_F(DataFolderTest, BrandingFallsBackToTheSystemPackage) {
    struct Case {
        const char* name;
        bool userHasPackage;
        bool systemHasPackage;
        std::string expectedSub;
    };
    const Case cases[] = {
        {"user package wins", true, true, "home/.config/quillory/"},
        {"system package when the user has none", false, true, "root/usr/share/quillory/branding/"},
        {"neither: the user folder", false, false, "home/.config/quillory/"},
    };
    SetProgramFolder((FRoot / "root/usr/bin").string());
    SetProgramFolderWritableCheck([](const std::string&) { return false; });
    FHome.Set((FRoot / "home").string());
    FXdg.Set(std::nullopt);
    EXPECT_EQ(SystemDataFolder(), (FRoot / "root/usr/share/quillory/").string());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(FRoot / "home" / ".config");
        fs::remove_all(FRoot / "root/usr/share");
        if (c.userHasPackage)
            Touch(FRoot / "home/.config/quillory/dbconfig.dat");
        if (c.systemHasPackage)
            Touch(FRoot / "root/usr/share/quillory/branding/dbconfig.dat");
        EXPECT_EQ(BrandingFolder("dbconfig.dat"), (FRoot / c.expectedSub).string());
    }
    // A program outside a .../bin folder has no system data.
    SetProgramFolder((FRoot / "copy").string());
    EXPECT_EQ(SystemDataFolder(), "");
}

} // namespace
