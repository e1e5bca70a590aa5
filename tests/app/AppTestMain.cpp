// Widget tests run offscreen inside the program's own application object, so
// the general error handling is the one the program uses.
#include "app/Application.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    quillory::TApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
