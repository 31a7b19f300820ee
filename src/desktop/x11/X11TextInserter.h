#pragma once

#include "desktop/PasteKeys.h"
#include "session/ports/TextInserter.h"

#include <QByteArray>

#include <chrono>
#include <memory>

namespace sayloom {

class X11ClipboardClock;
class X11Connection;
class X11Keyboard;
class X11PasteClipboard;

// Pastes through the clipboard: every format on it is copied out, the text goes on it (marked transient, so
// clipboard managers skip it), an XTest paste keystroke follows, and 0.3 s later the copy is put back, unless
// someone else has taken the clipboard meanwhile. Terminals get the keystroke they paste with; xterm and rxvt
// paste the PRIMARY selection, so the text goes there too, under the same rule. Needs a QGuiApplication.
class X11TextInserter final : public TextInserter {
public:
    X11TextInserter();
    X11TextInserter(const X11TextInserter&) = delete;
    X11TextInserter& operator=(const X11TextInserter&) = delete;
    ~X11TextInserter() override;

    QCoro::Task<void> insert(QString text, std::optional<RunningApplication> target) override;

    // How long the target has to fetch the text before the clipboard is put back.
    static constexpr std::chrono::milliseconds restoreDelay{300};
    // How long a modifier still held (the trigger, say) may hold the keystroke back.
    static constexpr std::chrono::milliseconds modifierWait{500};

private:
    PasteKeys pasteKeysForWindow(const std::optional<RunningApplication>& target);
    bool modifierHeld() const;
    void postPaste(PasteKeys keys);

    std::unique_ptr<X11Connection> m_connection;
    std::unique_ptr<X11Keyboard> m_keyboard;
    std::unique_ptr<X11ClipboardClock> m_clock;
    std::unique_ptr<X11PasteClipboard> m_clipboard;
    std::unique_ptr<X11PasteClipboard> m_primary;
};

} // namespace sayloom
