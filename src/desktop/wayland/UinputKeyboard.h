#pragma once

#include "desktop/wayland/PasteKeySender.h"

#include <QByteArray>

#include <chrono>

struct libevdev_uinput;

namespace sayloom {

// What our virtual keyboard calls itself; the hotkey monitor leaves a keyboard of this name alone.
inline constexpr char uinputKeyboardName[] = "Sayloom virtual keyboard";

// Types the paste keystroke on a virtual keyboard of the kernel's (uinput), which every compositor takes as one more
// keyboard. The device is made once and kept: a compositor takes a moment to adopt a new keyboard, and keys sent
// before that are lost. Needs write access to /dev/uinput. Main thread only.
class UinputKeyboard final : public PasteKeySender {
public:
    // Makes the device when /dev/uinput allows it; else the first paste after it becomes writable makes it.
    UinputKeyboard();
    UinputKeyboard(const UinputKeyboard&) = delete;
    UinputKeyboard& operator=(const UinputKeyboard&) = delete;
    ~UinputKeyboard() override;

    // The device is there, or /dev/uinput lets us make it.
    bool isAvailable() const override;
    // Must not outlive this keyboard. False when a paste is still being sent or nothing could be sent; keys that
    // went down are let go again in any case.
    QCoro::Task<bool> sendPaste(PasteKeys keys) override;

    // The Linux key code of the key that types "v" on the user's layout (KEY_V on most); 1–255.
    void setVKey(int linuxKeyCode);
    int vKey() const { return m_vKey; }

    // The device's event node (/dev/input/eventN); empty while there is none.
    QByteArray deviceNode() const;

    // Between one key event and the next, so that no compositor merges or reorders them.
    static constexpr std::chrono::milliseconds keyPause{4};
    // How long a new device is left alone before the first key.
    static constexpr std::chrono::milliseconds settleTime{200};

private:
    bool create();
    QCoro::Task<bool> sendKey(int code, bool down);

    libevdev_uinput* m_device = nullptr;
    std::chrono::steady_clock::time_point m_createdAt;
    int m_vKey = 47; // KEY_V
    bool m_sending = false;
    bool m_reportedFailure = false;
};

} // namespace sayloom
