// Test entry: a widgets application (offscreen in CI) so that painting, fonts and the player's
// windows work, and script runs that a test may script.
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
