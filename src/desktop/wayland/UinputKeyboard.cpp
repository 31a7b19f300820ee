#include "desktop/wayland/UinputKeyboard.h"

#include "base/PreciseSleep.h"
#include "desktop/wayland/EvdevAccess.h"
#include "desktop/wayland/WaylandLog.h"

#include <cstring>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <vector>

namespace sayloom {

namespace {

static_assert(KEY_V == 47);

std::vector<int> keysOf(PasteKeys keys, int vKey)
{
    switch (keys) {
    case PasteKeys::controlV:
        return {KEY_LEFTCTRL, vKey};
    case PasteKeys::controlShiftV:
        return {KEY_LEFTCTRL, KEY_LEFTSHIFT, vKey};
    case PasteKeys::shiftInsert:
        return {KEY_LEFTSHIFT, KEY_INSERT};
    }
    return {};
}

} // namespace

UinputKeyboard::UinputKeyboard()
{
    if (EvdevAccess::uinputWritable()) {
        create();
    }
}

UinputKeyboard::~UinputKeyboard()
{
    // The kernel lets go of any key the device still holds.
    if (m_device) {
        libevdev_uinput_destroy(m_device);
    }
}

bool UinputKeyboard::isAvailable() const
{
    return m_device || EvdevAccess::uinputWritable();
}

void UinputKeyboard::setVKey(int linuxKeyCode)
{
    if (linuxKeyCode > KEY_RESERVED && linuxKeyCode <= 255) {
        m_vKey = linuxKeyCode;
    } else {
        qCWarning(lcWayland, "Key code %d cannot type \"v\"; keeping %d", linuxKeyCode, m_vKey);
    }
}

QByteArray UinputKeyboard::deviceNode() const
{
    const char* node = m_device ? libevdev_uinput_get_devnode(m_device) : nullptr;
    return node ? QByteArray(node) : QByteArray();
}

bool UinputKeyboard::create()
{
    libevdev* description = libevdev_new();
    if (!description) {
        return false;
    }
    libevdev_set_name(description, uinputKeyboardName);
    libevdev_set_id_bustype(description, BUS_VIRTUAL);
    libevdev_enable_event_type(description, EV_SYN);
    libevdev_enable_event_code(description, EV_SYN, SYN_REPORT, nullptr);
    libevdev_enable_event_type(description, EV_KEY);
    // Every key of a full keyboard: the "v" key moves with the layout, and with all of them udev and the
    // compositor take the device for an ordinary keyboard.
    for (unsigned int code = KEY_ESC; code <= 255; ++code) {
        libevdev_enable_event_code(description, EV_KEY, code, nullptr);
    }
    const int result = libevdev_uinput_create_from_device(description, LIBEVDEV_UINPUT_OPEN_MANAGED, &m_device);
    libevdev_free(description);
    if (result < 0) {
        m_device = nullptr;
        if (!std::exchange(m_reportedFailure, true)) {
            qCWarning(lcWayland, "No virtual keyboard could be made: %s", strerror(-result));
        }
        return false;
    }
    m_createdAt = std::chrono::steady_clock::now();
    qCInfo(lcWayland) << "Made the virtual keyboard" << deviceNode();
    return true;
}

QCoro::Task<bool> UinputKeyboard::sendKey(int code, bool down)
{
    if (!m_device || libevdev_uinput_write_event(m_device, EV_KEY, code, down ? 1 : 0) < 0 ||
        libevdev_uinput_write_event(m_device, EV_SYN, SYN_REPORT, 0) < 0) {
        co_return false;
    }
    co_await sleepPrecisely(keyPause);
    co_return true;
}

QCoro::Task<bool> UinputKeyboard::sendPaste(PasteKeys keys)
{
    // Two keystrokes woven together would hold each other's modifiers.
    if (m_sending || (!m_device && !create())) {
        co_return false;
    }
    m_sending = true;
    const auto settled = m_createdAt + settleTime;
    if (std::chrono::steady_clock::now() < settled) {
        co_await sleepPrecisely(
                std::chrono::ceil<std::chrono::milliseconds>(settled - std::chrono::steady_clock::now()));
    }
    std::vector<int> down;
    bool sent = true;
    for (const int key : keysOf(keys, m_vKey)) {
        if (!co_await sendKey(key, true)) {
            sent = false;
            break;
        }
        down.push_back(key);
    }
    for (auto key = down.rbegin(); key != down.rend(); ++key) {
        sent = co_await sendKey(*key, false) && sent;
    }
    if (!sent) {
        qCWarning(lcWayland, "The virtual keyboard refused a key");
    }
    m_sending = false;
    co_return sent;
}

} // namespace sayloom
