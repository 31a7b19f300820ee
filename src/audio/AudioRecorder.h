#pragma once

#include "audio/AudioBuffer.h"
#include "audio/AudioFormat.h"
#include "audio/AudioInputDevice.h"
#include "audio/AudioRecorderError.h"
#include "audio/AudioStream.h"

#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace sayloom {

// Captures the microphone for one take at a time through the sound server. The server's callbacks run on one
// thread of the recorder's own (named "audio-capture"); each captured buffer gets a level for `onLevel` and
// becomes a chunk of the take's stream. Stopping finishes the stream under the same lock the capture thread
// yields under, so no chunk lands after the end and chunks captured after `stop` are dropped.
//
// `start` and `stop` are called by the owner, one call at a time, never from inside the level callback.
class AudioRecorder final {
public:
    struct Recording {
        AudioStream stream;
        // The format the recorder asks for; the chunks carry the format actually delivered.
        AudioFormat format;
    };

    // 32-bit float, 16 kHz, mono: the server converts whatever the microphone delivers.
    static constexpr AudioFormat format{
            .sampleRate = 16000, .channelCount = 1, .sampleType = SampleType::float32, .interleaved = false};

    AudioRecorder();
    AudioRecorder(const AudioRecorder&) = delete;
    AudioRecorder& operator=(const AudioRecorder&) = delete;
    ~AudioRecorder();

    // Stops any take first. Records from the source named by `device->uid`, or from the server's default
    // source when no device is given or it is gone. Returns once the server has answered (at most about two
    // seconds), with the capture running.
    std::variant<Recording, AudioRecorderError> start(const std::optional<AudioInputDevice>& device);
    // Finishes the take's stream (the consumer still reads what is buffered) and ends the capture; harmless
    // when nothing is recording. A take also ends by itself when the server goes away.
    void stop();

    // Called on the capture thread once per captured buffer with its level; keep it short. Set it before
    // recording.
    void setOnLevel(std::function<void(float)> onLevel);

    // The buffer's loudness in [0, 1], linear in decibels from -50 dBFS (0) to 0 dBFS (1), from the rms of its
    // first channel. No smoothing: a meter smooths for itself.
    static float level(const AudioBuffer& buffer);

private:
    struct Capture;
    std::unique_ptr<Capture> m_capture;
};

} // namespace sayloom
