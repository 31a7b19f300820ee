#pragma once

#include "session/ports/HotkeyMonitor.h"

#include <QObject>

#include <cstdint>
#include <memory>

class QSocketNotifier;

namespace sayloom {

class X11Connection;
class X11Keyboard;

// Watches the trigger key through XInput2 raw key events on a connection of its own to $DISPLAY, serviced by the
// main thread's event loop. Raw events come from the keyboard itself, before any grab or focus rule, so no key is
// taken from the focused application. Keys are physical keys found by their XKB names, so right Alt is the trigger
// even where it types AltGr. Fn never reaches X clients: with it chosen, only Escape is watched.
class X11HotkeyMonitor final : public QObject, public HotkeyMonitor {
    Q_OBJECT

public:
    explicit X11HotkeyMonitor(QObject* parent = nullptr);
    X11HotkeyMonitor(const X11HotkeyMonitor&) = delete;
    X11HotkeyMonitor& operator=(const X11HotkeyMonitor&) = delete;
    ~X11HotkeyMonitor() override;

    Trigger trigger() const override { return m_trigger; }
    void setTrigger(Trigger trigger) override;
    void setOnChange(std::function<void(bool)> onChange) override { m_onChange = std::move(onChange); }
    void setOnCancel(std::function<void()> onCancel) override { m_onCancel = std::move(onCancel); }
    bool isDown() const override { return m_down; }
    void markUp() override { m_down = false; }
    void start() override;
    void stop() override;

    // Watching: start succeeded and the server is still there.
    bool isWatching() const;

private:
    void readEvents();
    void resolveKeys();
    void keyPressed(std::uint8_t key);
    void keyReleased(std::uint8_t key);

    Trigger m_trigger = Trigger::rightOption;
    std::function<void(bool)> m_onChange;
    std::function<void()> m_onCancel;
    bool m_down = false;
    bool m_started = false;

    std::unique_ptr<X11Connection> m_connection;
    std::unique_ptr<X11Keyboard> m_keyboard;
    // Deleted later: a callback may stop the monitor from within the notifier's own signal.
    QSocketNotifier* m_notifier = nullptr;
    void dropNotifier();
    std::uint8_t m_xinputOpcode = 0;
    // Key codes; 0 is no key.
    std::uint8_t m_triggerKey = 0;
    std::uint8_t m_escapeKey = 0;
};

} // namespace sayloom
