#include "base/DetachedTask.h"

#include <QCoreApplication>
#include <QCoroTimer>
#include <QTimer>

#include <gtest/gtest.h>
#include <stdexcept>

namespace sayloom {
namespace {

QStringList logged;

void keep(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    logged.append(QString::fromUtf8(context.category) + u": " + message);
}

QCoro::Task<int> failLater()
{
    QTimer timer;
    timer.start(1);
    co_await timer;
    throw std::runtime_error("the server went away");
}

// A task nobody waits for still tells how it failed, whether it fails at once or later, and one that succeeds says
// nothing.
TEST(DetachedTask, LogsTheExceptionATaskEndsWith)
{
    const QtMessageHandler previous = qInstallMessageHandler(keep);
    runDetached(failLater(), "Probing");
    runDetached(
            []() -> QCoro::Task<void> {
                throw std::logic_error("no model");
                co_return;
            }(),
            "Preparing");
    runDetached([]() -> QCoro::Task<void> { co_return; }(), "Nothing");
    for (int i = 0; i < 50 && logged.size() < 2; ++i) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(logged, (QStringList{QStringLiteral("app.sayloom.tasks: Preparing failed: no model"),
                                   QStringLiteral("app.sayloom.tasks: Probing failed: the server went away")}));
}

} // namespace
} // namespace sayloom
