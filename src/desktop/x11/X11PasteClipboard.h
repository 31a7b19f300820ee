#pragma once

#include "desktop/PasteClipboard.h"

#include <QClipboard>
#include <QMimeData>
#include <QPointer>

#include <memory>

namespace sayloom {

class X11ClipboardClock;

// The CLIPBOARD selection (or PRIMARY) of an X11 display through Qt, for one paste at a time. Under XWayland on
// GNOME this is also the Wayland clipboard: the compositor hands the X11 owner's content to Wayland programs.
// Needs a QGuiApplication.
class X11PasteClipboard final : public PasteClipboard {
public:
    // `clock` freshens Qt's server time before the selection is claimed; it must outlive this.
    X11PasteClipboard(X11ClipboardClock& clock, QClipboard::Mode mode = QClipboard::Clipboard);
    X11PasteClipboard(const X11PasteClipboard&) = delete;
    X11PasteClipboard& operator=(const X11PasteClipboard&) = delete;
    ~X11PasteClipboard() override;

    QCoro::Task<bool> hold(QString text) override;
    void restore() override;

private:
    X11ClipboardClock& m_clock;
    QClipboard::Mode m_mode;
    QPointer<QMimeData> m_ours;
    std::unique_ptr<QMimeData> m_saved;
};

} // namespace sayloom
