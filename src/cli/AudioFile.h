#pragma once

#include "audio/AudioFormat.h"
#include "audio/AudioStream.h"

#include <QString>

#include <chrono>
#include <variant>

namespace sayloom {

// Reads an audio file (anything libsndfile reads: WAV, FLAC, OGG, MP3, …) into a finished stream of chunks, for
// `--transcribe`. The chunks are float32 in the file's own rate and channel count; the speech engine converts.
class AudioFile {
public:
    struct Streamed {
        AudioStream stream;
        AudioFormat format;
        std::chrono::milliseconds duration;
    };

    // Frames per chunk: about a quarter of a second at 16 kHz, as a microphone would deliver them.
    static constexpr int chunkFrames = 4096;

    AudioFile() = delete;

    // The whole file, queued before this returns; the stream is finished. On failure (no such file, not audio, a
    // read error, no frames at all), the description the user sees: the file's name and the reason.
    static std::variant<Streamed, QString> stream(const QString& path);
};

} // namespace sayloom
