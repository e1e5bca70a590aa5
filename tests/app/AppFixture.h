#pragma once
// A private program folder per test, so settings files never mix.
#include "app/ErrorReport.h"
#include "app/FMain.h"
#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <filesystem>
#include <unistd.h>

namespace quillory::test {

// A main window whose start-up step sends nothing: for tests about other things.
class QuietMain : public TfrmMain {
protected:
    void RunStartupStep() override {}
};

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("quillory-app-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        SetProgramFolder(folder.string());
        SetErrorPresenter([this](const QString& m) { errors << m; });
    }
    void TearDown() override {
        SetErrorPresenter({});
        SetProgramFolder({});
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(folder);
    }
    std::string File(const std::string& name) const { return (folder / name).string(); }

    std::filesystem::path folder;
    QStringList errors;
};

} // namespace quillory::test
