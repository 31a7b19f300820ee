#pragma once

#include "audio/AudioInputDevice.h"
#include "audio/MicrophonePreference.h"

#include <QList>

#include <optional>

namespace sayloom {

// The microphones there are and the one a preference picks. Callable from any thread.
class InputDevices {
public:
    virtual ~InputDevices() = default;

    // In the order the system lists them; empty when the system cannot be asked.
    virtual QList<AudioInputDevice> inputDevices() const = 0;
    // The device a take with this preference records from; nothing means the system default.
    virtual std::optional<AudioInputDevice> resolve(const MicrophonePreference& preference) const = 0;
};

} // namespace sayloom
