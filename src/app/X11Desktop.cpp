#include "app/X11Desktop.h"

#include "desktop/x11/X11Compositor.h"
#include "session/InputDevices.h"

namespace sayloom {

X11Desktop::X11Desktop(Clock& clock, InputDevices& inputDevices)
    : m_overlay(clock)
    // The microphone is there when the sound server lists an input; the list is kept in memory, so this never
    // waits on the server.
    , m_permissions([&inputDevices]() -> QCoro::Task<bool> { co_return !inputDevices.inputDevices().isEmpty(); })
{
    m_overlay.setCompositing(x11CompositorRunning());
}

DesktopParts X11Desktop::parts()
{
    return DesktopParts{.hotkeyMonitor = m_hotkeyMonitor,
                        .overlay = m_overlay,
                        .inserter = m_inserter,
                        .permissions = m_permissions,
                        .accessibility = m_accessibility,
                        .activeApplication = m_activeWindow,
                        .clipboard = m_clipboard,
                        .sounds = m_sounds};
}

} // namespace sayloom
