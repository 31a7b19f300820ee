#include "app/Desktop.h"

#include "app/WaylandDesktop.h"
#include "app/X11Desktop.h"

namespace sayloom {

std::unique_ptr<Desktop> Desktop::forSession(Clock& clock, InputDevices& inputDevices, const Preferences& preferences)
{
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        return std::make_unique<WaylandDesktop>(clock, inputDevices, preferences);
    }
    return std::make_unique<X11Desktop>(clock, inputDevices);
}

} // namespace sayloom
