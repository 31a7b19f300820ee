#pragma once

#include "session/SessionParts.h"

#include <QString>

#include <memory>

namespace sayloom {

class Clock;
class DesktopPermissions;
class InputDevices;
class Preferences;

// The session's desktop: the trigger key, pasting, the active window, the clipboard, the pill, the cues and the
// permission probes, from the display server the user's session runs on.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual DesktopParts parts() = 0;
    virtual DesktopPermissions& permissions() = 0;
    // Which desktop this is, for the log: "X11", "Wayland (sway)".
    virtual QString description() const = 0;

    // The Wayland desktop when the session is a Wayland one ($WAYLAND_DISPLAY set), else X11. Either way the windows
    // and the pill go through X11 (XWayland under Wayland), so a QApplication on an X display must exist.
    static std::unique_ptr<Desktop> forSession(Clock& clock, InputDevices& inputDevices,
                                               const Preferences& preferences);
};

} // namespace sayloom
