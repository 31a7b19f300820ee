#pragma once

#include <bitset>
#include <functional>
#include <map>
#include <optional>

struct input_event;

namespace sayloom {

// What the keyboards' own events say about the trigger, for any number of keyboards at once. Fed the kernel's events
// per device; knows nothing of files. The trigger is down while it is down on any keyboard. Main thread only.
class EvdevKeyState final {
public:
    // One bit per Linux key code, as the kernel reports a device's keys (KEY_CNT of them).
    static constexpr int keyCount = 0x300;
    using Keys = std::bitset<keyCount>;
    // The keys a device holds down right now; nothing when it cannot tell (then none are taken as held).
    using KeyReader = std::function<std::optional<Keys>(int device)>;

    explicit EvdevKeyState(KeyReader readKeys = {});
    EvdevKeyState(const EvdevKeyState&) = delete;
    EvdevKeyState& operator=(const EvdevKeyState&) = delete;

    // The Linux key code watched from now on; 0 (or a code no key has) watches none. Does not report a release of
    // the old key.
    void setTriggerKey(int code) { m_triggerKey = code > 0 && code < keyCount ? code : 0; }
    int triggerKey() const { return m_triggerKey; }
    void setOnChange(std::function<void(bool)> onChange) { m_onChange = std::move(onChange); }
    void setOnCancel(std::function<void()> onCancel) { m_onCancel = std::move(onCancel); }

    // A device that has just been opened, with the keys it already holds: taken as held, reported as nothing.
    void deviceAdded(int device, const Keys& held);
    void feed(int device, const input_event& event);
    // The device is gone; a trigger it held is released.
    void deviceGone(int device);
    // Every device is gone at once (the monitor stops); a held trigger is released.
    void clear();

    // The last state reported through the change callback.
    bool isDown() const { return m_down; }
    // Forgets a held trigger without reporting it.
    void markUp() { m_down = false; }
    // Whether any modifier, or the trigger, is down on any keyboard.
    bool modifierHeld() const;

    static bool isModifier(int code);

private:
    struct Device {
        Keys held;
        // Events were lost: ignored up to the next report, then the keys are read afresh.
        bool dropping = false;
    };

    void pressed(int code);
    void reconcile(int device, Device& state);
    void reportIfReleased();
    bool triggerHeldAnywhere() const;

    KeyReader m_readKeys;
    std::function<void(bool)> m_onChange;
    std::function<void()> m_onCancel;
    std::map<int, Device> m_devices;
    int m_triggerKey = 0;
    bool m_down = false;
};

} // namespace sayloom
