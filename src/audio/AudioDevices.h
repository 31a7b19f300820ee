#pragma once

#include "audio/AudioInputDevice.h"
#include "audio/MicrophonePreference.h"

#include <QList>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace sayloom {

// The microphones the sound server offers and the choice among them. Every call asks the server afresh over a
// short-lived connection of its own, so it may be made from any thread; none blocks for more than about two
// seconds, and an unreachable server simply has no devices and no default. A caller that must not wait keeps an
// AudioDeviceMonitor instead.
class AudioDevices {
public:
    AudioDevices() = delete;

    // A source's properties, as the sound server reports them.
    using Properties = std::map<std::string, std::string, std::less<>>;

    // The server's sources in its own order, without the monitors of outputs (those record what is played, not
    // a microphone).
    static QList<AudioInputDevice> inputDevices();
    // The id of the server's default source; nothing when there is none, it is a monitor, or the server is
    // unreachable. Source index 0 is a real source here, so 0 is a valid answer.
    static std::optional<std::uint32_t> defaultInputID();

    // The device a take with this preference records from; nothing means the recorder takes the server's
    // default itself.
    static std::optional<AudioInputDevice> resolve(const MicrophonePreference& preference);
    // The same choice made on a given list and default:
    // - systemDefault: the default device (the first listed device with the default id), if any;
    // - automatic: the default device, except that a Bluetooth default gives way to the first built-in device,
    //   when there is one (a headset that opens its microphone drops into its low-quality call mode);
    // - device(uid): the first listed device with exactly that uid; automatic when none has it.
    static std::optional<AudioInputDevice> resolve(const MicrophonePreference& preference,
                                                   const QList<AudioInputDevice>& devices,
                                                   std::optional<std::uint32_t> defaultID);

    // The transport code a source's properties describe:
    // device.bus "bluetooth" gives 'blea' for an LE-audio profile and 'blue' otherwise, "usb" gives 'usb ';
    // otherwise device.form_factor "internal" gives 'bltn', and so does a "pci" or "platform" bus; anything else
    // is 0.
    static std::uint32_t transport(const Properties& properties);
};

} // namespace sayloom
