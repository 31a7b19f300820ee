#include "BenchmarkMain.h"
#include "desktop/wayland/AtspiActiveApplication.h"
#include "integration/desktops/SessionBus.h"
#include "integration/support/ChildProcess.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <vector>

namespace sayloom {

namespace {

using namespace std::chrono_literals;

// A private session bus with its accessibility bus, and ten applications on it, the last one active; shared by the
// benchmarks of one run.
struct Desktop {
    Desktop()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        address = startSessionBus(daemon, environment);
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        for (int i = 0; i < 10; ++i) {
            windows.push_back(std::make_unique<ChildProcess>(QStringLiteral(ATSPI_TEST_WINDOW),
                                                             QStringList{QStringLiteral("app%1").arg(i)}, environment));
        }
        bus = QDBusConnection::connectToBus(address, QStringLiteral("benchmark"));
        AtspiActiveApplication route(bus);
        const QString last = QString::number(windows.back()->pid());
        ready = waitUntil([&] { return route.frontmost() && route.frontmost()->identity == last; }, 20s);
        if (!ready) {
            std::fprintf(stderr, "the windows did not come up: %s\n", qPrintable(windows.back()->joined()));
        }
    }

    QProcess daemon;
    QString address;
    std::vector<std::unique_ptr<ChildProcess>> windows;
    QDBusConnection bus{QString()};
    bool ready = false;
};

// Left to the end of the process, which takes its programs along.
Desktop& desktop()
{
    static auto* const shared = new Desktop;
    return *shared;
}

std::unique_ptr<AtspiActiveApplication> connectedRoute()
{
    auto route = std::make_unique<AtspiActiveApplication>(desktop().bus);
    waitUntil([&route] { return route->isConnected(); }, 5s);
    return route;
}

// The answer a take gets once the route has seen the window become active: one question to that window.
void BM_AtspiFrontmostKnownWindow(benchmark::State& state)
{
    if (!desktop().ready) {
        state.SkipWithError("no accessibility bus with the windows on it");
        return;
    }
    const auto route = connectedRoute();
    if (!route->frontmost()) {
        state.SkipWithError("no active window");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(route->frontmost());
    }
}
BENCHMARK(BM_AtspiFrontmostKnownWindow)->Unit(benchmark::kMillisecond);

// The first answer of a route that has heard nothing yet: the walk over the ten applications and their windows, and
// the active one's process and name.
void BM_AtspiFrontmostWalk(benchmark::State& state)
{
    if (!desktop().ready) {
        state.SkipWithError("no accessibility bus with the windows on it");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto route = connectedRoute();
        state.ResumeTiming();
        benchmark::DoNotOptimize(route->frontmost());
        state.PauseTiming();
        route.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AtspiFrontmostWalk)->Unit(benchmark::kMillisecond);

} // namespace

} // namespace sayloom
