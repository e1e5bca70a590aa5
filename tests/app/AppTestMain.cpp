// Widget tests run offscreen inside the program's own application object, so
// the general error handling is the one the program uses.
#include "app/Application.h"
#include "tests/support/ModalHelper.h"

#include <gtest/gtest.h>

#include "tests/support/LoopbackServer.h"

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The start-up step's update check asks a loopback port where nothing
    // listens, never the real update server; tests of the check set their own.
    const std::string nowhere =
        "http://127.0.0.1:" + std::to_string(quillory::testsupport::TLoopbackServer::UnusedPort()) +
        "/";
    ::setenv("QUILLORY_UPDATE_URL", nowhere.c_str(), 0);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(
        new quillory::test::TStopAnswersAfterEachTest);
    quillory::TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
