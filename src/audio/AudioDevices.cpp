#include "audio/AudioDevices.h"

#include "audio/PulseSupport.h"

#include <chrono>
#include <climits>
#include <string_view>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;

// After connecting, the two questions get as long again.
constexpr std::chrono::milliseconds queryTimeout = pulse::connectTimeout;

struct Snapshot {
    QList<AudioInputDevice> devices;
    std::optional<std::uint32_t> defaultID;
};

// One connection on a main loop of its own that this thread drives until an answer or the deadline.
class BlockingConnection final {
public:
    BlockingConnection()
        : m_loop(pa_mainloop_new())
    {
        if (m_loop) {
            m_context = pulse::newContext(pa_mainloop_get_api(m_loop));
        }
    }
    BlockingConnection(const BlockingConnection&) = delete;
    BlockingConnection& operator=(const BlockingConnection&) = delete;
    ~BlockingConnection()
    {
        if (m_context) {
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
        }
        if (m_loop) {
            pa_mainloop_free(m_loop);
        }
    }

    bool connect()
    {
        if (!m_context || pa_context_connect(m_context, nullptr, pulse::connectFlags, nullptr) < 0) {
            return false;
        }
        const bool answered = runUntil(Clock::now() + pulse::connectTimeout, [this] {
            const pa_context_state_t state = pa_context_get_state(m_context);
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        });
        return answered && pa_context_get_state(m_context) == PA_CONTEXT_READY;
    }

    std::optional<Snapshot> snapshot()
    {
        struct Answers {
            bool serverDone = false;
            bool sourcesDone = false;
            bool failed = false;
            std::string defaultSource;
            Snapshot snapshot;
        } answers;

        auto onServer = [](pa_context*, const pa_server_info* info, void* userdata) {
            auto* state = static_cast<Answers*>(userdata);
            if (info && info->default_source_name) {
                state->defaultSource = info->default_source_name;
            }
            state->serverDone = true;
        };
        auto onSource = [](pa_context*, const pa_source_info* info, int eol, void* userdata) {
            auto* state = static_cast<Answers*>(userdata);
            if (eol != 0) {
                state->failed = eol < 0;
                state->sourcesDone = true;
                return;
            }
            if (info && info->name && pulse::isMicrophone(*info)) {
                state->snapshot.devices.append(pulse::inputDevice(*info));
            }
        };
        pa_operation* server = pa_context_get_server_info(m_context, onServer, &answers);
        pa_operation* sources = pa_context_get_source_info_list(m_context, onSource, &answers);
        const bool answered = server && sources && runUntil(Clock::now() + queryTimeout, [&] {
                                  return (answers.serverDone && answers.sourcesDone) ||
                                         !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context));
                              });
        // Cancelling detaches the callbacks from `answers`, which dies with this frame.
        for (pa_operation* operation : {server, sources}) {
            if (!operation) {
                continue;
            }
            if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
                pa_operation_cancel(operation);
            }
            pa_operation_unref(operation);
        }
        if (!answered || !answers.serverDone || !answers.sourcesDone || answers.failed) {
            return std::nullopt;
        }
        for (const AudioInputDevice& device : answers.snapshot.devices) {
            if (device.uid.toStdString() == answers.defaultSource) {
                answers.snapshot.defaultID = device.id;
                break;
            }
        }
        return std::move(answers.snapshot);
    }

private:
    template <typename Done>
    bool runUntil(Clock::time_point deadline, Done done)
    {
        while (!done()) {
            const pa_usec_t left = pulse::microsecondsUntil(deadline);
            if (left == 0) {
                return false;
            }
            if (pa_mainloop_prepare(m_loop, int(std::min<pa_usec_t>(left, INT_MAX))) < 0 ||
                pa_mainloop_poll(m_loop) < 0 || pa_mainloop_dispatch(m_loop) < 0) {
                return false;
            }
        }
        return true;
    }

    pa_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
};

Snapshot currentSnapshot()
{
    BlockingConnection connection;
    if (!connection.connect()) {
        return {};
    }
    return connection.snapshot().value_or(Snapshot{});
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
    const Snapshot snapshot = currentSnapshot();
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
