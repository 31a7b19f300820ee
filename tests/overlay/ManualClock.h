#pragma once

#include "session/ports/Clock.h"

#include <QCoreApplication>

#include <coroutine>
#include <map>

namespace sayloom::testing {

// Time stands still until the test moves it; sleepers wake in the order of their deadlines, each one's work done
// before the next wakes.
class ManualClock final : public Clock {
public:
    Instant now() const override { return m_now; }
    QDateTime wallNow() const override { return QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC); }
    QCoro::Task<void> sleep(std::chrono::milliseconds duration) override { co_await Sleeper{this, m_now + duration}; }

    void advance(std::chrono::milliseconds duration)
    {
        const Instant target = m_now + duration;
        while (!m_sleepers.empty() && m_sleepers.begin()->first <= target) {
            const auto [deadline, sleeper] = *m_sleepers.begin();
            m_sleepers.erase(m_sleepers.begin());
            m_now = deadline;
            sleeper.resume();
            QCoreApplication::processEvents();
        }
        m_now = target;
    }

private:
    struct Sleeper {
        ManualClock* clock;
        Instant deadline;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> waiter) { clock->m_sleepers.emplace(deadline, waiter); }
        void await_resume() const noexcept {}
    };

    Instant m_now{std::chrono::hours(1000)};
    std::multimap<Instant, std::coroutine_handle<>> m_sleepers;
};

} // namespace sayloom::testing
