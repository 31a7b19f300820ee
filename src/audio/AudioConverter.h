#pragma once

#include "audio/AudioBuffer.h"
#include "audio/AudioConversionError.h"
#include "audio/AudioFormat.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <variant>

namespace sayloom {

// Converts successive buffers of one input format into one output format while audio is still arriving. The
// resampler lives as long as the converter, so its filter history and fractional position carry from one buffer
// to the next and buffer boundaries leave no clicks or gaps. It is never told that the input ended: the last few
// milliseconds stay inside it. Equal formats pass buffers through untouched.
//
// Used by one thread at a time.
class AudioConverter final {
public:
    // Fails with unsupportedFormat when either format has no rate or no channels, or the resampler refuses the
    // pair.
    static std::variant<AudioConverter, AudioConversionError> make(const AudioFormat& input, const AudioFormat& output);

    AudioConverter(AudioConverter&&) noexcept;
    AudioConverter& operator=(AudioConverter&&) noexcept;
    AudioConverter(const AudioConverter&) = delete;
    AudioConverter& operator=(const AudioConverter&) = delete;
    ~AudioConverter();

    const AudioFormat& inputFormat() const { return m_input; }
    const AudioFormat& outputFormat() const { return m_output; }
    bool isPassThrough() const { return !m_resampler; }

    // Pass-through returns the very buffer given. Otherwise a new buffer in the output format with everything
    // the resampler has ready: about `outputCapacity` frames, fewer or none while it fills its filter, now and
    // then a few more when it finishes a block. A buffer that is not in the input format fails with
    // conversionFailed.
    std::variant<AudioBufferPtr, AudioConversionError> convert(const AudioBufferPtr& buffer);

    // Room for the output of `frames` input frames: ceiling(outputRate / inputRate × frames) + 1, or nothing when
    // that does not fit in 32 bits.
    static std::optional<std::uint32_t> outputCapacity(std::uint32_t inputRate, std::uint32_t outputRate,
                                                       std::uint32_t frames);

private:
    struct Resampler;

    AudioConverter(const AudioFormat& input, const AudioFormat& output, std::unique_ptr<Resampler> resampler);

    AudioFormat m_input;
    AudioFormat m_output;
    // None for pass-through.
    std::unique_ptr<Resampler> m_resampler;
};

} // namespace sayloom
