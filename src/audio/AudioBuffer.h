#pragma once

#include "audio/AudioFormat.h"

#include <cstdint>
#include <memory>
#include <span>
#include <variant>
#include <vector>

namespace sayloom {

// PCM frames that never change once made, so one buffer can be handed between threads and to several readers
// without copying. Interleaved samples are stored frame after frame; non-interleaved ones channel after channel,
// each channel `frameLength()` samples long.
class AudioBuffer {
public:
    // The sample type of `format` follows the samples given. A trailing partial frame is dropped.
    AudioBuffer(AudioFormat format, std::vector<float> samples);
    AudioBuffer(AudioFormat format, std::vector<std::int16_t> samples);

    const AudioFormat& format() const { return m_format; }
    std::uint32_t frameLength() const { return m_frameLength; }

    // All samples in storage order; empty when the buffer holds the other sample type.
    std::span<const float> floatSamples() const;
    std::span<const std::int16_t> int16Samples() const;

    // One sample as a float in [-1, 1], whatever the sample type and layout.
    float sample(std::uint32_t channel, std::uint32_t frame) const;

private:
    std::size_t indexOf(std::uint32_t channel, std::uint32_t frame) const;

    AudioFormat m_format;
    std::uint32_t m_frameLength = 0;
    std::variant<std::vector<float>, std::vector<std::int16_t>> m_samples;
};

using AudioBufferPtr = std::shared_ptr<const AudioBuffer>;

} // namespace sayloom
