#include "desktop/wayland/VirtualKeyboard.h"

#include "desktop/wayland/WaylandConnection.h"
#include "desktop/wayland/WaylandLog.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <cerrno>
#include <cstring>
#include <linux/input-event-codes.h>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace sayloom {

namespace {

template <typename T, void (*release)(T*)>
struct Releaser {
    void operator()(T* object) const { release(object); }
};
using XkbContext = std::unique_ptr<xkb_context, Releaser<xkb_context, xkb_context_unref>>;
using XkbKeymap = std::unique_ptr<xkb_keymap, Releaser<xkb_keymap, xkb_keymap_unref>>;

// A file in memory holding `text` and its closing NUL, as the compositor maps it; -1 on failure.
int memoryFile(const char* text, std::size_t size)
{
    const int fd = ::memfd_create("sayloom-keymap", MFD_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    for (std::size_t written = 0; written < size;) {
        const ssize_t count = ::write(fd, text + written, size - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            ::close(fd);
            return -1;
        }
        written += std::size_t(count);
    }
    return fd;
}

} // namespace

VirtualKeyboard::VirtualKeyboard(WaylandConnection& connection)
    : m_connection(connection)
{
    if (!m_connection.hasVirtualKeyboard()) {
        return;
    }
    const XkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    const xkb_rule_names names{.rules = "evdev", .model = "pc105", .layout = "us", .variant = "", .options = ""};
    const XkbKeymap keymap(context ? xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS)
                                   : nullptr);
    if (!keymap) {
        qCWarning(lcWayland, "Could not compile a US keymap for the virtual keyboard (is xkb-data installed?)");
        return;
    }
    const std::unique_ptr<char, decltype(&std::free)> text(
            xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
    const std::size_t size = text ? std::strlen(text.get()) + 1 : 0;
    const int fd = text ? memoryFile(text.get(), size) : -1;
    if (fd < 0) {
        qCWarning(lcWayland, "Could not hand the virtual keyboard its keymap: %s", std::strerror(errno));
        return;
    }
    m_control = 1u << xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_CTRL);
    m_shift = 1u << xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_SHIFT);

    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(m_connection.virtualKeyboards(),
                                                                         m_connection.seat());
    zwp_virtual_keyboard_v1_keymap(m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd, std::uint32_t(size));
    ::close(fd);
    m_connection.flush();
}

VirtualKeyboard::~VirtualKeyboard()
{
    if (m_keyboard && m_connection.isUsable()) {
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
        m_connection.flush();
    }
}

bool VirtualKeyboard::isAvailable() const
{
    return m_keyboard && m_connection.isUsable();
}

void VirtualKeyboard::key(std::uint32_t code, bool down)
{
    const auto time = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_epoch);
    zwp_virtual_keyboard_v1_key(m_keyboard, std::uint32_t(time.count()), code,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
}

// The compositor takes a virtual keyboard's modifier state as told, not from its keys.
void VirtualKeyboard::modifiers(std::uint32_t depressed)
{
    zwp_virtual_keyboard_v1_modifiers(m_keyboard, depressed, 0, 0, 0);
}

QCoro::Task<bool> VirtualKeyboard::sendPaste(PasteKeys keys)
{
    if (!isAvailable()) {
        co_return false;
    }
    struct Chord {
        std::uint32_t modifierKeys[2];
        std::uint32_t mask;
        std::uint32_t key;
    };
    const Chord chord = keys == PasteKeys::controlShiftV
                                ? Chord{{KEY_LEFTCTRL, KEY_LEFTSHIFT}, m_control | m_shift, KEY_V}
                        : keys == PasteKeys::shiftInsert ? Chord{{KEY_LEFTSHIFT, 0}, m_shift, KEY_INSERT}
                                                         : Chord{{KEY_LEFTCTRL, 0}, m_control, KEY_V};
    for (const std::uint32_t modifier : chord.modifierKeys) {
        if (modifier != 0) {
            key(modifier, true);
        }
    }
    modifiers(chord.mask);
    key(chord.key, true);
    key(chord.key, false);
    for (const std::uint32_t modifier : chord.modifierKeys) {
        if (modifier != 0) {
            key(modifier, false);
        }
    }
    modifiers(0);
    co_return m_connection.flush();
}

} // namespace sayloom
