#pragma once

#include "app/Desktop.h"
#include "desktop/CanberraSounds.h"
#include "desktop/DesktopPermissions.h"
#include "desktop/x11/X11AccessibilityTrust.h"
#include "desktop/x11/X11ActiveWindow.h"
#include "desktop/x11/X11Clipboard.h"
#include "desktop/x11/X11HotkeyMonitor.h"
#include "desktop/x11/X11TextInserter.h"
#include "overlay/OverlayController.h"

namespace sayloom {

// The session's desktop on an X11 display (or XWayland): the trigger key, pasting, the active window and the
// clipboard through X11, the pill, the cues and the permission probes. Needs a QApplication on that display.
class X11Desktop final : public Desktop {
public:
    X11Desktop(Clock& clock, InputDevices& inputDevices);
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    DesktopParts parts() override;
    DesktopPermissions& permissions() override { return m_permissions; }
    QString description() const override { return QStringLiteral("X11"); }

private:
    X11HotkeyMonitor m_hotkeyMonitor;
    OverlayController m_overlay;
    X11TextInserter m_inserter;
    DesktopPermissions m_permissions;
    X11AccessibilityTrust m_accessibility;
    X11ActiveWindow m_activeWindow;
    X11Clipboard m_clipboard;
    CanberraSounds m_sounds;
};

} // namespace sayloom
