#pragma once

#include "audio/AudioDeviceMonitor.h"
#include "session/InputDevices.h"

namespace sayloom {

// The sound server's microphones, answered from the list the monitor keeps current.
class PulseInputDevices final : public InputDevices {
    Q_OBJECT

public:
    PulseInputDevices()
    {
        connect(&m_monitor, &AudioDeviceMonitor::devicesChanged, this, &InputDevices::devicesChanged);
    }
    PulseInputDevices(const PulseInputDevices&) = delete;
    PulseInputDevices& operator=(const PulseInputDevices&) = delete;

    QList<AudioInputDevice> inputDevices() const override { return m_monitor.inputDevices(); }
    std::optional<AudioInputDevice> resolve(const MicrophonePreference& preference) const override
    {
        return m_monitor.resolve(preference);
    }

private:
    AudioDeviceMonitor m_monitor;
};

} // namespace sayloom
