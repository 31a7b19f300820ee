#include "desktop/x11/X11AccessibilityTrust.h"

#include "desktop/x11/X11Connection.h"

namespace sayloom {

bool X11AccessibilityTrust::isTrusted() const
{
    if (m_granted) {
        return true;
    }
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland" || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return false;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        return false;
    }
    const std::unique_ptr<X11Connection> connection = X11Connection::open();
    m_granted = connection && connection->hasXInput2() && connection->hasXTest();
    return m_granted;
}

} // namespace sayloom
