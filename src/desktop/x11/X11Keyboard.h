#pragma once

#include <bitset>
#include <cstdint>
#include <memory>
#include <xcb/xcb.h>

struct xkb_context;
struct xkb_keymap;

namespace sayloom {

class X11Connection;

// The server's keymap as seen through XKB, to find physical keys by their XKB name (so the trigger is the same key
// under every layout) and keys by the symbol they type, and to tell modifier keys from the rest. Asks to be told of
// keymap changes on the connection it was loaded from; `isKeymapChange` spots those events.
class X11Keyboard final {
public:
    // Without XKB on the server, every lookup gives its fallback and no key counts as a modifier.
    explicit X11Keyboard(X11Connection& connection);
    X11Keyboard(const X11Keyboard&) = delete;
    X11Keyboard& operator=(const X11Keyboard&) = delete;
    ~X11Keyboard();

    bool isLoaded() const { return m_keymap != nullptr; }
    // Loads the server's current keymap again.
    void reload();
    bool isKeymapChange(const xcb_generic_event_t* event) const;

    // The key with this XKB name ("RALT", "ESC"), else `fallback`.
    xcb_keycode_t keyByName(const char* name, xcb_keycode_t fallback) const;
    // A key typing `keysym` without Shift in the active layout, else in any layout, else `fallback`.
    xcb_keycode_t keyForSymbol(std::uint32_t keysym, xcb_keycode_t fallback) const;
    // Shift, Control, Alt, Super, AltGr and their kin.
    bool isModifier(xcb_keycode_t key) const { return m_modifiers.test(key); }

private:
    std::uint32_t activeLayout() const;

    X11Connection& m_connection;
    std::int32_t m_device = -1;
    std::uint8_t m_firstEvent = 0;
    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
    std::bitset<256> m_modifiers;
};

} // namespace sayloom
