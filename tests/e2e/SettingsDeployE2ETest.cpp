// The server bundle deployed as its README says, behind nginx with PHP-FPM on
// loopback: the database is an SQLite file in a folder of its own that
// belongs to PHP-FPM's user (www-data, when the tests run as root, so the
// folder is another user's than the test's), and coupsettings.php is the one
// the Settings dialog wrote with "SQLite file on the server", uploaded with
// the README's owner and mode. Then the dialog's Test, through the window,
// reports the working service, a wrong password, a missing script and a
// database folder PHP may not write, each in its one line.
#include "app/ErrorReport.h"
#include "app/FMain.h"
#include "app/FSettings.h"
#include "coupons/Coupon.h"
#include "platform/FileSystem.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramFolder.h"
#include "tests/e2e/E2EBackends.h"
#include "tests/support/ModalHelper.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <filesystem>
#include <grp.h>
#include <iostream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillory;
using namespace quillory::e2e;
using quillory::test::TModalCounter;

namespace {

namespace fs = std::filesystem;

// The window without its start-up step: it would also ask the update
// location, which is no loopback address.
class TDeployMain : public TfrmMain {
protected:
    void RunStartupStep() override {}
};

// PHP-FPM's user on Debian, owner of the database folder.
const char* const kWebUser = "www-data";

// Whether every folder from the root down to `path` lets other users pass,
// so PHP-FPM's user can reach the site's files below the build tree.
bool OthersCanReach(const fs::path& path) {
    for (fs::path p = path; !p.empty(); p = p.parent_path()) {
        struct stat st {};
        if (::stat(p.c_str(), &st) != 0 || (st.st_mode & S_IXOTH) == 0)
            return false;
        if (p == p.root_path())
            break;
    }
    return true;
}

class SettingsDeployE2E : public ::testing::Test {
protected:
    void TearDown() override {
        main.reset();
        SetErrorPresenter({});
        SetProgramFolder({});
    }

