#include "BenchmarkMain.h"
#include "desktop/wayland/DataControlClipboard.h"
#include "desktop/wayland/VirtualKeyboard.h"
#include "desktop/wayland/WaylandConnection.h"
#include "desktop/wayland/WaylandTextInserter.h"
#include "integration/support/SwayServer.h"

#include <QCoreApplication>
#include <QProcess>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <functional>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

SwayServer* sway = nullptr;

// The virtual keyboard, noting when the keystroke has left for the compositor.
class TimedKeys final : public PasteKeySender {
public:
    explicit TimedKeys(PasteKeySender& keys)
        : m_keys(keys)
    {
    }
    bool isAvailable() const override { return m_keys.isAvailable(); }
    QCoro::Task<bool> sendPaste(PasteKeys keys) override
    {
        const bool sent = co_await m_keys.sendPaste(keys);
        sentAt = Clock::now();
        co_return sent;
    }

    std::optional<Clock::time_point> sentAt;

private:
    PasteKeySender& m_keys;
};

// From the call to the paste keystroke sent, with the clipboard empty or holding text another program (wl-copy)
// serves, which is copied out first; then the 0.3 s wait and the restore, untimed.
void BM_InsertToKeystroke(benchmark::State& state)
{
    WaylandConnection connection;
    DataControlClipboard clipboard(connection);
    VirtualKeyboard keyboard(connection);
    TimedKeys keys(keyboard);
    WaylandTextInserter inserter(clipboard, keys, {});
    if (!clipboard.isAvailable() || !keyboard.isAvailable()) {
        state.SkipWithError("no data-control clipboard or virtual keyboard");
        return;
    }
    for (auto _ : state) {
        QProcess copier;
        copier.setProcessEnvironment(sway->environment());
        copier.start(QStringLiteral("wl-copy"), state.range(0) == 1
                                                        ? QStringList{QStringLiteral("what the user copied")}
                                                        : QStringList{QStringLiteral("--clear")});
        copier.waitForFinished();
        pumpUntil([] { return false; }, 20ms);
        keys.sentAt.reset();
        const auto started = Clock::now();
        QCoro::Task<void> insertion = inserter.insert(QStringLiteral("Hello from the benchmark."), std::nullopt);
        if (!pumpUntil([&keys] { return keys.sentAt.has_value(); })) {
            state.SkipWithError("no keystroke was sent");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(*keys.sentAt - started).count());
        pumpUntil([&insertion] { return insertion.isReady(); });
    }
}
BENCHMARK(BM_InsertToKeystroke)->Apply(timedTakes)->Arg(0)->Arg(1);

} // namespace

} // namespace sayloom

// A private sway for the whole program, started before anything connects to it. Without sway the benchmarks are
// skipped.
int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    sayloom::SwayServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "benchmarks on sway skipped: %s\n", error.toLocal8Bit().constData());
        return 0;
    }
    server.useInThisProcess();
    sayloom::sway = &server;
    return sayloom::runRegisteredBenchmarks(argc, argv);
}
