#include "desktop/wayland/AtspiActiveApplication.h"

#include "SessionBus.h"
#include "integration/support/ChildProcess.h"
#include "integration/support/XServer.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <gtest/gtest.h>
#include <memory>

namespace sayloom {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

// A window of atspi_test_window, as the process the route should name.
struct Window {
    std::unique_ptr<ChildProcess> process;
    QString pid;
};

Window openWindow(const QProcessEnvironment& environment, const QStringList& arguments)
{
    Window window{std::make_unique<ChildProcess>(u"" ATSPI_TEST_WINDOW ""_s, arguments, environment), {}};
    const qsizetype ready = window.process->waitFor(u"^ready "_s);
    if (ready >= 0) {
        window.pid = window.process->lines()[ready].text.section(u' ', 1);
    }
    return window;
}

// Xvfb with openbox and a private session bus that starts the accessibility bus on demand, as a GNOME session does.
TEST(AtspiActiveApplication, NamesTheApplicationWhoseWindowIsActive)
{
    XServer display;
    QString why;
    if (!display.start(&why) || !QFile::exists(u"/usr/libexec/at-spi-bus-launcher"_s)) {
        GTEST_SKIP() << "no X server or no AT-SPI: " << why.toStdString();
    }
    QProcessEnvironment environment = display.environment();
    QTemporaryDir data;
    ASSERT_TRUE(QDir(data.path()).mkpath(u"applications"_s));
    QFile entry(data.filePath(u"applications/org.example.Notes.desktop"_s));
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Example Notes\nExec=notes\n");
    entry.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));

    const SessionBus session(environment);
    const QString& address = session.address();
    ASSERT_FALSE(address.isEmpty()) << "dbus-daemon did not start";
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, address);
    environment.insert(u"QT_LINUX_ACCESSIBILITY_ALWAYS_ON"_s, u"1"_s);
    {
        AtspiActiveApplication route(QDBusConnection::connectToBus(address, u"session"_s));
        EXPECT_EQ(route.frontmost(), std::nullopt) << "no window yet";
        EXPECT_EQ(route.current()->identity, QString::number(QCoreApplication::applicationPid()));

        const Window notes = openWindow(environment, {u"org.example.Notes"_s});
        ASSERT_FALSE(notes.pid.isEmpty()) << notes.process->joined().toStdString();
        std::optional<RunningApplication> found;
        EXPECT_TRUE(waitUntil([&] { return (found = route.frontmost()) && found->identity == notes.pid; }, 10s));
        ASSERT_TRUE(found);
        EXPECT_EQ(found->applicationId, u"org.example.Notes"_s);
        EXPECT_EQ(found->displayName, u"Example Notes"_s) << "from its desktop entry";

        // A terminal the paste-key table has never heard of is still pasted into as a terminal; one it knows keeps
        // its own name.
        const struct {
            QString name;
            QString id;
        } terminals[] = {{u"frobterm"_s, u"x-terminal-emulator"_s}, {u"xterm"_s, u"xterm"_s}};
        for (const auto& terminal : terminals) {
            const Window window = openWindow(environment, {terminal.name, u"terminal"_s});
            EXPECT_TRUE(waitUntil(
                    [&] {
                        found = route.frontmost();
                        return found && found->identity == window.pid && found->applicationId == terminal.id;
                    },
                    10s))
                    << terminal.name.toStdString() << " gave "
                    << (found ? found->applicationId.value_or(u"(none)"_s).toStdString() : "nothing");
        }

        // The active window's process dies without a word; the window manager gives the focus back to the notes.
        const Window doomed = openWindow(environment, {u"doomed"_s});
        ASSERT_TRUE(waitUntil([&] { return (found = route.frontmost()) && found->identity == doomed.pid; }, 10s));
        ::kill(doomed.pid.toInt(), SIGKILL);
        EXPECT_TRUE(waitUntil([&] { return !(found = route.frontmost()) || found->identity != doomed.pid; }, 10s));
    }
    QDBusConnection::disconnectFromBus(u"session"_s);
    qunsetenv("XDG_DATA_HOME");
}

} // namespace
} // namespace sayloom
