#include "app/SingleInstance.h"
#include "app/Usage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>

#include <future>
#include <gtest/gtest.h>
#include <memory>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;

TEST(Usage, AnswersHelpAndVersionOnlyInFirstPlace)
{
    EXPECT_EQ(Usage::answer({u"--help"_s}), Usage::help());
    EXPECT_EQ(Usage::answer({u"-h"_s, u"more"_s}), Usage::help());
    EXPECT_EQ(Usage::answer({u"--version"_s}), u"sayloom " SAYLOOM_VERSION "\n"_s);
    // Anything else is the developer commands' or the application's.
    for (const QStringList& arguments :
         {QStringList{}, QStringList{u"--correct"_s, u"--help"_s}, QStringList{u"--HELP"_s}, QStringList{u"help"_s}}) {
        EXPECT_EQ(Usage::answer(arguments), std::nullopt) << arguments.join(u' ').toStdString();
    }
    EXPECT_TRUE(Usage::help().contains(u"--transcribe PATH [--polish]"_s));
}

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
