#include <QApplication>

#include <gtest/gtest.h>

// The pill is a widget: the tests need an application object, and a platform that needs no display.
int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
