#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QObject>

#include <chrono>
#include <cstdint>
#include <memory>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_keyboard;
struct zwlr_data_control_manager_v1;
struct zwp_virtual_keyboard_manager_v1;
class QSocketNotifier;

namespace sayloom {

// A Wayland connection of our own (the application's windows stay on XWayland), serviced on the main thread: the
// seat, the globals for the clipboard and for typing when the compositor offers them, and the seat's keymap. A
// connection that breaks is logged once; from then on nothing is available and nothing crashes. Main thread only.
class WaylandConnection final : public QObject {
    Q_OBJECT

public:
    // Connects to `display` (a socket name or path), by default $WAYLAND_DISPLAY (nothing when it is not set), and
    // waits for the compositor to name its globals.
    explicit WaylandConnection(const QByteArray& display = {});
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;
    ~WaylandConnection() override;

    bool isUsable() const;
    // The wlroots data-control clipboard (zwlr_data_control_manager_v1).
    bool hasDataControl() const { return isUsable() && m_dataControl && m_seat; }
    // The wlroots virtual keyboard (zwp_virtual_keyboard_manager_v1).
    bool hasVirtualKeyboard() const { return isUsable() && m_virtualKeyboards && m_seat; }
    // The text of the seat keyboard's XKB keymap as the compositor last sent it; empty before it came, when the seat
    // has no keyboard, or once the connection broke.
    QByteArray keymap() const { return isUsable() ? m_keymap : QByteArray(); }

    // Completes once the compositor has handled every request sent so far (and sent us what follows from them);
    // false when it does not answer within `patience` or the connection broke.
    QCoro::Task<bool> sync(std::chrono::milliseconds patience = std::chrono::seconds(1));
    // Sends what is queued; false when the connection broke.
    bool flush();
    // Handles the events that have come, without waiting for more; what the socket notifier does when it fires.
    void dispatch();

    // For the library's own protocol objects.
    wl_display* display() const { return m_display; }
    wl_seat* seat() const { return m_seat; }
    zwlr_data_control_manager_v1* dataControl() const { return m_dataControl; }
    std::uint32_t dataControlVersion() const { return m_dataControlVersion; }
    zwp_virtual_keyboard_manager_v1* virtualKeyboards() const { return m_virtualKeyboards; }

Q_SIGNALS:
    // A sync callback came, with its serial (see `sync`).
    void synced(std::uint32_t serial);

private:
    struct Listeners;
    friend struct Listeners;

    // Logs the failure once and stops listening; true when the connection is broken.
    bool broken();

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    std::uint32_t m_seatName = 0;
    wl_keyboard* m_keyboard = nullptr;
    zwlr_data_control_manager_v1* m_dataControl = nullptr;
    std::uint32_t m_dataControlVersion = 0;
    zwp_virtual_keyboard_manager_v1* m_virtualKeyboards = nullptr;
    QByteArray m_keymap;
    std::uint32_t m_nextSync = 0;
    bool m_failed = false;
    bool m_dispatching = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace sayloom
