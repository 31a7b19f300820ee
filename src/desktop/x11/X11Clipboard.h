#pragma once

#include "session/ports/Clipboard.h"

#include <QCoroTask>

#include <memory>

namespace sayloom {

class X11ClipboardClock;

// The X11 CLIPBOARD selection through Qt, for text the session leaves there for the user to paste. It stays
// (unmarked, so clipboard managers keep it) until someone else copies. The text is set a moment later, once Qt
// has heard the server's current time (see X11ClipboardClock). Needs a QGuiApplication.
class X11Clipboard final : public Clipboard {
public:
    X11Clipboard();
    ~X11Clipboard() override;
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    void setText(const QString& text) override;

private:
    QCoro::Task<void> claim(QString text);

    std::unique_ptr<X11ClipboardClock> m_clock;
};

} // namespace sayloom
