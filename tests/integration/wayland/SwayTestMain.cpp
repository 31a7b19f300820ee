#include "integration/support/SwayServer.h"
#include "integration/wayland/SwayTest.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace sayloom::testing {

SwayServer* sway = nullptr;
QString swayMissing;

} // namespace sayloom::testing

// One private sway for the whole program, started before the tests connect to it. Without sway the tests skip.
int main(int argc, char* argv[])
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    QCoreApplication application(argc, argv);
    sayloom::SwayServer server;
    if (!sayloom::SwayServer::isInstalled()) {
        sayloom::testing::swayMissing = QStringLiteral("sway is not installed");
    } else if (QString error; !server.start(&error)) {
        qCritical("cannot start a private sway: %s", qPrintable(error));
        return 1;
    } else {
        server.useInThisProcess();
        sayloom::testing::sway = &server;
    }
    return RUN_ALL_TESTS();
}
