#include "audio/AudioDeviceMonitor.h"

#include "audio/AudioDevices.h"
#include "audio/PulseSourceWatch.h"

namespace sayloom {

namespace {

PulseSourceWatch::Snapshot current(PulseSourceWatch& watch)
{
    PulseSourceWatch::Snapshot snapshot = watch.snapshot();
    if (snapshot.devices.isEmpty()) {
        // The answer is still the empty list; the next one may not be.
        watch.retrySoon();
    }
    return snapshot;
}

} // namespace

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
    return current(*m_watch).devices;
}

std::optional<std::uint32_t> AudioDeviceMonitor::defaultInputID() const
{
    return current(*m_watch).defaultID;
}

std::optional<AudioInputDevice> AudioDeviceMonitor::resolve(const MicrophonePreference& preference) const
{
    const PulseSourceWatch::Snapshot snapshot = current(*m_watch);
    return AudioDevices::resolve(preference, snapshot.devices, snapshot.defaultID);
}

} // namespace sayloom
