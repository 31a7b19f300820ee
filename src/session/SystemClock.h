#pragma once

#include "session/ports/Clock.h"

namespace sayloom {

// The steady clock, the system's wall clock, and sleeps on precise Qt timers of the calling thread's event loop.
class SystemClock final : public Clock {
public:
    SystemClock() = default;
    SystemClock(const SystemClock&) = delete;
    SystemClock& operator=(const SystemClock&) = delete;

    Instant now() const override;
    QDateTime wallNow() const override;
    QCoro::Task<void> sleep(std::chrono::milliseconds duration) override;
};

} // namespace sayloom
