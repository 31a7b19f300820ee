#pragma once

#include "session/ports/Trigger.h"

#include <functional>

namespace sayloom {

// Watches the dictation trigger key everywhere on the desktop and reports when it goes down and comes up, and
// reports a cancel request for Escape or for any key pressed while the trigger is held. It knows nothing of taps,
// holds or recording. Main thread only.
class HotkeyMonitor {
public:
    virtual ~HotkeyMonitor() = default;

    virtual Trigger trigger() const = 0;
    // The key watched from now on. Does not report a release of the old key; the owner does that.
    virtual void setTrigger(Trigger trigger) = 0;
    // Called with true when the trigger goes down and false when it comes up, only on real changes.
    virtual void setOnChange(std::function<void(bool)> onChange) = 0;
    // Called for Escape, and for any key pressed while the trigger is held.
    virtual void setOnCancel(std::function<void()> onCancel) = 0;
    // The last state reported through the change callback.
    virtual bool isDown() const = 0;
    // Forgets a held trigger without reporting it, for an owner that reports the release itself.
    virtual void markUp() = 0;
    // Watches from now on; a second start does nothing.
    virtual void start() = 0;
    // Stops watching; a held trigger is first reported as released.
    virtual void stop() = 0;
};

} // namespace sayloom
