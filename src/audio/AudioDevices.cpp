#include "audio/AudioDevices.h"

#include "audio/PulseSourceWatch.h"
#include "audio/PulseSupport.h"

#include <string_view>

namespace sayloom {

namespace {

// The live list's own connection, kept for its first answer only: up to a second to connect and another to answer.
PulseSourceWatch::Snapshot currentSnapshot()
{
    return PulseSourceWatch().firstSnapshot(2 * pulse::connectTimeout);
}

std::optional<AudioInputDevice> firstWhere(const QList<AudioInputDevice>& devices, auto predicate)
{
    for (const AudioInputDevice& device : devices) {
        if (predicate(device)) {
            return device;
        }
    }
    return std::nullopt;
}

std::optional<AudioInputDevice> automaticChoice(const QList<AudioInputDevice>& devices,
                                                const std::optional<AudioInputDevice>& defaultDevice)
{
    if (!defaultDevice || !Transport::isBluetooth(defaultDevice->transport)) {
        return defaultDevice;
    }
    if (auto builtIn = firstWhere(devices, [](const auto& device) { return device.transport == Transport::builtIn; })) {
        return builtIn;
    }
    return defaultDevice;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// LE audio reaches the sound server as BAP, its Basic Audio Profile: PipeWire names the profile "bap-source",
// "bap-duplex" and so on (api.bluez5.profile, and the card profile in device.profile.name), and LC3 is the codec
// only LE audio uses. PulseAudio itself has no LE audio, but its bluetooth.protocol is read the same way in case
// it gains one. Classic headsets show "headset-head-unit", "a2dp-source" and the like.
bool isLEAudio(const AudioDevices::Properties& properties)
{
    for (const char* key : {"api.bluez5.profile", "device.profile.name", "bluetooth.protocol"}) {
        const auto found = properties.find(std::string_view(key));
        if (found != properties.end() && startsWith(found->second, "bap")) {
            return true;
        }
    }
    const auto codec = properties.find(std::string_view("api.bluez5.codec"));
    return codec != properties.end() && codec->second == "lc3";
}

} // namespace

QList<AudioInputDevice> AudioDevices::inputDevices()
{
    return currentSnapshot().devices;
}

std::optional<std::uint32_t> AudioDevices::defaultInputID()
{
    return currentSnapshot().defaultID;
}

std::optional<AudioInputDevice> AudioDevices::resolve(const MicrophonePreference& preference)
{
    const PulseSourceWatch::Snapshot snapshot = currentSnapshot();
    return resolve(preference, snapshot.devices, snapshot.defaultID);
}

std::optional<AudioInputDevice> AudioDevices::resolve(const MicrophonePreference& preference,
                                                      const QList<AudioInputDevice>& devices,
                                                      std::optional<std::uint32_t> defaultID)
{
    const std::optional<AudioInputDevice> defaultDevice =
            defaultID ? firstWhere(devices, [&](const auto& device) { return device.id == *defaultID; }) : std::nullopt;
    switch (preference.kind()) {
    case MicrophonePreference::Kind::systemDefault:
        return defaultDevice;
    case MicrophonePreference::Kind::automatic:
        return automaticChoice(devices, defaultDevice);
    case MicrophonePreference::Kind::device:
        // An unplugged device falls back quietly; the preference keeps naming it for when it returns.
        if (auto chosen = firstWhere(devices, [&](const auto& device) { return device.uid == preference.uid(); })) {
            return chosen;
        }
        return automaticChoice(devices, defaultDevice);
    }
    return defaultDevice;
}

std::uint32_t AudioDevices::transport(const Properties& properties)
{
    const auto value = [&](std::string_view key) -> std::string_view {
        const auto found = properties.find(key);
        return found == properties.end() ? std::string_view() : std::string_view(found->second);
    };
    const std::string_view bus = value("device.bus");
    if (bus == "bluetooth") {
        return isLEAudio(properties) ? Transport::bluetoothLE : Transport::bluetooth;
    }
    if (bus == "usb") {
        return Transport::usb;
    }
    if (value("device.form_factor") == "internal" || bus == "pci" || bus == "platform") {
        return Transport::builtIn;
    }
    return Transport::none;
}

} // namespace sayloom
