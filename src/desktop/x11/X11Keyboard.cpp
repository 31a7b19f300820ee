#include "desktop/x11/X11Keyboard.h"

#include "desktop/x11/X11Connection.h"

#include <cstdlib>
#include <xkbcommon/xkbcommon-keysyms.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

// xcb's XKB header names a field `explicit`, a C++ keyword.
// clang-format off
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit
// clang-format on

namespace sayloom {

namespace {

bool isModifierSymbol(xkb_keysym_t symbol)
{
    return (symbol >= XKB_KEY_Shift_L && symbol <= XKB_KEY_Hyper_R) || symbol == XKB_KEY_ISO_Level3_Shift ||
           symbol == XKB_KEY_ISO_Level5_Shift || symbol == XKB_KEY_Mode_switch || symbol == XKB_KEY_ISO_Level3_Latch;
}

} // namespace

X11Keyboard::X11Keyboard(X11Connection& connection)
    : m_connection(connection)
    , m_context(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
{
    if (!m_context ||
        !xkb_x11_setup_xkb_extension(connection.get(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &m_firstEvent, nullptr)) {
        qCWarning(lcX11, "The X server has no XKB; keys are found by their usual codes");
        return;
    }
    m_device = xkb_x11_get_core_keyboard_device_id(connection.get());
    if (m_device < 0) {
        return;
    }
    constexpr std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    constexpr std::uint16_t mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                       XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_VIRTUAL_MODS;
    xcb_xkb_select_events_details_t details{};
    details.affectNewKeyboard = XCB_XKB_NKN_DETAIL_KEYCODES;
    details.newKeyboardDetails = XCB_XKB_NKN_DETAIL_KEYCODES;
    xcb_xkb_select_events_aux(connection.get(), xcb_xkb_device_spec_t(m_device), events, 0, 0, mapParts, mapParts,
                              &details);
    reload();
}

X11Keyboard::~X11Keyboard()
{
    xkb_keymap_unref(m_keymap);
    xkb_context_unref(m_context);
}

void X11Keyboard::reload()
{
    if (m_device < 0) {
        return;
    }
    xkb_keymap* keymap =
            xkb_x11_keymap_new_from_device(m_context, m_connection.get(), m_device, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap) {
        qCWarning(lcX11, "Cannot read the X server's keymap");
        return;
    }
    xkb_keymap_unref(m_keymap);
    m_keymap = keymap;
    m_modifiers.reset();
    const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(m_keymap), 255);
    for (xkb_keycode_t key = xkb_keymap_min_keycode(m_keymap); key <= last; ++key) {
        const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(m_keymap, key);
        for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
            const xkb_keysym_t* symbols = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(m_keymap, key, layout, 0, &symbols);
            for (int i = 0; i < count; ++i) {
                if (isModifierSymbol(symbols[i])) {
                    m_modifiers.set(key);
                }
            }
        }
    }
}

bool X11Keyboard::isKeymapChange(const xcb_generic_event_t* event) const
{
    return m_firstEvent != 0 && (event->response_type & 0x7f) == m_firstEvent;
}

xcb_keycode_t X11Keyboard::keyByName(const char* name, xcb_keycode_t fallback) const
{
    if (!m_keymap) {
        return fallback;
    }
    const xkb_keycode_t key = xkb_keymap_key_by_name(m_keymap, name);
    return key == XKB_KEYCODE_INVALID || key > 255 ? fallback : xcb_keycode_t(key);
}

xcb_keycode_t X11Keyboard::keyForSymbol(std::uint32_t keysym, xcb_keycode_t fallback) const
{
    if (!m_keymap) {
        return fallback;
    }
    const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(m_keymap), 255);
    const auto find = [&](auto inLayout) -> xcb_keycode_t {
        for (xkb_keycode_t key = xkb_keymap_min_keycode(m_keymap); key <= last; ++key) {
            const xkb_layout_index_t layouts = xkb_keymap_num_layouts_for_key(m_keymap, key);
            for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
                if (!inLayout(layout)) {
                    continue;
                }
                const xkb_keysym_t* symbols = nullptr;
                const int count = xkb_keymap_key_get_syms_by_level(m_keymap, key, layout, 0, &symbols);
                if (count == 1 && symbols[0] == keysym) {
                    return xcb_keycode_t(key);
                }
            }
        }
        return 0;
    };
    const std::uint32_t active = activeLayout();
    if (const xcb_keycode_t key = find([active](xkb_layout_index_t layout) { return layout == active; })) {
        return key;
    }
    if (const xcb_keycode_t key = find([](xkb_layout_index_t) { return true; })) {
        return key;
    }
    return fallback;
}

std::uint32_t X11Keyboard::activeLayout() const
{
    const auto reply = std::unique_ptr<xcb_xkb_get_state_reply_t, decltype(&std::free)>(
            xcb_xkb_get_state_reply(m_connection.get(),
                                    xcb_xkb_get_state(m_connection.get(), xcb_xkb_device_spec_t(m_device)), nullptr),
            &std::free);
    return reply ? reply->group : 0;
}

} // namespace sayloom
