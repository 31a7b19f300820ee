#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

namespace sayloom {

enum class SampleType { float32, int16 };

// How PCM frames are laid out: rate, channels, sample type and whether the channels of a frame sit side by side
// (interleaved) or each channel is one contiguous run (non-interleaved).
struct AudioFormat {
    std::uint32_t sampleRate = 0;
    std::uint32_t channelCount = 0;
    SampleType sampleType = SampleType::float32;
    bool interleaved = false;

    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;

    bool isValid() const { return sampleRate > 0 && channelCount > 0; }
    std::size_t bytesPerSample() const { return sampleType == SampleType::float32 ? 4 : 2; }
    // For logs: "16000 Hz, 1 ch, float32, non-interleaved".
    QString description() const;
};

} // namespace sayloom
