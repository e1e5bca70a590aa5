// Update tests run offscreen; the client pumps the event loop while it
// waits, as in the program, so dialogs and timers keep working.
#include "http/AntiFreeze.h"
#include "tests/support/ModalHelper.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    quillory::TAntiFreeze::SetHook([](bool) { QCoreApplication::processEvents(); });
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(
        new quillory::test::TStopAnswersAfterEachTest);
    return RUN_ALL_TESTS();
}
