#include "desktop/wayland/AtspiActiveApplication.h"

#include "SessionBus.h"
#include "integration/support/ChildProcess.h"
#include "integration/support/XServer.h"

#include <QDBusConnection>
#include <QFile>

#include <gtest/gtest.h>
#include <memory>

namespace sayloom {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

// Xvfb with openbox, and a private session bus that starts the accessibility bus on demand as a GNOME session does;
// each new window takes the focus.
TEST(AtspiActiveApplication, NamesTheApplicationWhoseWindowIsActive)
{
    XServer display;
    QString why;
    if (!display.start(&why) || !QFile::exists(u"/usr/libexec/at-spi-bus-launcher"_s)) {
        GTEST_SKIP() << "no X server or no AT-SPI: " << why.toStdString();
    }
    QProcess daemon;
    QProcessEnvironment environment = display.environment();
    const QString address = startSessionBus(daemon, environment);
    ASSERT_FALSE(address.isEmpty()) << "dbus-daemon did not start";
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, address);
    environment.insert(u"QT_LINUX_ACCESSIBILITY_ALWAYS_ON"_s, u"1"_s);
    {
        AtspiActiveApplication route(QDBusConnection::connectToBus(address, u"session"_s));
        EXPECT_EQ(route.frontmost(), std::nullopt) << "no window yet";

        // A terminal the paste-key table has never heard of is still pasted into as a terminal; one it knows keeps
        // its name.
        const struct {
            QStringList arguments;
            QString id, name;
        } windows[] = {{{u"org.example.Notes"_s}, u"org.example.Notes"_s, u"org.example.Notes"_s},
                       {{u"frobterm"_s, u"terminal"_s}, u"x-terminal-emulator"_s, u"frobterm"_s},
                       {{u"xterm"_s, u"terminal"_s}, u"xterm"_s, u"xterm"_s}};
        std::vector<std::unique_ptr<ChildProcess>> opened;
        std::optional<RunningApplication> found;
        for (const auto& window : windows) {
            const auto& process = opened.emplace_back(
                    std::make_unique<ChildProcess>(u"" ATSPI_TEST_WINDOW ""_s, window.arguments, environment));
            EXPECT_TRUE(waitUntil(
                    [&] { return (found = route.frontmost()) && found->identity == QString::number(process->pid()); },
                    10s));
            ASSERT_TRUE(found) << window.arguments.join(u' ').toStdString() << process->joined().toStdString();
            EXPECT_EQ(found->applicationId, window.id);
            EXPECT_EQ(found->displayName, window.name);
        }

        // The active window's process dies without a word, and the focus moves on.
        const QString killed = QString::number(opened.back()->pid());
        ::kill(opened.back()->pid(), SIGKILL);
        EXPECT_TRUE(waitUntil([&] { return !(found = route.frontmost()) || found->identity != killed; }, 10s));
    }
    QDBusConnection::disconnectFromBus(u"session"_s);
}

} // namespace
} // namespace sayloom
