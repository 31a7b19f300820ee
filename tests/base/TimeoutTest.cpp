#include "base/Timeout.h"

#include <QCoroTimer>
#include <QElapsedTimer>
#include <QEventLoop>

#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <variant>

namespace sayloom {
namespace {

using namespace std::chrono_literals;

struct Failure {
    std::string message;
};

// waitFor() cannot carry an exception out of a task, so failures come back as values.
template <typename T>
QCoro::Task<std::variant<std::optional<T>, Failure>> outcome(QCoro::Task<std::optional<T>> race)
{
    try {
        co_return co_await std::move(race);
    } catch (const std::exception& error) {
        co_return Failure{error.what()};
    }
}

template <typename T>
std::variant<std::optional<T>, Failure> wait(QCoro::Task<std::optional<T>> race)
{
    return QCoro::waitFor(outcome(std::move(race)));
}

// Lets the event loop run for a while, so that late racers get their chance to misbehave.
void spin(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

TEST(Deadline, TheOperationsOwnOutcomeWinsWhenItComesFirst)
{
    QElapsedTimer clock;
    clock.start();
    auto value = wait(withTimeout(2s, [](std::stop_token) -> QCoro::Task<int> {
        co_await QCoro::sleepFor(50ms);
        co_return 42;
    }));
    EXPECT_EQ(std::get<0>(value), std::optional<int>(42));
    EXPECT_LT(clock.elapsed(), 1500); // the caller never waits for the deadline

    auto immediate = wait(withTimeout(2s, [](std::stop_token) -> QCoro::Task<int> {
        throw std::runtime_error("broken");
        co_return 0;
    }));
    EXPECT_EQ(std::get<Failure>(immediate).message, "broken");
    auto later = wait(withTimeout(2s, [](std::stop_token) -> QCoro::Task<int> {
        co_await QCoro::sleepFor(20ms);
        throw std::runtime_error("later");
    }));
    EXPECT_EQ(std::get<Failure>(later).message, "later");

    // False is a value, not the deadline.
    auto no = wait(withTimeout(1s, [](std::stop_token) -> QCoro::Task<bool> { co_return false; }));
    EXPECT_EQ(std::get<0>(no), std::optional<bool>(false));
}

TEST(Deadline, DeadlineWinsAsksTheOperationToStopAndDropsWhatComesLate)
{
    auto stopRequested = std::make_shared<bool>(false);
    auto finished = std::make_shared<bool>(false);
    QElapsedTimer clock;
    clock.start();
    // The operation ignores its stop request and delivers late; the caller must have moved on at the deadline.
    auto result = wait(withTimeout(100ms, [=](std::stop_token stop) -> QCoro::Task<bool> {
        co_await QCoro::sleepFor(400ms);
        *stopRequested = stop.stop_requested();
        *finished = true;
        co_return true;
    }));
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(std::get<0>(result), std::nullopt);
    EXPECT_GE(elapsed, 90);
    EXPECT_LT(elapsed, 350);
    EXPECT_FALSE(*finished);

    auto failing = wait(withTimeout(50ms, [](std::stop_token) -> QCoro::Task<int> {
        co_await QCoro::sleepFor(150ms);
        throw std::runtime_error("nobody listens");
    }));
    EXPECT_EQ(std::get<0>(failing), std::nullopt);

    spin(500ms); // the late value and the late failure must reach nobody
    EXPECT_TRUE(*finished);
    EXPECT_TRUE(*stopRequested);
}

TEST(Deadline, ZeroDurationResumesExactlyOnce)
{
    int resumed = 0;
    auto count = [&resumed](QCoro::Task<std::optional<int>> race) -> QCoro::Task<> {
        co_await std::move(race);
        ++resumed;
    };
    // One operation is done before the deadline first runs, the other never is; both resume once.
    QCoro::waitFor(count(withTimeout(0ms, [](std::stop_token) -> QCoro::Task<int> { co_return 1; })));
    QCoro::waitFor(count(withTimeout(0ms, [](std::stop_token) -> QCoro::Task<int> {
        co_await QCoro::sleepFor(50ms);
        co_return 2;
    })));
    spin(100ms);
    EXPECT_EQ(resumed, 2);
}

// Continues the awaiting coroutine on a new thread.
struct ResumeOnWorkerThread {
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) const
    {
        std::thread([handle] { handle.resume(); }).detach();
    }
    void await_resume() const noexcept {}
};

TEST(Deadline, ValueFromAnotherThreadResumesTheCallerOnItsOwnThread)
{
    const std::thread::id callerThread = std::this_thread::get_id();
    std::thread::id operationThread;
    std::thread::id resumedOn;
    auto caller = [&]() -> QCoro::Task<std::optional<int>> {
        auto value = co_await withTimeout(2s, [&](std::stop_token) -> QCoro::Task<int> {
            co_await ResumeOnWorkerThread{};
            operationThread = std::this_thread::get_id();
            co_return 7;
        });
        resumedOn = std::this_thread::get_id();
        co_return value;
    };
    EXPECT_EQ(QCoro::waitFor(caller()), std::optional<int>(7));
    EXPECT_NE(operationThread, callerThread);
    EXPECT_EQ(resumedOn, callerThread);
}

} // namespace
} // namespace sayloom
