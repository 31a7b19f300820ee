#pragma once

#include "session/ports/Clipboard.h"

namespace sayloom {

// The X11 CLIPBOARD selection through Qt, for text the session leaves there for the user to paste. It stays
// (unmarked, so clipboard managers keep it) until someone else copies. Needs a QGuiApplication.
class X11Clipboard final : public Clipboard {
public:
    X11Clipboard() = default;
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    void setText(const QString& text) override;
};

} // namespace sayloom
