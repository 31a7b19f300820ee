#pragma once

#include <QCoroTask>
#include <QLoggingCategory>

#include <exception>

namespace sayloom {

Q_DECLARE_LOGGING_CATEGORY(lcTasks)

namespace detail {

template <typename T>
QCoro::Task<void> awaitLogged(QCoro::Task<T> task, const char* what)
{
    try {
        co_await task;
    } catch (const std::exception& error) {
        qCCritical(lcTasks, "%s failed: %s", what, error.what());
    } catch (...) {
        qCCritical(lcTasks, "%s failed", what);
    }
}

} // namespace detail

// Lets a started task run on with nobody waiting for it. A task left to itself would drop the exception it ends
// with without a trace; this one logs it (category app.sayloom.tasks), naming the work with `what`, which must
// outlive the task (a string literal).
template <typename T>
void runDetached(QCoro::Task<T> task, const char* what)
{
    detail::awaitLogged(std::move(task), what);
}

} // namespace sayloom
