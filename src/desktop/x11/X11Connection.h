#pragma once

#include <QByteArray>
#include <QHash>
#include <QLoggingCategory>

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <xcb/xcb.h>

namespace sayloom {

Q_DECLARE_LOGGING_CATEGORY(lcX11)

// One connection to the X server of $DISPLAY (or of `display`), with the few requests every X11 part needs: atoms,
// window properties, the selection owner and XTest key events. Only code in this folder sees it.
class X11Connection final {
public:
    // Nothing when the server cannot be reached; the reason is logged.
    static std::unique_ptr<X11Connection> open(const QByteArray& display = {});

    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;
    ~X11Connection();

    xcb_connection_t* get() const { return m_connection; }
    xcb_window_t root() const { return m_root; }
    int screenNumber() const { return m_screenNumber; }
    // False once the server has gone away or the connection broke.
    bool isUsable() const;
    void flush() const;

    xcb_atom_t atom(const char* name);
    // The property's raw bytes (at most 1 MiB); empty when absent or of another type than `type`.
    QByteArray property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type = XCB_ATOM_ANY) const;
    std::optional<std::uint32_t> cardinal(xcb_window_t window, xcb_atom_t property) const;
    // A window-typed property such as _NET_ACTIVE_WINDOW; nothing when absent or none.
    std::optional<xcb_window_t> windowProperty(xcb_window_t window, xcb_atom_t property) const;
    xcb_window_t selectionOwner(xcb_atom_t selection) const;
    // WM_CLASS as (instance, class); empty texts when absent.
    std::pair<QByteArray, QByteArray> windowClass(xcb_window_t window) const;

    // A window manager that follows the desktop conventions is running.
    bool hasWindowManager();
    // XInput 2.2 or later (raw key events of every client); also gives the extension's event code.
    bool hasXInput2(std::uint8_t* opcode = nullptr) const;
    bool hasXTest() const;

    // Makes the server tell every client that watches the root window's properties (Qt does) the current server
    // time, by appending nothing to a property of ours; returns once the server has done so.
    void announceTime();

    // Presses or releases a key as if typed on the keyboard; sent with the next flush.
    void fakeKey(xcb_keycode_t key, bool press) const;

private:
    X11Connection(xcb_connection_t* connection, int screenNumber);

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    int m_screenNumber = 0;
    QHash<QByteArray, xcb_atom_t> m_atoms;
};

} // namespace sayloom
