#pragma once

#include "desktop/wayland/PasteKeySender.h"

#include <chrono>
#include <cstdint>

struct zwp_virtual_keyboard_v1;

namespace sayloom {

class WaylandConnection;

// Sends the paste keystroke through a wlroots virtual keyboard (sway, Hyprland, river, Wayfire...): a keyboard of
// our own on the seat, plugged in once and kept, with a US keymap of our own, so KEY_V types "v" whatever layout the
// user has. Main thread only.
class VirtualKeyboard final : public PasteKeySender {
public:
    // `connection` must outlive this. Without the compositor's virtual-keyboard global nothing is available.
    explicit VirtualKeyboard(WaylandConnection& connection);
    VirtualKeyboard(const VirtualKeyboard&) = delete;
    VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;
    ~VirtualKeyboard() override;

    bool isAvailable() const override;
    QCoro::Task<bool> sendPaste(PasteKeys keys) override;

private:
    void key(std::uint32_t code, bool down);
    void modifiers(std::uint32_t depressed);

    WaylandConnection& m_connection;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    std::uint32_t m_control = 0;
    std::uint32_t m_shift = 0;
    std::chrono::steady_clock::time_point m_epoch = std::chrono::steady_clock::now();
};

} // namespace sayloom
