#include "WaitUntil.h"

#include <QCoreApplication>
#include <QTimer>

namespace sayloom {

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds patience)
{
    // Wakes the loop now and then, so `done` is looked at even when no event comes.
    QTimer tick;
    tick.start(5);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace sayloom
