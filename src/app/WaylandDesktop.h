#pragma once

#include "app/Desktop.h"
#include "desktop/CanberraSounds.h"
#include "desktop/DesktopPermissions.h"
#include "overlay/OverlayController.h"

#include <memory>

namespace sayloom {

class ActiveApplication;
class Clipboard;
class EvdevHotkeyMonitor;
class PasteClipboard;
class PasteKeySender;
class WaylandAccessibilityTrust;
class WaylandConnection;
class WaylandTextInserter;
class X11ClipboardClock;

// The session's desktop on Wayland. The trigger key comes from the kernel's keyboards; the paste keystroke from the
// compositor's virtual keyboard (wlroots) or a uinput keyboard; the clipboard is data-control where the compositor
// offers it (wlroots, KWin), else the X11 one through XWayland, which the compositor hands on (GNOME); the active
// window comes from sway's IPC, a KWin script or the accessibility bus. The pill stays on XWayland, where it can
// stay out of the focus.
class WaylandDesktop final : public Desktop {
public:
    WaylandDesktop(Clock& clock, InputDevices& inputDevices, const Preferences& preferences);
    WaylandDesktop(const WaylandDesktop&) = delete;
    WaylandDesktop& operator=(const WaylandDesktop&) = delete;
    ~WaylandDesktop() override;

    DesktopParts parts() override;
    DesktopPermissions& permissions() override { return m_permissions; }
    QString description() const override { return m_description; }

private:
    std::unique_ptr<EvdevHotkeyMonitor> m_hotkeyMonitor;
    OverlayController m_overlay;
    std::unique_ptr<WaylandConnection> m_connection;
    std::unique_ptr<X11ClipboardClock> m_clipboardClock;
    std::unique_ptr<PasteClipboard> m_pasteClipboard;
    std::unique_ptr<PasteClipboard> m_primary;
    // The same object as the paste clipboard where one serves both.
    std::unique_ptr<Clipboard> m_ownClipboard;
    Clipboard* m_clipboard = nullptr;
    std::unique_ptr<PasteKeySender> m_keys;
    std::unique_ptr<WaylandTextInserter> m_inserter;
    DesktopPermissions m_permissions;
    std::unique_ptr<WaylandAccessibilityTrust> m_accessibility;
    std::unique_ptr<ActiveApplication> m_activeApplication;
    CanberraSounds m_sounds;
    QString m_description;
};

} // namespace sayloom
