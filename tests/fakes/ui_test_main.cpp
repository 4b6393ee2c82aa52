#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

// One application for the whole program. New programs go to a home folder of
// the test's own, never to the user's.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
