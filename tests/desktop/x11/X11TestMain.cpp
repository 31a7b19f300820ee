#include "integration/support/XServer.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

// One private X server for the whole program, started before the application object so that Qt connects to it.
int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    sayloom::XServer server;
    if (QString error; !server.start(&error)) {
        qCritical("cannot start a private X server: %s", qPrintable(error));
        return 1;
    }
    server.useInThisProcess();
    QGuiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
