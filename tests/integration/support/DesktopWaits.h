#pragma once

#include "integration/support/ChildProcess.h"
#include "session/ports/ActiveApplication.h"

#include <QCoroTask>

#include <functional>

namespace sayloom::testing {

// Runs the task to its end with the event loop running, doing `meanwhile` once it has started.
inline bool finish(
        QCoro::Task<void> task, const std::function<void()>& meanwhile = [] {})
{
    meanwhile();
    return waitUntil([&task] { return task.isReady(); });
}

// The focused application once the desktop names the process `pid` as it.
inline std::optional<RunningApplication> waitForFront(const ActiveApplication& windows, qint64 pid)
{
    waitUntil([&] { return windows.frontmost() && windows.frontmost()->identity == QString::number(pid); });
    return windows.frontmost();
}

} // namespace sayloom::testing
