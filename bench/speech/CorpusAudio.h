#pragma once

#include "audio/AudioChunk.h"
#include "audio/AudioFormat.h"
#include "speech/TranscriptionEngine.h"

#include <QCoroTask>
#include <QString>

#include <optional>
#include <vector>

namespace sayloom {

// One audio file of the speech corpus in memory, float32 in its own rate and channels, as the speech benchmarks
// feed it to the engine.
class CorpusAudio {
public:
    // Empty (no frames) when the file cannot be read.
    static CorpusAudio load(const QString& path);

    const AudioFormat& format() const { return m_format; }
    double seconds() const { return m_seconds; }
    bool isEmpty() const { return m_samples.empty(); }

    // The audio in pieces of `frames` frames (the last may be shorter).
    std::vector<AudioChunk> chunks(std::size_t frames) const;

    // Streams the audio into `engine` at the pace a microphone delivers it, in 100 ms buffers, and returns the time
    // from the end of the stream (the trigger's release) to the transcript; nothing when the engine failed.
    QCoro::Task<std::optional<double>> finalisationSeconds(TranscriptionEngine& engine) const;

private:
    AudioFormat m_format;
    std::vector<float> m_samples;
    double m_seconds = 0;
};

} // namespace sayloom
