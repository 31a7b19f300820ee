#include "audio/AudioDeviceMonitor.h"

#include "audio/AudioDevices.h"
#include "audio/PulseSourceWatch.h"

namespace sayloom {

AudioDeviceMonitor::AudioDeviceMonitor(QObject* parent)
    : QObject(parent)
{
    // Queued to this object, so the signal reaches receivers from the monitor's own thread and a call still
    // queued when the monitor is destroyed is dropped with it.
    m_watch = std::make_unique<PulseSourceWatch>(
            [this] { QMetaObject::invokeMethod(this, &AudioDeviceMonitor::devicesChanged, Qt::QueuedConnection); });
}

// The watch's thread ends before the QObject goes, which discards the calls it queued.
AudioDeviceMonitor::~AudioDeviceMonitor() = default;

QList<AudioInputDevice> AudioDeviceMonitor::inputDevices() const
{
    return m_watch->snapshot().devices;
}

std::optional<std::uint32_t> AudioDeviceMonitor::defaultInputID() const
{
    return m_watch->snapshot().defaultID;
}

std::optional<AudioInputDevice> AudioDeviceMonitor::resolve(const MicrophonePreference& preference) const
{
    const PulseSourceWatch::Snapshot snapshot = m_watch->snapshot();
    return AudioDevices::resolve(preference, snapshot.devices, snapshot.defaultID);
}

} // namespace sayloom
