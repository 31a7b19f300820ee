#pragma once

#include "AudioBuffer.h"
#include "AudioFormat.h"
#include "AudioInputDevice.h"

#include <ostream>
#include <vector>

namespace sayloom {

inline void PrintTo(const AudioFormat& format, std::ostream* out)
{
    *out << format.description().toStdString();
}

inline void PrintTo(const AudioInputDevice& device, std::ostream* out)
{
    *out << '{' << device.id << ", " << device.uid.toStdString() << ", \"" << device.name.toStdString() << "\", '"
         << Transport::text(device.transport).toStdString() << "'}";
}

inline AudioBufferPtr makeBuffer(const AudioFormat& format, std::vector<float> samples)
{
    return std::make_shared<const AudioBuffer>(format, std::move(samples));
}

inline AudioBufferPtr makeBuffer(const AudioFormat& format, std::vector<std::int16_t> samples)
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
