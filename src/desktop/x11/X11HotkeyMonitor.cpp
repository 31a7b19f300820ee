#include "desktop/x11/X11HotkeyMonitor.h"

#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Keyboard.h"

#include <QSocketNotifier>

#include <cstdlib>
#include <xcb/xinput.h>

namespace sayloom {

namespace {

struct KeyName {
    const char* name;
    std::uint8_t usualCode;
};

// The physical key of each trigger by its XKB name, with its code under the evdev keymap that every current X
// server uses, for a server without XKB.
std::optional<KeyName> triggerKey(Trigger trigger)
{
    switch (trigger) {
    case Trigger::fn:
        return std::nullopt;
    case Trigger::rightOption:
        return KeyName{"RALT", 108};
    case Trigger::rightCommand:
        return KeyName{"RWIN", 134};
    case Trigger::rightControl:
        return KeyName{"RCTL", 105};
    }
    return std::nullopt;
}

} // namespace

X11HotkeyMonitor::X11HotkeyMonitor(QObject* parent)
    : QObject(parent)
{
}

X11HotkeyMonitor::~X11HotkeyMonitor() = default;

void X11HotkeyMonitor::setTrigger(Trigger trigger)
{
    m_trigger = trigger;
    resolveKeys();
}

bool X11HotkeyMonitor::isWatching() const
{
    return m_notifier && m_connection && m_connection->isUsable();
}

void X11HotkeyMonitor::start()
{
    if (m_started) {
        return;
    }
    m_started = true;
    m_connection = X11Connection::open();
    if (!m_connection) {
        return;
    }
    if (!m_connection->hasXInput2(&m_xinputOpcode)) {
        qCWarning(lcX11, "The X server has no XInput 2.2; the trigger key cannot be watched");
        m_connection.reset();
        return;
    }
    m_keyboard = std::make_unique<X11Keyboard>(*m_connection);
    resolveKeys();

    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
                XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
    xcb_input_xi_select_events(m_connection->get(), m_connection->root(), 1, &selection.head);
    m_connection->flush();

    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection->get()), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11HotkeyMonitor::readEvents);
    // Events that arrived while the keymap was read wait in the connection's queue, where the socket shows nothing.
    readEvents();
}

void X11HotkeyMonitor::stop()
{
    m_started = false;
    dropNotifier();
    m_keyboard.reset();
    m_connection.reset();
    if (m_down) {
        m_down = false;
        if (m_onChange) {
            m_onChange(false);
        }
    }
}

void X11HotkeyMonitor::resolveKeys()
{
    if (!m_keyboard) {
        return;
    }
    const std::optional<KeyName> trigger = triggerKey(m_trigger);
    m_triggerKey = trigger ? m_keyboard->keyByName(trigger->name, trigger->usualCode) : 0;
    m_escapeKey = m_keyboard->keyByName("ESC", 9);
}

void X11HotkeyMonitor::readEvents()
{
    if (!m_connection) {
        return;
    }
    using Event = std::unique_ptr<xcb_generic_event_t, decltype(&std::free)>;
    while (Event event{xcb_poll_for_event(m_connection->get()), &std::free}) {
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_GE_GENERIC) {
            const auto* generic = reinterpret_cast<const xcb_ge_generic_event_t*>(event.get());
            if (generic->extension != m_xinputOpcode) {
                continue;
            }
            // Master devices only: each key reaches them once, whichever keyboard (or XTest) it came from.
            const auto* raw = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(event.get());
            if (generic->event_type == XCB_INPUT_RAW_KEY_PRESS) {
                keyPressed(std::uint8_t(raw->detail));
            } else if (generic->event_type == XCB_INPUT_RAW_KEY_RELEASE) {
                keyReleased(std::uint8_t(raw->detail));
            }
        } else if (m_keyboard && m_keyboard->isKeymapChange(event.get())) {
            m_keyboard->reload();
            resolveKeys();
        }
        if (!m_connection) {
            return; // a callback stopped the monitor
        }
    }
    if (!m_connection->isUsable()) {
        qCWarning(lcX11, "The X server went away; the trigger key is no longer watched");
        dropNotifier();
        // Its release will never come.
        if (std::exchange(m_down, false) && m_onChange) {
            m_onChange(false);
        }
    }
}

void X11HotkeyMonitor::dropNotifier()
{
    if (m_notifier) {
        m_notifier->setEnabled(false);
        std::exchange(m_notifier, nullptr)->deleteLater();
    }
}

void X11HotkeyMonitor::keyPressed(std::uint8_t key)
{
    if (key != 0 && key == m_triggerKey) {
        // A repeat, or a second press without a release in between, changes nothing.
        if (!m_down) {
            m_down = true;
            if (m_onChange) {
                m_onChange(true);
            }
        }
        return;
    }
    // Other modifiers are part of a shortcut, not a sign that the user is typing.
    const bool cancels = m_down ? !(m_keyboard && m_keyboard->isModifier(key)) : key == m_escapeKey;
    if (cancels && m_onCancel) {
        m_onCancel();
    }
}

void X11HotkeyMonitor::keyReleased(std::uint8_t key)
{
    if (key != 0 && key == m_triggerKey && m_down) {
        m_down = false;
        if (m_onChange) {
            m_onChange(false);
        }
    }
}

} // namespace sayloom
