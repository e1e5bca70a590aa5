// Window tests run offscreen with one application object for the whole run.
#include "tests/support/ModalHelper.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(
        new quillory::test::TStopAnswersAfterEachTest);
    return RUN_ALL_TESTS();
}
