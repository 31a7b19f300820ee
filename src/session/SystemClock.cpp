#include "session/SystemClock.h"

#include "base/PreciseSleep.h"

namespace sayloom {

Clock::Instant SystemClock::now() const
{
    return std::chrono::steady_clock::now();
}

QDateTime SystemClock::wallNow() const
{
    return QDateTime::currentDateTimeUtc();
}

QCoro::Task<void> SystemClock::sleep(std::chrono::milliseconds duration)
{
    // A coarse timer may fire 5 % early, which would blur the 250 ms tap and the 300 ms tail.
    co_await sleepPrecisely(duration);
}

} // namespace sayloom
