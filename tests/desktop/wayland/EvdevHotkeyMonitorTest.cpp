#include "desktop/wayland/EvdevHotkeyMonitor.h"

#include "desktop/wayland/EvdevAccess.h"
#include "desktop/wayland/UinputKeyboard.h"
#include "integration/support/ChildProcess.h"

#include <QCoroTask>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace sayloom::testing {
namespace {

using namespace std::chrono_literals;

class EvdevHotkeyMonitorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        monitor.setOnChange([this](bool down) { reported += down ? '+' : '-'; });
        monitor.setOnCancel([this] { reported += 'x'; });
    }

    // Gives what the monitor reported once it has had time to report anything more than `expected`.
    std::string reportedAfter(const std::string& expected)
    {
        waitUntil([&] { return reported == expected; }, 2s);
        waitUntil([] { return false; }, 50ms);
        return reported;
    }

    EvdevHotkeyMonitor monitor;
    std::string reported;
};

void writeKey(int fd, int code, int value)
{
    input_event events[2]{};
    events[0].type = EV_KEY;
    events[0].code = std::uint16_t(code);
    events[0].value = value;
    events[1].type = EV_SYN;
    events[1].code = SYN_REPORT;
    ASSERT_EQ(::write(fd, events, sizeof events), ssize_t(sizeof events));
}

// Events arrive through the same path as a keyboard's, here from a pipe; the device may end, or a callback may stop
// the monitor in the middle of them.
TEST_F(EvdevHotkeyMonitorTest, ReadsEventsAndSurvivesTheirSourceEndingOrBeingStopped)
{
    monitor.start();
    const int keyboards = monitor.keyboardCount(); // none here; a real machine's own
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC | O_NONBLOCK), 0);
    monitor.watch(pipe[0], "pipe");
    EXPECT_EQ(monitor.keyboardCount(), keyboards + 1);
    writeKey(pipe[1], KEY_RIGHTALT, 1);
    writeKey(pipe[1], KEY_C, 1);
    writeKey(pipe[1], KEY_LEFTCTRL, 1);
    EXPECT_EQ(reportedAfter("+x"), "+x");
    EXPECT_TRUE(monitor.modifierHeld());
    // A keyboard that goes away mid-press cannot send its release.
    ::close(pipe[1]);
    EXPECT_EQ(reportedAfter("+x-"), "+x-");
    EXPECT_EQ(monitor.keyboardCount(), keyboards);
    EXPECT_FALSE(monitor.modifierHeld());

    reported.clear();
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC | O_NONBLOCK), 0);
    monitor.watch(pipe[0], "pipe");
    monitor.setOnChange([this](bool down) {
        reported += down ? '+' : '-';
        monitor.stop();
    });
    writeKey(pipe[1], KEY_RIGHTALT, 1);
    writeKey(pipe[1], KEY_ESC, 1);
    EXPECT_EQ(reportedAfter("+-"), "+-") << "stopped at the press; Escape after it is not read";
    EXPECT_FALSE(monitor.isWatching());
    ::close(pipe[1]);
}

// logind, as far as the monitor asks it: which session is ours, and whether it is in front.
class FakeLogind final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public Q_SLOTS:
    Q_SCRIPTABLE QDBusObjectPath GetSession(const QString&) { return QDBusObjectPath(QStringLiteral("/session/c2")); }
};

class FakeSession final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")
    Q_PROPERTY(bool Active MEMBER active SCRIPTABLE true)

public:
    bool active = true;
};

