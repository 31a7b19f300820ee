#include "X11TestSupport.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>

namespace sayloom::testing {

namespace {
XServer* server = nullptr;
} // namespace

XServer& xServer()
{
    return *server;
}

} // namespace sayloom::testing

// One private X server for the whole program, started before the application object so that Qt connects to it.
int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    sayloom::XServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "cannot start a private X server: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    server.useInThisProcess();
    sayloom::testing::server = &server;
    QGuiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
