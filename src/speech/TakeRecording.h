#pragma once

#include "audio/AudioStream.h"

#include <QFuture>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <utility>
#include <vector>

namespace sayloom {

// A take's audio, read on a thread of its own while it is recorded: every chunk goes on unchanged to a second
// stream (for the recogniser that decodes alongside), and a copy in the speech server's format, 16 kHz mono int16,
// is kept for the one request sent when the take ends.
class TakeRecording final {
public:
    struct Result {
        std::vector<std::int16_t> samples;
        std::int64_t chunkCount = 0;
        // Why the copy is unusable (a chunk that can't be converted); the chunks still went on.
        std::optional<QString> failure;
        // The take was stopped before its audio ended.
        bool stopped = false;
    };

    static constexpr std::uint32_t sampleRate = 16000;

    // Starts reading `audio`; the returned stream carries the same chunks. A stop request on either token ends the
    // reading early and finishes the returned stream.
    static std::pair<QFuture<Result>, AudioStream> start(AudioStream audio, std::stop_token stop,
                                                         std::stop_token shutdown);

    static std::chrono::milliseconds duration(const std::vector<std::int16_t>& samples);
    // No 30 ms stretch louder than -45 dBFS: room noise at most, nothing a recogniser should be asked about. Quiet
    // speech on a low-gain microphone still comes out above it.
    static bool isSilent(const std::vector<std::int16_t>& samples);

private:
    TakeRecording() = delete;
};

} // namespace sayloom
