#pragma once

#include "desktop/wayland/EvdevKeyState.h"
#include "session/ports/HotkeyMonitor.h"

#include <QByteArray>
#include <QObject>

#include <memory>

class QDBusConnection;

namespace sayloom {

class EvdevKeyboards;
class LogindSession;

// Watches the trigger key on the kernel's keyboards (evdev), which works under every compositor: no Wayland
// protocol shows a client a bare modifier pressed anywhere on the desktop. The keyboards are read, never grabbed.
// Needs read access to /dev/input/event* (the group "input" on most systems). Keys are physical keys, whatever the
// layout: right Alt is the trigger even where it types AltGr. While another login session is in front of the seat,
// the keyboards are closed: their keys are not ours.
class EvdevHotkeyMonitor final : public QObject, public HotkeyMonitor {
    Q_OBJECT

public:
    explicit EvdevHotkeyMonitor(QObject* parent = nullptr);
    // Asks logind on `systemBus` which session is in front.
    explicit EvdevHotkeyMonitor(const QDBusConnection& systemBus, QObject* parent = nullptr);
    EvdevHotkeyMonitor(const EvdevHotkeyMonitor&) = delete;
    EvdevHotkeyMonitor& operator=(const EvdevHotkeyMonitor&) = delete;
    ~EvdevHotkeyMonitor() override;

    Trigger trigger() const override { return m_trigger; }
    void setTrigger(Trigger trigger) override;
    void setOnChange(std::function<void(bool)> onChange) override { m_state.setOnChange(std::move(onChange)); }
    void setOnCancel(std::function<void()> onCancel) override { m_state.setOnCancel(std::move(onCancel)); }
    bool isDown() const override { return m_state.isDown(); }
    void markUp() override { m_state.markUp(); }
    void start() override;
    void stop() override;

    // Started, and at least one keyboard is open.
    bool isWatching() const;
    // How many keyboards are read (our own virtual keyboard is not).
    int keyboardCount() const;
    // Whether a modifier (the trigger included) is down on any keyboard; nothing is held when none is watched.
    bool modifierHeld() const { return m_state.modifierHeld(); }
    // Also reads `fd` as a keyboard (a pipe carrying input_event records, say) until its end; takes the descriptor.
    // Only while started.
    void watch(int fd, const QByteArray& name);

    // The Linux key code of each trigger's key.
    static int keyCode(Trigger trigger);

private:
    void openKeyboards();
    void sessionActiveChanged(bool active);

    Trigger m_trigger = Trigger::rightOption;
    EvdevKeyState m_state;
    std::unique_ptr<EvdevKeyboards> m_keyboards;
    LogindSession* m_session = nullptr;
    bool m_started = false;
    bool m_reportedUnreadable = false;
};

} // namespace sayloom
