#include "desktop/wayland/EvdevHotkeyMonitor.h"

#include "desktop/wayland/EvdevAccess.h"
#include "desktop/wayland/UinputKeyboard.h"
#include "integration/support/ChildProcess.h"

#include <QCoroTask>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
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
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC | O_NONBLOCK), 0);
    monitor.watch(pipe[0], "pipe");
    EXPECT_TRUE(monitor.isWatching());
    writeKey(pipe[1], KEY_RIGHTALT, 1);
    writeKey(pipe[1], KEY_C, 1);
    writeKey(pipe[1], KEY_LEFTCTRL, 1);
    EXPECT_EQ(reportedAfter("+x"), "+x");
    EXPECT_TRUE(monitor.modifierHeld());
    // A keyboard that goes away mid-press cannot send its release.
    ::close(pipe[1]);
    EXPECT_EQ(reportedAfter("+x-"), "+x-");
    EXPECT_FALSE(monitor.isWatching());
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
