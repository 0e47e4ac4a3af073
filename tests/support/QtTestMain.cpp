// Runs the tests inside a QApplication on the offscreen platform, with the
// program's own fonts registered as the program does at start-up.

#include <gtest/gtest.h>

#include <QApplication>

#include "Assets.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    corvel::RegisterAssetFonts();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
