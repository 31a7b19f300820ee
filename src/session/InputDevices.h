#pragma once

#include "audio/AudioInputDevice.h"
#include "audio/MicrophonePreference.h"

#include <QList>
#include <QObject>

#include <optional>

namespace sayloom {

// The microphones there are and the one a preference picks. The answers are callable from any thread and never
// wait long, as a take resolves its microphone the moment its key is pressed.
class InputDevices : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // In the order the system lists them; empty when the system cannot be asked.
    virtual QList<AudioInputDevice> inputDevices() const = 0;
    // The device a take with this preference records from; nothing means the system default.
    virtual std::optional<AudioInputDevice> resolve(const MicrophonePreference& preference) const = 0;

signals:
    // A device came or went, or the default changed; in the thread the object lives in.
    void devicesChanged();
};

} // namespace sayloom
