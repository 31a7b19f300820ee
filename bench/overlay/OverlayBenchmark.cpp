#include "overlay/OverlayController.h"
#include "session/SystemClock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <sys/resource.h>

namespace sayloom {

namespace {

using namespace std::chrono_literals;

constexpr auto listening = 10s;
constexpr auto levelInterval = 20ms;

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Serves events for `duration`, sleeping while there are none.
void runFor(std::chrono::milliseconds duration)
{
    bool done = false;
    QTimer::singleShot(duration, Qt::PreciseTimer, [&done] { done = true; });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

// The pill shown for 10 s while levels arrive at 50 a second, as the recorder delivers them: listening with and
// without a compositor, and for comparison the working pulse, which animates by itself. Reports the process's CPU
// time over wall time in percent of one core ("cpu_percent"); the target while listening is at most 3.
void BM_ListeningAt50LevelsPerSecond(benchmark::State& state)
{
    SystemClock clock;
    OverlayController overlay(clock);
    // Without a compositor the pill is painted opaque inside a window cut to its shape.
    overlay.setCompositing(state.range(0) != 0);
    // The working pulse animates on its own, whatever the levels do.
    overlay.show(state.range(1) != 0 ? OverlayMode::processing() : OverlayMode::listening(false));
    // Let the window map and the fade in finish before measuring the steady state.
    runFor(500ms);

    for (auto _ : state) {
        int pushed = 0;
        QTimer levels;
        levels.setTimerType(Qt::PreciseTimer);
        levels.setInterval(levelInterval);
        QObject::connect(&levels, &QTimer::timeout, [&] {
            // Speech-like: a slow swell with a faster flutter on it.
            const double t = pushed * 0.02;
            overlay.push(static_cast<float>(0.45 + 0.3 * std::sin(t * 2.1) * std::abs(std::sin(t * 9.0))));
            ++pushed;
        });
        const double cpuBefore = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        levels.start();
        runFor(listening);
        levels.stop();
        const double wallSeconds = wall.nsecsElapsed() / 1e9;
        const double cpuSeconds = processCpuSeconds() - cpuBefore;
        state.SetIterationTime(wallSeconds);
        state.counters["cpu_percent"] = 100.0 * cpuSeconds / wallSeconds;
        state.counters["levels_per_second"] = pushed / wallSeconds;
    }
    overlay.hide(0ms);
}
BENCHMARK(BM_ListeningAt50LevelsPerSecond)
        ->ArgNames({"compositing", "processing"})
        ->Args({1, 0})
        ->Args({0, 0})
        ->Args({1, 1})
        ->UseManualTime()
        ->Iterations(1)
        ->Unit(benchmark::kSecond);

} // namespace

} // namespace sayloom
