#include "BenchmarkMain.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11HotkeyMonitor.h"
#include "desktop/x11/X11Keyboard.h"
#include "desktop/x11/X11TextInserter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QThread>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <xcb/xinput.h>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// From the trigger's raw release leaving another client (as the keyboard's would) to the monitor's report on the
// main thread.
void BM_TriggerReleaseToReport(benchmark::State& state)
{
    X11HotkeyMonitor monitor;
    std::optional<Clock::time_point> reported;
    monitor.setOnChange([&reported](bool) { reported = Clock::now(); });
    monitor.start();
    const std::unique_ptr<X11Connection> keyboardSide = X11Connection::open();
    if (!monitor.isWatching() || !keyboardSide) {
        state.SkipWithError("no X server to watch");
        return;
    }
    const xcb_keycode_t rightAlt = X11Keyboard(*keyboardSide).keyByName("RALT", 108);
    for (auto _ : state) {
        keyboardSide->fakeKey(rightAlt, true);
        keyboardSide->flush();
        pumpUntil([&monitor] { return monitor.isDown(); });
        reported.reset();
        keyboardSide->fakeKey(rightAlt, false);
        const auto released = Clock::now();
        keyboardSide->flush();
        if (!pumpUntil([&reported] { return reported.has_value(); })) {
            state.SkipWithError("the release was not reported");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(*reported - released).count());
    }
}
BENCHMARK(BM_TriggerReleaseToReport)->Apply(timedTakes);

// From the call to the paste keystroke reaching the server (its first key, as another client sees it), with the
// clipboard empty or holding text of our own; then the 0.3 s wait and the restore, untimed.
void BM_InsertToKeystroke(benchmark::State& state)
{
    X11TextInserter inserter;
    const std::unique_ptr<X11Connection> listener = X11Connection::open();
    std::uint8_t xinput = 0;
    if (!listener || !listener->hasXInput2(&xinput)) {
        state.SkipWithError("no X server with XInput2");
        return;
    }
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS};
    xcb_input_xi_select_events(listener->get(), listener->root(), 1, &selection.head);
    listener->flush();
    const auto keyPressed = [&listener, xinput] {
        bool pressed = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(listener->get())) {
            const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
            pressed = pressed || ((event->response_type & 0x7f) == XCB_GE_GENERIC && generic->extension == xinput &&
                                  generic->event_type == XCB_INPUT_RAW_KEY_PRESS);
            std::free(event);
        }
        return pressed;
    };
    for (auto _ : state) {
        if (state.range(0) == 1) {
            QGuiApplication::clipboard()->setText(QStringLiteral("what the user copied"));
        } else {
            QGuiApplication::clipboard()->clear();
        }
        pumpUntil([] { return false; }, 5ms);
        keyPressed();
        const auto started = Clock::now();
        QCoro::Task<void> insertion = inserter.insert(QStringLiteral("Hello from the benchmark."), std::nullopt);
        if (!pumpUntil(keyPressed)) {
            state.SkipWithError("no keystroke came");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
        pumpUntil([&insertion] { return insertion.isReady(); });
    }
}
BENCHMARK(BM_InsertToKeystroke)->Apply(timedTakes)->Repetitions(20)->Arg(0)->Arg(1);

} // namespace

} // namespace sayloom
