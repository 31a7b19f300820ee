#pragma once

#include "session/ports/Clock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QMetaObject>

#include <algorithm>
#include <coroutine>
#include <map>
#include <utility>

// A clock that tests move by hand, and the two small tools it is built from.
namespace sayloom::testing {

// Runs queued work, and the work it queues in turn, until nothing is left.
inline void pump()
{
    for (int round = 0; round < 8; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// A point a fake waits at until it is opened; the waiter resumes from the event loop, as a real result arrives.
class Gate {
public:
    // Refers to the gate, as the coroutine may copy what it awaits.
    struct Awaiter {
        Gate* gate;
        bool await_ready() const noexcept { return gate->m_open; }
        void await_suspend(std::coroutine_handle<> waiter) { gate->m_waiter = waiter; }
        void await_resume() const noexcept {}
    };

    Awaiter wait() { return Awaiter{this}; }
    void open()
    {
        m_open = true;
        if (const std::coroutine_handle<> waiter = std::exchange(m_waiter, {})) {
            QMetaObject::invokeMethod(
                    QCoreApplication::instance(), [waiter] { waiter.resume(); }, Qt::QueuedConnection);
        }
    }

private:
    bool m_open = false;
    std::coroutine_handle<> m_waiter;
};

// Time stands still until the test moves it; sleepers wake in the order of their deadlines.
class FakeClock final : public Clock {
public:
    Instant now() const override { return m_now; }
    QDateTime wallNow() const override
    {
        const auto sinceOrigin = std::chrono::duration_cast<std::chrono::milliseconds>(m_now.time_since_epoch());
        return QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC).addMSecs(sinceOrigin.count());
    }
    QCoro::Task<void> sleep(std::chrono::milliseconds duration) override
    {
        Gate woken;
        m_sleepers.emplace(m_now + duration, &woken);
        Gate::Awaiter awake = woken.wait();
        co_await awake;
    }

    // Moves time forward, waking each sleeper at its own deadline and letting its work run before the next.
    void advance(std::chrono::milliseconds duration)
    {
        const Instant target = m_now + duration;
        pump();
        while (!m_sleepers.empty() && m_sleepers.begin()->first <= target) {
            const auto [deadline, sleeper] = *m_sleepers.begin();
            m_sleepers.erase(m_sleepers.begin());
            m_now = std::max(m_now, deadline);
            sleeper->open();
            pump();
        }
        m_now = target;
        pump();
    }
    std::size_t sleepers() const { return m_sleepers.size(); }

private:
    Instant m_now{std::chrono::hours(1000)};
    std::multimap<Instant, Gate*> m_sleepers;
};

} // namespace sayloom::testing
