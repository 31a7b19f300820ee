#include "base/Timeout.h"

#include <QCoroTimer>
#include <QEventLoop>

#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <variant>

namespace sayloom {
namespace {

using namespace std::chrono_literals;

using Outcome = std::variant<std::optional<int>, std::string>;

// waitFor() cannot carry an exception out of a task, so a failure comes back as its message.
Outcome wait(QCoro::Task<std::optional<int>> race)
{
    return QCoro::waitFor([](QCoro::Task<std::optional<int>> task) -> QCoro::Task<Outcome> {
        try {
            co_return co_await std::move(task);
        } catch (const std::exception& error) {
            co_return std::string(error.what());
        }
    }(std::move(race)));
}

// Lets the event loop run for a while, so that late racers get their chance to misbehave.
void spin(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

// The deadlines here are an hour: a caller that waited for them would hang the test until its time limit.
TEST(Deadline, TheOperationsOwnOutcomeWinsWhenItComesFirst)
{
    auto value = wait(withTimeout(1h, [](std::stop_token) -> QCoro::Task<int> {
        co_await QCoro::sleepFor(50ms);
        co_return 42;
    }));
    EXPECT_EQ(std::get<0>(value), std::optional<int>(42));
    auto immediate = wait(withTimeout(1h, [](std::stop_token) -> QCoro::Task<int> {
        throw std::runtime_error("broken");
        co_return 0;
    }));
    EXPECT_EQ(std::get<std::string>(immediate), "broken");
    auto later = wait(withTimeout(1h, [](std::stop_token) -> QCoro::Task<int> {
        co_await QCoro::sleepFor(20ms);
        throw std::runtime_error("later");
    }));
    EXPECT_EQ(std::get<std::string>(later), "later");
    // Zero is a value, not the deadline.
    EXPECT_EQ(std::get<0>(wait(withTimeout(1h, [](std::stop_token) -> QCoro::Task<int> { co_return 0; }))), 0);
}

TEST(Deadline, DeadlineWinsAsksTheOperationToStopAndDropsWhatComesLate)
{
    auto stopRequested = std::make_shared<bool>(false);
    auto finished = std::make_shared<bool>(false);
    // The operation ignores its stop request and delivers late; the caller has moved on before it finishes.
    auto result = wait(withTimeout(100ms, [=](std::stop_token stop) -> QCoro::Task<int> {
        co_await QCoro::sleepFor(400ms);
        *stopRequested = stop.stop_requested();
        *finished = true;
        co_return 1;
    }));
    EXPECT_EQ(std::get<0>(result), std::nullopt);
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
        auto value = co_await withTimeout(1h, [&](std::stop_token) -> QCoro::Task<int> {
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
