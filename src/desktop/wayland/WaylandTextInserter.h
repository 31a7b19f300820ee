#pragma once

#include "session/ports/TextInserter.h"

#include <chrono>
#include <functional>

namespace sayloom {

class PasteClipboard;
class PasteKeySender;

// Pastes on a Wayland desktop the way the X11 inserter does: the text goes on the clipboard (marked transient), the
// paste keystroke follows once no modifier is held, and 0.3 s later the user's clipboard comes back unless someone
// copied meanwhile. Which clipboard and which keyboard are the desktop's choice.
class WaylandTextInserter final : public TextInserter {
public:
    // `modifierHeld` tells whether a modifier key is down on any keyboard (nothing held when it cannot tell).
    // `primary`, when the desktop offers it, is the primary selection, which xterm and rxvt paste with Shift+Insert.
    // The parts must outlive this.
    WaylandTextInserter(PasteClipboard& clipboard, PasteKeySender& keys, std::function<bool()> modifierHeld,
                        PasteClipboard* primary = nullptr);
    WaylandTextInserter(const WaylandTextInserter&) = delete;
    WaylandTextInserter& operator=(const WaylandTextInserter&) = delete;

    QCoro::Task<void> insert(QString text, std::optional<RunningApplication> target) override;

    // How long the target has to fetch the text before the clipboard is put back.
    static constexpr std::chrono::milliseconds restoreDelay{300};
    // How long a modifier still held (the trigger, say) may hold the keystroke back.
    static constexpr std::chrono::milliseconds modifierWait{500};

private:
    PasteClipboard& m_clipboard;
    PasteClipboard* m_primary;
    PasteKeySender& m_keys;
    std::function<bool()> m_modifierHeld;
};

} // namespace sayloom
