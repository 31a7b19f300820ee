#include "desktop/wayland/EvdevHotkeyMonitor.h"

#include "desktop/wayland/EvdevKeyboards.h"
#include "desktop/wayland/LogindSession.h"
#include "desktop/wayland/WaylandLog.h"

#include <linux/input.h>
#include <unistd.h>

namespace sayloom {

EvdevHotkeyMonitor::EvdevHotkeyMonitor(QObject* parent)
    : EvdevHotkeyMonitor(QDBusConnection::systemBus(), parent)
{
}

EvdevHotkeyMonitor::EvdevHotkeyMonitor(const QDBusConnection& systemBus, QObject* parent)
    : QObject(parent)
    , m_state([this](int device) { return m_keyboards->keysHeld(device); })
    , m_keyboards(std::make_unique<EvdevKeyboards>(m_state))
    , m_session(new LogindSession(systemBus, this))
{
    m_state.setTriggerKey(keyCode(m_trigger));
    connect(m_session, &LogindSession::activeChanged, this, &EvdevHotkeyMonitor::sessionActiveChanged);
}

EvdevHotkeyMonitor::~EvdevHotkeyMonitor()
{
    // Closed before the state they feed goes.
    m_keyboards.reset();
}

int EvdevHotkeyMonitor::keyCode(Trigger trigger)
{
    switch (trigger) {
    case Trigger::fn:
        return KEY_FN;
    case Trigger::rightOption:
        return KEY_RIGHTALT;
    case Trigger::rightCommand:
        return KEY_RIGHTMETA;
    case Trigger::rightControl:
        return KEY_RIGHTCTRL;
    }
    return 0;
}

void EvdevHotkeyMonitor::setTrigger(Trigger trigger)
{
    m_trigger = trigger;
    m_state.setTriggerKey(keyCode(trigger));
}

bool EvdevHotkeyMonitor::isWatching() const
{
    return keyboardCount() > 0;
}

int EvdevHotkeyMonitor::keyboardCount() const
{
    return m_started ? m_keyboards->count() : 0;
}

void EvdevHotkeyMonitor::start()
{
    if (m_started) {
        return;
    }
    m_started = true;
    if (m_session->isActive()) {
        openKeyboards();
    }
}

void EvdevHotkeyMonitor::openKeyboards()
{
    m_keyboards->open();
    if (m_keyboards->count() > 0) {
        m_reportedUnreadable = false;
        return;
    }
    if (std::exchange(m_reportedUnreadable, true)) {
        return;
    }
    if (m_keyboards->failure().isEmpty()) {
        qCWarning(lcWayland,
                  "No keyboard was found under /dev/input; the trigger key is watched from when one is plugged in");
    } else {
        qCWarning(lcWayland,
                  "No keyboard could be opened for reading (%s); the trigger key is not watched. Members of the "
                  "group \"input\" may read keyboards.",
                  qUtf8Printable(m_keyboards->failure()));
    }
}

void EvdevHotkeyMonitor::stop()
{
    m_started = false;
    m_keyboards->close();
    m_state.clear();
}

void EvdevHotkeyMonitor::sessionActiveChanged(bool active)
{
    if (!m_started) {
        return;
    }
    if (active) {
        openKeyboards();
    } else {
        // A trigger held as the other session came to the front is released there, out of our sight.
        m_keyboards->close();
        m_state.clear();
    }
}

void EvdevHotkeyMonitor::watch(int fd, const QByteArray& name)
{
    if (!m_started) {
        ::close(fd);
        return;
    }
    m_keyboards->watch(fd, name);
}

} // namespace sayloom
