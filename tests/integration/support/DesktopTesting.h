#pragma once

#include "integration/support/ChildProcess.h"
#include "session/ports/ActiveApplication.h"

#include <QByteArray>
#include <QCoroTask>
#include <QMap>
#include <QString>

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

// What the clipboard holds while a paste of `text` is under way: the text and the two transient markers, as a
// program reading it sees them.
inline QMap<QString, QByteArray> transientClipboard(const QString& text)
{
    return {{QStringLiteral("text/plain"), text.toUtf8()},
            {QStringLiteral("text/plain;charset=utf-8"), text.toUtf8()},
            {QStringLiteral("org.nspasteboard.TransientType"), {}},
            {QStringLiteral("x-kde-passwordManagerHint"), "secret"}};
}

} // namespace sayloom::testing
