#pragma once

#include "audio/AudioBuffer.h"
#include "audio/AudioFormat.h"

#include <ostream>
#include <vector>

namespace sayloom {

inline void PrintTo(const AudioFormat& format, std::ostream* out)
{
    *out << format.description().toStdString();
}

template <typename Sample>
AudioBufferPtr makeBuffer(const AudioFormat& format, std::vector<Sample> samples)
{
    return std::make_shared<const AudioBuffer>(format, std::move(samples));
}

// One channel's samples as floats, whatever the layout and sample type.
inline std::vector<float> channel(const AudioBuffer& buffer, std::uint32_t index)
{
    std::vector<float> samples(buffer.frameLength());
    for (std::uint32_t frame = 0; frame < buffer.frameLength(); ++frame) {
        samples[frame] = buffer.sample(index, frame);
    }
    return samples;
}

} // namespace sayloom
