#pragma once

#include <QCoroTask>
#include <QDateTime>

#include <chrono>

namespace sayloom {

// Time as the session sees it. Every timer of a take sleeps through here, so a test can move time by hand.
class Clock {
public:
    using Instant = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;

    // Monotonic: for durations and the tap and double-tap rules.
    virtual Instant now() const = 0;
    // Wall clock: for the dates the user sees.
    virtual QDateTime wallNow() const = 0;
    // Completes on the caller's thread once `duration` has passed on the monotonic clock; never fails.
    virtual QCoro::Task<void> sleep(std::chrono::milliseconds duration) = 0;
};

} // namespace sayloom
