#include "desktop/wayland/EvdevKeyState.h"

#include <linux/input.h>

namespace sayloom {

namespace {

static_assert(EvdevKeyState::keyCount == KEY_CNT);

// Mouse, joystick and gamepad buttons share EV_KEY with the keys; a click is not typing.
bool isButton(int code)
{
    return (code >= BTN_MISC && code < KEY_OK) || (code >= BTN_DPAD_UP && code <= BTN_DPAD_RIGHT) ||
           code >= BTN_TRIGGER_HAPPY;
}

} // namespace

EvdevKeyState::EvdevKeyState(KeyReader readKeys)
    : m_readKeys(std::move(readKeys))
{
}

bool EvdevKeyState::isModifier(int code)
{
    switch (code) {
    case KEY_LEFTCTRL:
    case KEY_RIGHTCTRL:
    case KEY_LEFTSHIFT:
    case KEY_RIGHTSHIFT:
    case KEY_LEFTALT:
    case KEY_RIGHTALT: // AltGr too
    case KEY_LEFTMETA:
    case KEY_RIGHTMETA:
    case KEY_CAPSLOCK:
    case KEY_FN:
        return true;
    default:
        return false;
    }
}

void EvdevKeyState::deviceAdded(int device, const Keys& held)
{
    m_devices[device] = Device{held, false};
}

void EvdevKeyState::feed(int device, const input_event& event)
{
    Device& state = m_devices[device];
    if (event.type == EV_SYN) {
        if (event.code == SYN_DROPPED) {
            state.dropping = true;
        } else if (event.code == SYN_REPORT && state.dropping) {
            state.dropping = false;
            reconcile(device, state);
        }
        return;
    }
    if (state.dropping || event.type != EV_KEY || event.code <= KEY_RESERVED || event.code >= keyCount) {
        return;
    }
    const int code = event.code;
    if (event.value == 1) {
        state.held.set(std::size_t(code));
        pressed(code);
    } else if (event.value == 0) {
        state.held.reset(std::size_t(code));
        if (code == m_triggerKey) {
            reportIfReleased();
        }
    }
    // 2 is the keyboard's autorepeat: nothing new.
}

void EvdevKeyState::pressed(int code)
{
    if (code == m_triggerKey) {
        // Already down on another keyboard: the same trigger, still held.
        if (!m_down) {
            m_down = true;
            if (m_onChange) {
                m_onChange(true);
            }
        }
        return;
    }
    if (isButton(code)) {
        return;
    }
    // Other modifiers are part of a shortcut, not a sign that the user is typing.
    const bool cancels = m_down ? !isModifier(code) : code == KEY_ESC;
    if (cancels && m_onCancel) {
        m_onCancel();
    }
}

void EvdevKeyState::reconcile(int device, Device& state)
{
    // Keys pressed and let go while events were lost cannot be told apart from the ones held all along; only what
    // is held now is known, so only the trigger's state and the modifiers are brought up to date.
    const std::optional<Keys> held = m_readKeys ? m_readKeys(device) : std::nullopt;
    const bool wasHeld = m_triggerKey > 0 && state.held.test(std::size_t(m_triggerKey));
    state.held = held.value_or(Keys{});
    const bool isHeld = m_triggerKey > 0 && state.held.test(std::size_t(m_triggerKey));
    if (isHeld && !wasHeld) {
        pressed(m_triggerKey);
    } else if (!isHeld) {
        reportIfReleased();
    }
}

void EvdevKeyState::deviceGone(int device)
{
    if (m_devices.erase(device) > 0) {
        reportIfReleased();
    }
}

void EvdevKeyState::clear()
{
    m_devices.clear();
    reportIfReleased();
}

void EvdevKeyState::reportIfReleased()
{
    if (m_down && !triggerHeldAnywhere()) {
        m_down = false;
        if (m_onChange) {
            m_onChange(false);
        }
    }
}

bool EvdevKeyState::triggerHeldAnywhere() const
{
    if (m_triggerKey == 0) {
        return false;
    }
    for (const auto& [device, state] : m_devices) {
        if (state.held.test(std::size_t(m_triggerKey))) {
            return true;
        }
    }
    return false;
}

bool EvdevKeyState::modifierHeld() const
{
    for (const auto& [device, state] : m_devices) {
        if (state.held.none()) {
            continue;
        }
        for (const int code : {KEY_LEFTCTRL, KEY_RIGHTCTRL, KEY_LEFTSHIFT, KEY_RIGHTSHIFT, KEY_LEFTALT, KEY_RIGHTALT,
                               KEY_LEFTMETA, KEY_RIGHTMETA, KEY_CAPSLOCK, KEY_FN}) {
            if (state.held.test(std::size_t(code))) {
                return true;
            }
        }
        if (m_triggerKey != 0 && state.held.test(std::size_t(m_triggerKey))) {
            return true;
        }
    }
    return false;
}

} // namespace sayloom
