#pragma once

#include "audio/AudioRecorder.h"
#include "session/Recorder.h"

namespace sayloom {

// The session's recorder over the sound server.
class PulseRecorder final : public Recorder {
public:
    PulseRecorder() = default;
    PulseRecorder(const PulseRecorder&) = delete;
    PulseRecorder& operator=(const PulseRecorder&) = delete;

    std::variant<Recording, AudioRecorderError> start(const std::optional<AudioInputDevice>& device) override
    {
        return m_recorder.start(device);
    }
    void stop() override { m_recorder.stop(); }
    void setOnLevel(std::function<void(float)> onLevel) override { m_recorder.setOnLevel(std::move(onLevel)); }

private:
    AudioRecorder m_recorder;
};

} // namespace sayloom
