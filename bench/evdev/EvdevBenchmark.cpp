#include "BenchmarkMain.h"
#include "desktop/wayland/EvdevAccess.h"
#include "desktop/wayland/EvdevHotkeyMonitor.h"

#include <QCoreApplication>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <optional>
#include <unistd.h>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Sleeps in the event loop as the program does, so the time to wake up on the descriptor is part of the figure.
bool waitInLoop(const std::function<bool()>& done, std::chrono::milliseconds patience = 2s)
{
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(patience);
    while (!done()) {
        if (!deadline.isActive()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Times the trigger's release from `send` to the report, the press before it untimed.
void timeReleases(benchmark::State& state, EvdevHotkeyMonitor& monitor, const std::function<void(int)>& send)
{
    std::optional<Clock::time_point> reported;
    monitor.setOnChange([&reported](bool down) {
        if (!down) {
            reported = Clock::now();
        }
    });
    for (auto _ : state) {
        send(1);
        if (!waitInLoop([&monitor] { return monitor.isDown(); })) {
            state.SkipWithError("the press was not reported");
            return;
        }
        reported.reset();
        const auto released = Clock::now();
        send(0);
        if (!waitInLoop([&reported] { return reported.has_value(); })) {
            state.SkipWithError("the release was not reported");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(*reported - released).count());
    }
}

// The records a keyboard would give for the trigger, written to a pipe that the monitor reads as it reads keyboards.
void BM_PipeReleaseToReport(benchmark::State& state)
{
    EvdevHotkeyMonitor monitor;
    monitor.start();
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        state.SkipWithError("no pipe");
        return;
    }
    monitor.watch(pipe[0], "benchmark pipe");
    timeReleases(state, monitor, [writer = pipe[1]](int value) {
        input_event events[2]{};
        events[0].type = EV_KEY;
        events[0].code = KEY_RIGHTALT;
        events[0].value = value;
        events[1].type = EV_SYN;
        events[1].code = SYN_REPORT;
        if (::write(writer, events, sizeof events) != ssize_t(sizeof events)) {
            std::abort();
        }
    });
    ::close(pipe[1]);
}
BENCHMARK(BM_PipeReleaseToReport)->Apply(timedTakes)->Unit(benchmark::kMicrosecond)->Repetitions(200);

// Through the kernel: a uinput keyboard of our own making, found by the monitor through udev.
void BM_UinputReleaseToReport(benchmark::State& state)
{
    if (!EvdevAccess::uinputWritable()) {
        state.SkipWithError("no writable /dev/uinput");
        return;
    }
    EvdevHotkeyMonitor monitor;
    monitor.start();
    const int before = monitor.keyboardCount();
    libevdev* description = libevdev_new();
    libevdev_set_name(description, "benchmark keyboard");
    libevdev_enable_event_type(description, EV_KEY);
    for (unsigned int code = KEY_ESC; code <= KEY_RIGHTMETA; ++code) {
        libevdev_enable_event_code(description, EV_KEY, code, nullptr);
    }
    libevdev_uinput* keyboard = nullptr;
    const int made = libevdev_uinput_create_from_device(description, LIBEVDEV_UINPUT_OPEN_MANAGED, &keyboard);
    libevdev_free(description);
    if (made != 0) {
        state.SkipWithError("no uinput keyboard could be made");
        return;
    }
    // udev announces it once its node's permissions are set.
    if (!waitInLoop([&monitor, before] { return monitor.keyboardCount() > before; }, 3s)) {
        state.SkipWithError("the new keyboard cannot be read");
    } else {
        timeReleases(state, monitor, [keyboard](int value) {
            libevdev_uinput_write_event(keyboard, EV_KEY, KEY_RIGHTALT, value);
            libevdev_uinput_write_event(keyboard, EV_SYN, SYN_REPORT, 0);
        });
    }
    monitor.stop();
    libevdev_uinput_destroy(keyboard);
}
BENCHMARK(BM_UinputReleaseToReport)->Apply(timedTakes)->Unit(benchmark::kMicrosecond);

// The two probes the accessibility answer makes once a second.
void BM_AccessProbes(benchmark::State& state)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(EvdevAccess::keyboardsReadable());
        benchmark::DoNotOptimize(EvdevAccess::uinputWritable());
    }
}
BENCHMARK(BM_AccessProbes)->Unit(benchmark::kMicrosecond);

} // namespace

} // namespace sayloom

int main(int argc, char** argv)
{
    return sayloom::runBenchmarks(argc, argv, QStringLiteral("app.sayloom.wayland.warning=false"));
}
