#pragma once

#include "session/ports/OverlayMode.h"

#include <chrono>

namespace sayloom {

// The floating pill as the session drives it. Main thread only.
class Overlay {
public:
    virtual ~Overlay() = default;

    // Shows the mode at once, cancelling any pending hide.
    virtual void show(const OverlayMode& mode) = 0;
    // Fades out after `delay` (zero: at once) unless another show comes first.
    virtual void hide(std::chrono::milliseconds delay) = 0;
    // Moves the waveform by one bar; accepted in every mode.
    virtual void push(float level) = 0;
};

} // namespace sayloom
