// GoogleTest main for widget tests: a QApplication must exist before any widget.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    // Widget tests draw offscreen unless told otherwise; this also holds while CMake lists the
    // tests at build time, with no display around.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
