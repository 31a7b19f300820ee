#pragma once

#include <QCoroTask>

#include <chrono>

namespace sayloom {

// Suspends the calling coroutine for `duration` on a precise timer, leaving the event loop free. A coarse timer may
// fire 5 % early, which would blur the short waits of pasting and typing.
QCoro::Task<void> sleepPrecisely(std::chrono::milliseconds duration);

} // namespace sayloom
