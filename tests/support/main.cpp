// Test entry: a widgets application (offscreen) for painting, fonts and the player's windows.
#include "tests/support/scriptedresults.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    kvtest::ScriptedResults::instance().install();
    return RUN_ALL_TESTS();
}
