#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// One application object for the viewer's tests, offscreen unless a platform is chosen.
int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
