#pragma once

#include "base/DetachedTask.h"

#include <QCoroTask>
#include <QMetaObject>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <coroutine>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <type_traits>
#include <utility>

namespace sayloom {

namespace detail {

template <typename>
struct TaskValue;
template <typename T>
struct TaskValue<QCoro::Task<T>> {
    using type = T;
};

// Shared by the two racers and the waiting caller. Exactly one claim succeeds in its life, and only the side
// that claimed writes the outcome and wakes the caller.
template <typename T>
struct Race {
    std::mutex mutex;
    bool claimed = false;
    std::stop_source stop;
    std::optional<T> value;
    std::exception_ptr failure;
    std::coroutine_handle<> caller;
    // Lives in the caller's thread for as long as the caller waits; the caller is always resumed there, from its
    // event loop, so a racer that finishes synchronously or on another thread never runs the caller inside itself.
    QObject* callerContext = nullptr;

    bool claim()
    {
        const std::lock_guard lock(mutex);
        const bool wasClaimed = claimed;
        claimed = true;
        return !wasClaimed;
    }

    void resumeCaller()
    {
        QMetaObject::invokeMethod(
                callerContext, [handle = caller] { handle.resume(); }, Qt::QueuedConnection);
    }
};

template <typename T, typename Operation>
QCoro::Task<> runOperation(std::shared_ptr<Race<T>> race, std::shared_ptr<Operation> operation)
{
    try {
        T value = co_await (*operation)(race->stop.get_token());
        if (race->claim()) {
            race->value.emplace(std::move(value));
            race->resumeCaller();
        }
    } catch (...) {
        if (race->claim()) {
            race->failure = std::current_exception();
            race->resumeCaller();
        }
    }
}

template <typename T, typename Operation>
struct RaceAwaiter {
    std::shared_ptr<Race<T>> race;
    std::shared_ptr<Operation> operation;
    std::chrono::milliseconds duration;

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> caller)
    {
        race->caller = caller;
        // The operation task is detached: it may outlive the caller when it ignores its stop request.
        runDetached(runOperation<T>(race, operation), "A raced operation");
        QTimer::singleShot(duration, Qt::PreciseTimer, race->callerContext, [race = race] {
            if (race->claim()) {
                race->resumeCaller();
                race->stop.request_stop();
            }
        });
    }

    std::optional<T> await_resume()
    {
        if (race->failure) {
            std::rethrow_exception(race->failure);
        }
        return std::move(race->value);
    }
};

} // namespace detail

// Races `operation` against a deadline of `duration`. Completes with the operation's value, with nothing when the
// deadline came first, or with the operation's own exception when it failed first. When the deadline wins, the
// operation's stop token is asked to stop and its eventual value or failure is dropped; the caller does not wait
// for it. The caller is resumed exactly once, on its own thread, which must run a Qt event loop.
//
// `operation` is called once with a std::stop_token and returns a QCoro::Task<T>.
template <typename Operation,
          typename T = typename detail::TaskValue<std::invoke_result_t<Operation&, std::stop_token>>::type>
QCoro::Task<std::optional<T>> withTimeout(std::chrono::milliseconds duration, Operation operation)
{
    QObject callerContext;
    auto race = std::make_shared<detail::Race<T>>();
    race->callerContext = &callerContext;
    // A named awaiter: GCC 12 destroys some temporaries of a co_await expression twice.
    detail::RaceAwaiter<T, Operation> awaiter{race, std::make_shared<Operation>(std::move(operation)), duration};
    co_return co_await awaiter;
}

} // namespace sayloom
