// GoogleTest main for widget tests: a QApplication must exist before any widget.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv) {
    // Widget tests draw offscreen unless told otherwise; this also holds while CMake lists the
    // tests at build time, with no display around.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The desktop's thumbnail cache of this run only: tests neither see nor leave entries.
    char cache[] = "/tmp/kalder-gui-cache-XXXXXX";
    const bool privateCache = ::mkdtemp(cache) != nullptr;
    if (privateCache) ::setenv("XDG_CACHE_HOME", cache, 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    std::error_code ignored;
    if (privateCache) std::filesystem::remove_all(cache, ignored);
    return status;
}
