#include <QCoreApplication>

#include <gtest/gtest.h>

// Tests that wait on coroutines, timers or sockets need an application object for their event loops.
int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
