// Window end-to-end tests run offscreen with one application object.
#include "tests/support/LoopbackServer.h"
#include "tests/support/ModalHelper.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The main window's start-up update check asks a loopback port where
    // nothing listens, never the real update server.
    const std::string nowhere =
        "http://127.0.0.1:" + std::to_string(quillory::testsupport::TLoopbackServer::UnusedPort()) +
        "/";
    setenv("QUILLORY_UPDATE_URL", nowhere.c_str(), 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(
        new quillory::test::TStopAnswersAfterEachTest);
    return RUN_ALL_TESTS();
}
