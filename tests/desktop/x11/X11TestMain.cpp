#include "X11TestSupport.h"

#include <QGuiApplication>

#include <cstdio>
#include <gtest/gtest.h>

namespace {
sayloom::XServer* server = nullptr;
} // namespace

sayloom::XServer& sayloom::testing::xServer()
{
    return *server;
}

// One private X server for the whole program, started before the application object so that Qt connects to it.
int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    sayloom::XServer xServer;
    if (QString error; !xServer.start(&error)) {
        std::fprintf(stderr, "cannot start a private X server: %s\n", qPrintable(error));
        return 1;
    }
    xServer.useInThisProcess();
    server = &xServer;
    QGuiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
