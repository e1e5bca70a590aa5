#pragma once
// A private program folder per test, so settings files never mix.
#include "app/ErrorReport.h"
#include "app/FMain.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTest>

#include <filesystem>
#include <memory>
#include <string>
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

    // A main window on the service at `site`, shown, after its start-up step.
    std::unique_ptr<TfrmMain> StartMain(const std::string& site) {
        WriteProfileString(File("settings.dat"), "Settings", "webserver", site);
        auto main = std::make_unique<TfrmMain>();
        main->show();
        QElapsedTimer t;
        t.start();
        while ((main->StartupTimer().isActive() || main->CouponService().Busy()) &&
               t.elapsed() < 10000)
            QTest::qWait(10);
        QTest::qWait(20);
        return main;
    }

    std::filesystem::path folder;
    QStringList errors;
};

} // namespace quillory::test
