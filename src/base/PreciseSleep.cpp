#include "base/PreciseSleep.h"

#include <QCoroTimer>
#include <QTimer>

namespace sayloom {

QCoro::Task<void> sleepPrecisely(std::chrono::milliseconds duration)
{
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(duration);
    co_await timer;
}

} // namespace sayloom
