#pragma once

#include "audio/AudioDevices.h"
#include "session/InputDevices.h"

namespace sayloom {

// The sound server's microphones; every call asks the server afresh.
class PulseInputDevices final : public InputDevices {
public:
    PulseInputDevices() = default;
    PulseInputDevices(const PulseInputDevices&) = delete;
    PulseInputDevices& operator=(const PulseInputDevices&) = delete;

    QList<AudioInputDevice> inputDevices() const override { return AudioDevices::inputDevices(); }
    std::optional<AudioInputDevice> resolve(const MicrophonePreference& preference) const override
    {
        return AudioDevices::resolve(preference);
    }
};

} // namespace sayloom
