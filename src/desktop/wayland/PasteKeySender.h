#pragma once

#include "desktop/PasteKeys.h"

#include <QCoroTask>

namespace sayloom {

// Sends the paste keystroke to whatever window has the keyboard focus. Main thread only.
class PasteKeySender {
public:
    virtual ~PasteKeySender() = default;
    // Whether a keystroke can be sent now (the device or protocol it needs is there).
    virtual bool isAvailable() const = 0;
    // Presses the keys and lets them go again; completes once the last one is sent. False when nothing was sent.
    virtual QCoro::Task<bool> sendPaste(PasteKeys keys) = 0;
};

} // namespace sayloom
