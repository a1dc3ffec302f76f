// The main of every widget test: a QApplication on the offscreen platform (unless the caller
// chose another), then the GoogleTest run.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Widget tests must never read or write the user's own settings or caches.
    ::setenv("XDG_CONFIG_HOME", "/nonexistent-todolist-test-config", 0);
    QApplication App(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
