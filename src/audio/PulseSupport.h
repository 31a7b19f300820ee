#pragma once

// Shared by the device list and the recorder; private to the audio library.

#include "audio/AudioDevices.h"
#include "audio/AudioInputDevice.h"

#include <QLoggingCategory>
#include <QString>

#include <chrono>
#include <pulse/pulseaudio.h>

namespace sayloom {
Q_DECLARE_LOGGING_CATEGORY(lcAudio)
} // namespace sayloom

namespace sayloom::pulse {

// How long a connection attempt may take before the server counts as unreachable.
inline constexpr std::chrono::milliseconds connectTimeout{1000};

// A new context that names the application to the server and never spawns a server of its own: when none runs,
// the microphone is simply unavailable.
pa_context* newContext(pa_mainloop_api* api);
inline constexpr pa_context_flags_t connectFlags = PA_CONTEXT_NOAUTOSPAWN;

// Monitors of outputs are sources too, but they record what is played, not a microphone.
inline bool isMicrophone(const pa_source_info& info)
{
    return info.monitor_of_sink == PA_INVALID_INDEX;
}

AudioDevices::Properties properties(const pa_proplist* list);
// "Unknown" when the server gives no description.
QString displayName(const pa_source_info& info);
AudioInputDevice inputDevice(const pa_source_info& info);

QString errorText(int error);

// Microseconds to add to "now" for the time left until `deadline`, never negative.
pa_usec_t microsecondsUntil(std::chrono::steady_clock::time_point deadline);

} // namespace sayloom::pulse
