#include "desktop/wayland/WaylandConnection.h"

#include "desktop/wayland/WaylandLog.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <QCoroSignal>
#include <QScopeGuard>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace sayloom {

namespace {

// The highest versions whose events we handle.
constexpr std::uint32_t seatVersion = 5;
constexpr std::uint32_t highestDataControl = 2;

// A keymap the compositor hands out is a few tens of kilobytes; anything past this is not one.
constexpr std::uint32_t largestKeymap = 16 * 1024 * 1024;

QByteArray readKeymap(int fd, std::uint32_t size)
{
    QByteArray text;
    if (size == 0 || size > largestKeymap) {
        return text;
    }
    void* const mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED) {
        qCWarning(lcWayland, "Could not map the keyboard's keymap: %s", std::strerror(errno));
        return text;
    }
    // The text ends with a NUL inside `size`.
    const auto* chars = static_cast<const char*>(mapped);
    text = QByteArray(chars, qsizetype(std::find(chars, chars + size, '\0') - chars));
    ::munmap(mapped, size);
    return text;
}

} // namespace

// The C callbacks of the protocol objects the connection itself listens to.
struct WaylandConnection::Listeners {
    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version)
    {
        auto* self = static_cast<WaylandConnection*>(data);
        const std::string_view which(interface);
        if (which == wl_seat_interface.name && !self->m_seat) {
            self->m_seat = static_cast<wl_seat*>(
                    wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, seatVersion)));
            self->m_seatName = name;
            wl_seat_add_listener(self->m_seat, &seatListener, self);
        } else if (which == zwlr_data_control_manager_v1_interface.name && !self->m_dataControl) {
            self->m_dataControlVersion = std::min(version, highestDataControl);
            self->m_dataControl = static_cast<zwlr_data_control_manager_v1*>(wl_registry_bind(
                    registry, name, &zwlr_data_control_manager_v1_interface, self->m_dataControlVersion));
        } else if (which == zwp_virtual_keyboard_manager_v1_interface.name && !self->m_virtualKeyboards) {
            self->m_virtualKeyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
                    wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
        }
    }

    static void globalRemove(void* data, wl_registry*, std::uint32_t name)
    {
        auto* self = static_cast<WaylandConnection*>(data);
        if (name == self->m_seatName && self->m_seat) {
            qCWarning(lcWayland, "The compositor removed the seat; the clipboard and typing stop working");
        }
    }

    static void capabilities(void* data, wl_seat* seat, std::uint32_t capabilities)
    {
        auto* self = static_cast<WaylandConnection*>(data);
        const bool hasKeyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
        if (hasKeyboard && !self->m_keyboard) {
            self->m_keyboard = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(self->m_keyboard, &keyboardListener, self);
        } else if (!hasKeyboard && self->m_keyboard) {
            wl_keyboard_release(self->m_keyboard);
            self->m_keyboard = nullptr;
            self->m_keymap.clear();
        }
    }

    static void seatName(void*, wl_seat*, const char*) {}

    static void keymap(void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size)
    {
        auto* self = static_cast<WaylandConnection*>(data);
        self->m_keymap = format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 ? readKeymap(fd, size) : QByteArray();
        ::close(fd);
    }

    // We have no surfaces, so no focus, keys or modifiers come; the protocol wants handlers all the same.
    static void enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
    static void leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
    static void key(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) {}
    static void modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                          std::uint32_t)
    {
    }
    static void repeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

    struct SyncRequest {
        WaylandConnection* connection;
        std::uint32_t serial;
    };

    static void syncDone(void* data, wl_callback* callback, std::uint32_t)
    {
        auto* request = static_cast<SyncRequest*>(data);
        wl_callback_destroy(callback);
        Q_EMIT request->connection->synced(request->serial);
        delete request;
    }

    static constexpr wl_registry_listener registryListener{global, globalRemove};
    static constexpr wl_seat_listener seatListener{capabilities, seatName};
    static constexpr wl_keyboard_listener keyboardListener{keymap, enter, leave, key, modifiers, repeatInfo};
    static constexpr wl_callback_listener syncListener{syncDone};
};

WaylandConnection::WaylandConnection(const QByteArray& display)
{
    // Without WAYLAND_DISPLAY libwayland would try wayland-0, which in an X11 session may be someone else's.
    const QByteArray name = display.isEmpty() ? qgetenv("WAYLAND_DISPLAY") : display;
    m_display = name.isEmpty() ? nullptr : wl_display_connect(name.constData());
    if (!m_display) {
        m_failed = true;
        qCInfo(lcWayland, "No Wayland display to connect to");
        return;
    }
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &Listeners::registryListener, this);
    // The first round trip names the globals; the second brings the seat's capabilities and then its keymap.
    for (int round = 0; round < 3; ++round) {
        if (wl_display_roundtrip(m_display) < 0) {
            broken();
            return;
        }
    }
    m_notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &WaylandConnection::dispatch);
}

WaylandConnection::~WaylandConnection()
{
    m_notifier.reset();
    if (m_display) {
        // Disconnecting ends every object of ours on the compositor's side.
        wl_display_disconnect(m_display);
    }
}

bool WaylandConnection::isUsable() const
{
    return m_display && !m_failed;
}

bool WaylandConnection::broken()
{
    if (!m_display) {
        return true;
    }
    const int error = wl_display_get_error(m_display);
    if (error == 0) {
        return false;
    }
    if (!m_failed) {
        m_failed = true;
        qCWarning(lcWayland, "The Wayland connection broke (%s); the clipboard and typing stop working",
                  std::strerror(error));
        if (m_notifier) {
            m_notifier->setEnabled(false);
        }
    }
    return true;
}

void WaylandConnection::dispatch()
{
    // A handler that asks again would read in the middle of its own event.
    if (m_dispatching || broken()) {
        return;
    }
    m_dispatching = true;
    const auto done = qScopeGuard([this] { m_dispatching = false; });
    // Events another read left in the queue go first; only then may this thread read.
    while (wl_display_prepare_read(m_display) != 0) {
        wl_display_dispatch_pending(m_display);
    }
    if (wl_display_read_events(m_display) < 0 && errno != EAGAIN) {
        broken();
        return;
    }
    wl_display_dispatch_pending(m_display);
    flush();
}

bool WaylandConnection::flush()
{
    if (!isUsable()) {
        return false;
    }
    // A full socket (EAGAIN) is sent later, by the next flush.
    if (wl_display_flush(m_display) < 0 && errno != EAGAIN) {
        broken();
    }
    return !broken();
}

QCoro::Task<bool> WaylandConnection::sync(std::chrono::milliseconds patience)
{
    if (!isUsable()) {
        co_return false;
    }
    const std::uint32_t serial = ++m_nextSync;
    wl_callback* const callback = wl_display_sync(m_display);
    wl_callback_add_listener(callback, &Listeners::syncListener, new Listeners::SyncRequest{this, serial});
    if (!flush()) {
        co_return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (isUsable()) {
        const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        const std::optional<std::uint32_t> done = co_await qCoro(this, &WaylandConnection::synced, left);
        // Serials only grow, so a later one means ours came too (callbacks come in the order they were asked).
        if (done && *done >= serial) {
            co_return true;
        }
        if (!done) {
            break;
        }
    }
    co_return false;
}

} // namespace sayloom
