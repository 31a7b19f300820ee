#include "BenchmarkMain.h"
#include "app/AppParts.h"
#include "integration/support/PulseServer.h"
#include "session/AppState.h"
#include "session/SessionFakes.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <memory>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The application's real parts (settings and files in a home of their own, the recorder and the live microphone
// list on a private sound server with one built-in microphone, PocketSphinx) driven by one session, with stand-ins
// only for the desktop: the trigger key, the pill, the paste.
struct LiveSession {
    QTemporaryDir home;
    PulseServer server;
    std::unique_ptr<FifoFeeder> feeder;
    SystemClock clock;
    testing::FakeHotkeyMonitor hotkeys;
    testing::FakeDesktop desktop{clock};
    std::unique_ptr<AppParts> parts;
    std::unique_ptr<AppState> state;
    QString error;

    LiveSession()
    {
        qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
        if (!startServer()) {
            return;
        }
        parts = std::make_unique<AppParts>();
        state = std::make_unique<AppState>(
                parts->sessionParts({hotkeys, desktop, desktop, desktop, desktop, desktop, desktop, desktop}));
        state->start();
        if (!waitFor([this] { return state->engineStatus().kind() == EngineStatus::Kind::ready; }, 60s)) {
            error = u"the engine is not ready: " + state->engineStatus().text();
        } else if (!microphoneListed()) {
            error = QStringLiteral("the microphone is not listed");
        }
    }

    bool startServer()
    {
        if (!server.start(&error)) {
            return false;
        }
        server.useInThisProcess();
        const auto microphone =
                server.addMicrophone(QStringLiteral("builtin"), QStringLiteral("Built-in Microphone"),
                                     {{QStringLiteral("device.form_factor"), QStringLiteral("internal")}});
        if (!microphone) {
            error = QStringLiteral("cannot add the virtual microphone");
            return false;
        }
        feeder = std::make_unique<FifoFeeder>(microphone->fifo);
        feeder->feedInRealTime(std::vector<float>(160, 0.0f), 16000, 160);
        return true;
    }

    bool microphoneListed()
    {
        return waitFor([this] { return !parts->inputDevices().inputDevices().isEmpty(); }, 10s);
    }

    static bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds patience)
    {
        const auto deadline = Clock::now() + patience;
        while (!done()) {
            if (Clock::now() > deadline) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        }
        return true;
    }

    // Presses the trigger and returns how long the main thread took until the phase said so, or nothing.
    std::optional<Clock::duration> press(AppState::Phase::Kind expected)
    {
        std::optional<Clock::time_point> reached;
        const auto watch = QObject::connect(state.get(), &AppState::phaseChanged, [&] {
            if (!reached && state->phase().is(expected)) {
                reached = Clock::now();
            }
        });
        const auto begin = Clock::now();
        hotkeys.key(true);
        QObject::disconnect(watch);
        return reached ? std::optional(*reached - begin) : std::nullopt;
    }

    // Escape, the key let go, and a moment for the take to wind down.
    void cancel()
    {
        hotkeys.onCancel();
        hotkeys.key(false);
        waitFor([] { return false; }, 50ms);
    }

    static std::unique_ptr<LiveSession>& instance()
    {
        static std::unique_ptr<LiveSession> live = std::make_unique<LiveSession>();
        return live;
    }
};

// The main thread's time from the trigger going down to the phase becoming recording: the microphone resolved, the
// recorder started, the polisher chosen, the pill and the cue asked for.
void BM_PressToRecording(benchmark::State& benchmarkState)
{
    LiveSession& live = *LiveSession::instance();
    if (!live.error.isEmpty()) {
        benchmarkState.SkipWithError(qPrintable(live.error));
        return;
    }
    for (auto _ : benchmarkState) {
        const auto took = live.press(AppState::Phase::Kind::recording);
        if (!took) {
            benchmarkState.SkipWithError(qPrintable(u"no recording: " + live.state->phase().message()));
            return;
        }
        benchmarkState.SetIterationTime(std::chrono::duration<double>(*took).count());
        live.cancel();
    }
}
BENCHMARK(BM_PressToRecording)->Apply(timedTakes);

// The same press with the sound server gone: it must fail at once with the recorder's own message, and once the
// server is back the next press records again.
void BM_PressWithTheServerStopped(benchmark::State& benchmarkState)
{
    LiveSession& live = *LiveSession::instance();
    if (!live.error.isEmpty()) {
        benchmarkState.SkipWithError(qPrintable(live.error));
        return;
    }
    live.feeder.reset();
    live.server.stop();
    LiveSession::waitFor([&] { return live.parts->inputDevices().inputDevices().isEmpty(); }, 5s);
    for (auto _ : benchmarkState) {
        const auto took = live.press(AppState::Phase::Kind::error);
        if (!took || !live.state->phase().message().startsWith(u"Mic failed: ")) {
            benchmarkState.SkipWithError(qPrintable(u"not the recorder's failure: " + live.state->phase().message()));
            return;
        }
        benchmarkState.SetIterationTime(std::chrono::duration<double>(*took).count());
        live.hotkeys.key(false);
    }
    if (!live.startServer() || !live.microphoneListed() || !live.press(AppState::Phase::Kind::recording)) {
        benchmarkState.SkipWithError("the session did not record once the server was back");
    }
    live.cancel();
}
BENCHMARK(BM_PressWithTheServerStopped)->Apply(timedTakes)->Repetitions(10);

} // namespace

} // namespace sayloom

int main(int argc, char** argv)
{
    // A line per take, and one per press while the server is gone, would bury the results.
    const int status = sayloom::runBenchmarks(
            argc, argv, QStringLiteral("app.sayloom.*.info=false\napp.sayloom.audio.warning=false"));
    // The session and the daemon go before the program's static objects do.
    sayloom::LiveSession::instance().reset();
    return status;
}
