#include "app/SingleInstance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <future>
#include <gtest/gtest.h>
#include <memory>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

TEST(SingleInstance, ALaterStartHandsOverToTheRunningOneAndAGoneOneLeavesNoLock)
{
    QTemporaryDir folder;
    auto first = std::make_unique<SingleInstance>(folder.path());
    ASSERT_TRUE(first->claim());
    int activations = 0;
    QObject::connect(first.get(), &SingleInstance::activationRequested, [&activations] { ++activations; });

    // The second start runs its blocking hand-over on a thread of its own, as its own process would, while the
    // first serves it from the event loop.
    SingleInstance second(folder.path());
    EXPECT_FALSE(second.claim());
    std::future<bool> handedOver = std::async(std::launch::async, [&second] { return second.handOver(); });
    const QDeadlineTimer deadline(10000);
    while (handedOver.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
    }
    ASSERT_FALSE(deadline.hasExpired());
    EXPECT_TRUE(handedOver.get());
    EXPECT_EQ(activations, 1);

    // Its socket file stays behind when an instance ends, and does not keep the next one out.
    first.reset();
    SingleInstance third(folder.path());
    EXPECT_TRUE(third.claim());
}

} // namespace
} // namespace sayloom