    // Runs the Settings command: `answer` acts on the dialog, and the notice
    // after an OK is answered "No".
    void RunSettings(const std::function<void(TfrmSettings*)>& answer) {
        TModalCounter modals([&](QWidget* w) {
            if (auto* dialog = dynamic_cast<TfrmSettings*>(w))
                answer(dialog);
            else
                QTest::mouseClick(w->findChild<QPushButton*>("No"), Qt::LeftButton);
        });
        QTest::mouseClick(main->findChild<QPushButton*>("SkinButton7"), Qt::LeftButton);
    }
    // The Test's line for the Site URL `site` as typed.
    static std::string TestLine(TfrmSettings* d, const std::string& site) {
        d->edtSite()->setText(QString::fromStdString(site));
        QTest::mouseClick(d->btnTest(), Qt::LeftButton);
        return d->lblTest()->text().toStdString();
    }
    // Chooses the SQLite file `path`, presses OK and uploads the
    // coupsettings.php written into the site's folder: readable by PHP's
    // group, not by the world.
    void WriteAndUpload(const std::string& path) {
        RunSettings([&](TfrmSettings* d) {
            d->rbtSQLite()->setChecked(true);
            d->edtSQLitePath()->setText(QString::fromStdString(path));
            QTest::mouseClick(d->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
        });
        ASSERT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
        const std::string written = ReadWholeFile(TfrmSettings::ScriptPath());
        ASSERT_NE(written.find("  $dsn=\"sqlite:" + path + "\";\r\n"), std::string::npos)
            << written;
        const std::string uploaded = server.DocRoot() + "/coupsettings.php";
        WriteWholeFile(uploaded, written);
        if (web) {
            ASSERT_EQ(::chown(uploaded.c_str(), 0, web->pw_gid), 0);
            fs::permissions(uploaded,
                            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
        }
    }

    TPhpCouponServer server;
    const passwd* web = nullptr; // PHP-FPM's user, when the machine allows one
    std::unique_ptr<TfrmMain> main;
    QStringList errors;
};

TEST_F(SettingsDeployE2E, TheDialogsTestReportsTheDeployedServiceAndWhatIsWrong) {
    if (E2EFront() != TFront::Nginx)
        GTEST_SKIP() << "deploys behind nginx with PHP-FPM: runs in the nginx run";
    const std::string dir = MakeScratchDir("deploy");
    const std::string dbFolder = dir + "/db";
    fs::create_directories(dbFolder);
    fs::permissions(dbFolder, fs::perms::owner_all);
    if (::geteuid() == 0 && OthersCanReach(dir) && (web = ::getpwnam(kWebUser)) != nullptr) {
        // As the README says: the folder of the database belongs to PHP's user.
        ASSERT_EQ(::chown(dbFolder.c_str(), web->pw_uid, web->pw_gid), 0);
    } else {
        std::cout << "[ NOTE     ] not running as root (or no " << kWebUser
                  << " user, or the build tree is closed to other users): PHP-FPM runs as the "
                     "test's user and the database folder stays the test's own\n";
    }
    const std::string database = dbFolder + "/coupons.sqlite";
    TServerSettings settings;
    settings.Dsn = "sqlite:" + database;
    if (web)
        settings.FpmUser = kWebUser;
    server.Start(dir, settings, 2);

    const std::string program = MakeScratchDir("deploy-program");
    SetProgramFolder(program + "/");
    SetErrorPresenter([this](const QString& m) { errors << m; });
    WriteProfileString(program + "/settings.dat", "Settings", "webserver", server.SiteURL());
    main = std::make_unique<TDeployMain>();
    main->show();

    // The Settings dialog writes coupsettings.php for the SQLite file; it is
    // uploaded beside the script.
    WriteAndUpload(database);
    // One coupon, through the service the seller now has.
    THTTPClient http;
    const std::string site = server.SiteURL();
    TCouponService service(http, [&] { return site; });
    TCoupon coupon;
    coupon.Code = "DEPLOYED";
    coupon.Name = "First coupon";
    coupon.SetExpiryText("1");
    ASSERT_EQ(service.AddCoupon(coupon), TCouponResult::Done) << service.FailureReason();
    if (web) {
        // PHP-FPM's user made the database, in the folder it owns.
        struct stat st {};
        ASSERT_EQ(::stat(database.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, web->pw_uid);
    }

    std::string wrongPassword = server.PlainSiteURL();
    wrongPassword.insert(wrongPassword.find("://") + 3, "seller:not-the-password@");
    const struct {
        const char* Name;
        std::string Site;
        TSiteTestKind Kind;
        std::string Line;
    } cases[] = {
        {"works", site, TSiteTestKind::Works, "The coupon service answers and lists 1 coupon."},
        {"wrong password", wrongPassword, TSiteTestKind::CredentialsRefused, kRefusedCredentials},
        {"no script", site + "/shop", TSiteTestKind::NoScript,
         "No coupon script at this address (404 Not Found): check the Site URL and that "
         "couponsactions.php was uploaded into that folder."},
    };
    RunSettings([&](TfrmSettings* d) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.Name);
            EXPECT_EQ(TestLine(d, c.Site), c.Line);
            EXPECT_EQ(d->LastTest().Kind, c.Kind);
            EXPECT_TRUE(d->isVisible());
        }
        d->reject();
    });
    EXPECT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();

    if (!web)
        return;
    // A folder PHP's user may not write: the database is refused, and the
    // Test says so.
    const std::string closed = dir + "/closed";
    fs::create_directories(closed);
    fs::permissions(closed, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    WriteAndUpload(closed + "/coupons.sqlite");
    RunSettings([&](TfrmSettings* d) {
        const std::string line = TestLine(d, site);
        EXPECT_EQ(d->LastTest().Kind, TSiteTestKind::DatabaseRefused) << line;
        EXPECT_NE(line.find("cannot use its database (ERROR: cannot connect to the database)"),
                  std::string::npos)
            << line;
        d->reject();
    });
    EXPECT_FALSE(fs::exists(closed + "/coupons.sqlite"));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
}

} // namespace
