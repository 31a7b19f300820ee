#pragma once

#include "audio/AudioInputDevice.h"
#include "audio/AudioRecorder.h"
#include "audio/AudioRecorderError.h"

#include <functional>
#include <optional>
#include <variant>

namespace sayloom {

// Microphone capture for one take at a time, as the session uses it; one instance for the whole run.
class Recorder {
public:
    using Recording = AudioRecorder::Recording;

    virtual ~Recorder() = default;

    // Records from `device`, or from the default input when there is none. On success the capture is running and
    // the stream yields its chunks until stop().
    virtual std::variant<Recording, AudioRecorderError> start(const std::optional<AudioInputDevice>& device) = 0;
    // Finishes the current take's stream; harmless when nothing records.
    virtual void stop() = 0;
    // Called once per captured buffer with a level in [0, 1], on the recorder's own thread.
    virtual void setOnLevel(std::function<void(float)> onLevel) = 0;
};

} // namespace sayloom
