#pragma once

#include "audio/AudioInputDevice.h"
#include "audio/MicrophonePreference.h"

#include <QList>
#include <QObject>

#include <cstdint>
#include <memory>
#include <optional>

namespace sayloom {

class PulseSourceWatch;

// The sound server's microphones, kept current from the server's own change events on a connection and thread of
// the monitor's own, so every answer comes from memory: a take's key press never waits on the server. When the
// server cannot be reached or goes away the list is empty, and the monitor keeps trying in the background, at
// growing intervals (1 s up to 30 s), until it is back.
class AudioDeviceMonitor final : public QObject {
    Q_OBJECT

public:
    // Starts connecting and returns at once; the list fills as soon as the server answers.
    explicit AudioDeviceMonitor(QObject* parent = nullptr);
    AudioDeviceMonitor(const AudioDeviceMonitor&) = delete;
    AudioDeviceMonitor& operator=(const AudioDeviceMonitor&) = delete;
    ~AudioDeviceMonitor() override;

    // The same answers as AudioDevices gives, from memory and from any thread.
    QList<AudioInputDevice> inputDevices() const;
    std::optional<std::uint32_t> defaultInputID() const;
    std::optional<AudioInputDevice> resolve(const MicrophonePreference& preference) const;

signals:
    // The list or the default changed. Fired in the monitor's thread, from its event loop.
    void devicesChanged();

private:
    std::unique_ptr<PulseSourceWatch> m_watch;
};

} // namespace sayloom