TEST_F(EvdevHotkeyMonitorTest, ClosesTheKeyboardsWhileAnotherSessionIsInFront)
{
    QTemporaryDir root;
    QProcess daemon;
    daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                  QStringLiteral("--address=unix:dir=") + root.path()});
    if (!daemon.waitForReadyRead(5000)) {
        GTEST_SKIP() << "no dbus-daemon";
    }
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    FakeLogind logind;
    FakeSession session;
    QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("logind"));
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/login1"), &logind,
                                       QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(service.registerObject(QStringLiteral("/session/c2"), &session,
                                       QDBusConnection::ExportScriptableProperties));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.login1")));
    const auto bringToFront = [&](bool ours) {
        session.active = ours;
        QDBusMessage changed = QDBusMessage::createSignal(QStringLiteral("/session/c2"),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("PropertiesChanged"));
        changed << QStringLiteral("org.freedesktop.login1.Session") << QVariantMap{{QStringLiteral("Active"), ours}}
                << QStringList();
        service.send(changed);
    };
    {
        EvdevHotkeyMonitor onBus(QDBusConnection::connectToBus(address, QStringLiteral("sayloom")));
        onBus.setOnChange([this](bool down) { reported += down ? '+' : '-'; });
        onBus.start();
        waitUntil([] { return false; }, 200ms); // the monitor learns which session is its own
        int pipe[2];
        ASSERT_EQ(::pipe2(pipe, O_CLOEXEC | O_NONBLOCK), 0);
        onBus.watch(pipe[0], "pipe");
        writeKey(pipe[1], KEY_RIGHTALT, 1);
        EXPECT_EQ(reportedAfter("+"), "+");
        bringToFront(false);
        EXPECT_EQ(reportedAfter("+-"), "+-") << "the held trigger is let go";
        EXPECT_FALSE(onBus.isWatching()) << "every keyboard is closed";
        ::close(pipe[1]);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("logind"));
    QDBusConnection::disconnectFromBus(QStringLiteral("sayloom"));
}

// Needs a real kernel: /dev/uinput to make keyboards, /dev/input to read them.
TEST_F(EvdevHotkeyMonitorTest, SeesKeyboardsPluggedInButNotOurOwn)
{
    if (!EvdevAccess::uinputWritable()) {
        GTEST_SKIP() << "no writable /dev/uinput";
    }
    UinputKeyboard ours;
    ours.setVKey(KEY_ESC); // a key the monitor would report, were it to read our keyboard
    monitor.start();
    const int before = monitor.keyboardCount();

    libevdev* description = libevdev_new();
    libevdev_set_name(description, "test keyboard");
    libevdev_enable_event_type(description, EV_KEY);
    // udev calls a device a keyboard when it has every key from Escape to S.
    for (int code = KEY_ESC; code <= KEY_RIGHTMETA; ++code) {
        libevdev_enable_event_code(description, EV_KEY, unsigned(code), nullptr);
    }
    libevdev_uinput* plugged = nullptr;
    ASSERT_EQ(libevdev_uinput_create_from_device(description, LIBEVDEV_UINPUT_OPEN_MANAGED, &plugged), 0);
    libevdev_free(description);
    if (!waitUntil([&] { return monitor.keyboardCount() > before; }, 3s)) {
        libevdev_uinput_destroy(plugged);
        GTEST_SKIP() << "keyboards cannot be read here, or udev announces none";
    }
    const auto send = [plugged](int code, int value) {
        libevdev_uinput_write_event(plugged, EV_KEY, unsigned(code), value);
        libevdev_uinput_write_event(plugged, EV_SYN, SYN_REPORT, 0);
    };
    send(KEY_RIGHTALT, 1);
    EXPECT_EQ(reportedAfter("+"), "+");
    send(KEY_RIGHTALT, 0);
    EXPECT_EQ(reportedAfter("+-"), "+-");

    EXPECT_TRUE(QCoro::waitFor(ours.sendPaste(PasteKeys::controlV)));
    EXPECT_EQ(reportedAfter("+-"), "+-") << "our own keystroke is not the user's";

    send(KEY_RIGHTALT, 1);
    EXPECT_EQ(reportedAfter("+-+"), "+-+");
    libevdev_uinput_destroy(plugged);
    EXPECT_EQ(reportedAfter("+-+-"), "+-+-") << "unplugged while held";
}

} // namespace
} // namespace sayloom::testing

#include "EvdevHotkeyMonitorTest.moc"
