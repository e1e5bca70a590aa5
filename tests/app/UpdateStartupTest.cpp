// The update check inside the main window: in the start-up step after the
// first list, and behind the Check Updates button.
#include "AppFixture.h"
#include "platform/ProfileFile.h"
#include "tests/support/CouponServiceScript.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/ModalHelper.h"
#include "tests/support/UpdateFolderServer.h"
#include "update/UpdateSignature.h"
#include "windows/CouponListView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <mutex>

using namespace quillory;
using namespace quillory::test;
using quillory::testsupport::TLoopbackServer;
using quillory::testsupport::TServerConnection;
using quillory::testsupport::TUpdateFolderServer;

namespace {

std::string Reply(const std::string& status, const std::string& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

class UpdateStartupTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        oldUpdateURL = std::getenv("QUILLORY_UPDATE_URL");
    }
    void TearDown() override {
        ::setenv("QUILLORY_UPDATE_URL", oldUpdateURL.c_str(), 1);
        AppFixture::TearDown();
    }
    // Points both the settings and the update folder at `server`.
    void Serve(TLoopbackServer& server) {
        WriteProfileString(File("settings.dat"), "Settings", "webserver", server.Url(""));
        ::setenv("QUILLORY_UPDATE_URL", server.Url("/updates/").c_str(), 1);
    }
    // Answers the descriptor with `version` (signed with `key` when given)
    // and the service with an empty list, each after `delayMs`, recording
    // the request lines.
    TLoopbackServer::THandler Handler(std::string version, int delayMs = 0, std::string key = "") {
        return [this, version, delayMs, key](TServerConnection& c) {
            const std::string request = c.ReadRequest();
            {
                std::lock_guard<std::mutex> lk(lock);
                lines.push_back(request.substr(0, request.find("\r\n")));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            const std::string descriptor = "[APPLICATION]\r\nVersion=" + version + "\r\n";
            if (!key.empty() && request.rfind("GET /updates/mainappupdate.inf.sig", 0) == 0)
                c.Send(Reply("200 OK", SignUpdateDescriptor(key, descriptor)));
            else if (request.rfind("GET /updates/mainappupdate.inf", 0) == 0)
                c.Send(Reply("200 OK", descriptor));
            else
                c.Send(Reply("200 OK", "OK"));
            c.Close();
        };
    }
    void RunStartup(TfrmMain& main) {
        main.show();
        QElapsedTimer t;
        t.start();
        while ((main.StartupTimer().isActive() || main.HTTP().Busy()) && t.elapsed() < 10000)
            QTest::qWait(20);
        QTest::qWait(50);
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lk(lock);
        return lines;
    }

    std::string oldUpdateURL;
    std::mutex lock;
    std::vector<std::string> lines;
};

TEST_F(UpdateStartupTest, SilentCheckRunsAfterTheFirstList) {
    TLoopbackServer server(Handler("1.01"));
    Serve(server);
    TfrmMain main;
    RunStartup(main);
    // The descriptor is not signed: dropped without a word.
    EXPECT_EQ(Lines(), (std::vector<std::string>{"POST /couponsactions.php HTTP/1.0",
                                                 "POST /couponsactions.php HTTP/1.0",
                                                 "GET /updates/mainappupdate.inf HTTP/1.1",
                                                 "GET /updates/mainappupdate.inf.sig HTTP/1.1"}));
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(UpdateStartupTest, UnwritableDescriptorIsReportedAfterTheList) {
    const TUpdateKeyPair keys = GenerateUpdateKeyPair();
    TLoopbackServer server(Handler("1.01", 0, keys.PrivatePem));
    Serve(server);
    // A folder in the descriptor's place: the file cannot be created.
    std::filesystem::create_directories(folder / "mainappupdate.inf" / "keep");
    TfrmMain main;
    main.UpdateChecker().SetPublicKey(keys.PublicPem);
    RunStartup(main);
    EXPECT_EQ(Lines().size(), 4u); // service check, list, descriptor, signature
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains("mainappupdate.inf")) << errors[0].toStdString();
    EXPECT_TRUE(main.isVisible());
}

TEST_F(UpdateStartupTest, SilentUpdateServerNeverHoldsTheList) {
    // The service lists two coupons; the update server never answers.
    TLoopbackServer service([](TServerConnection& c) {
        const std::string request = c.ReadRequest();
        const auto fields = quillory::testsupport::MultipartFields(request);
        if (!fields.empty() &&
            fields.front() == std::make_pair(std::string("action"), std::string("1")))
            c.Send(Reply("200 OK", "OK"));
        else
            c.Send(Reply("200 OK",
                         "\"1\",\"A1\",\"First\",\"0\",\"1\",\"0\",\"2026-1-1\",\"\",\"\"^"
                         "\"2\",\"B2\",\"Second\",\"0\",\"1\",\"0\",\"2026-1-1\",\"\",\"\"^OK"));
        c.Close();
    });
    TUpdateFolderServer updates({{"mainappupdate.inf", TUpdateFolderServer::Silent()}});
    WriteProfileString(File("settings.dat"), "Settings", "webserver", service.Url(""));
    ::setenv("QUILLORY_UPDATE_URL", updates.Folder().c_str(), 1);

    TfrmMain main;
    main.UpdateChecker().SetSilentTimeLimit(300);
    // What the list shows while the update server keeps the program waiting.
    int rowsWhileUpdateWaits = -1;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (rowsWhileUpdateWaits < 0 && updates.SilentWaiting() > 0)
            rowsWhileUpdateWaits = main.CouponList()->model()->rowCount();
    });
    probe.start(10);
    RunStartup(main);
    probe.stop();

    EXPECT_EQ(service.ConnectionCount(), 2); // the service check and the list
    EXPECT_EQ(updates.Lines(), std::vector<std::string>{"GET /updates/mainappupdate.inf HTTP/1.1"});
    EXPECT_EQ(rowsWhileUpdateWaits, 2);
    // The program hung up on the update server, silently, the list in place.
    ASSERT_TRUE(updates.Server().WaitForHandlers(1));
    EXPECT_EQ(updates.ClientClosedSilent(), 1);
    EXPECT_EQ(main.CouponList()->model()->rowCount(), 2);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(UpdateStartupTest, CheckUpdatesShowsTheBusyCursorAndTheOutcome) {
    // Slow enough for the wait to pump the event loop (every 250 ms).
    TLoopbackServer server(Handler("1.01", 600));
    Serve(server);
    QuietMain main;
    main.show();
    Qt::CursorShape during = Qt::ArrowCursor;
    QTimer::singleShot(100, [&] {
        if (QApplication::overrideCursor())
            during = QApplication::overrideCursor()->shape();
    });
    QString shown;
    AnswerNextModal([&](QWidget* dialog) {
        for (auto* label : dialog->findChildren<TSkinStdLabel*>())
            shown += label->Caption();
        static_cast<TSkinMessageForm*>(dialog)->SetModalResult(mrOk);
    });
    QTest::mouseClick(main.findChild<QPushButton*>("btnUpdate"), Qt::LeftButton);
    EXPECT_EQ(during, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(shown, "There's no new updates for this application!");
}

TEST_F(UpdateStartupTest, CheckUpdatesDuringARequestDoesNothing) {
    TLoopbackServer server(Handler("1.01", 400));
    Serve(server);
    QuietMain main;
    main.show();
    // While the list reloads, the user presses Check Updates.
    QTimer::singleShot(
        100, [&] { QTest::mouseClick(main.findChild<QPushButton*>("btnUpdate"), Qt::LeftButton); });
    main.RefreshCoupons();
    QTest::qWait(100);
    EXPECT_EQ(Lines(), std::vector<std::string>{"POST /couponsactions.php HTTP/1.0"});
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

} // namespace
