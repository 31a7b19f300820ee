#include "app/Desktop.h"

#include "app/X11Desktop.h"

namespace sayloom {

std::unique_ptr<Desktop> Desktop::forSession(Clock& clock, InputDevices& inputDevices, const Preferences&)
{
    return std::make_unique<X11Desktop>(clock, inputDevices);
}

} // namespace sayloom
