#pragma once

#include "audio/AudioBuffer.h"
#include "audio/AudioFormat.h"
#include "audio/AudioInputDevice.h"

#include <ostream>
#include <vector>

namespace sayloom {

inline void PrintTo(const AudioFormat& format, std::ostream* out)
{
    *out << format.description().toStdString();
}

inline void PrintTo(const AudioInputDevice& device, std::ostream* out)
{
    *out << device.id << ' ' << device.uid.toStdString() << " '" << Transport::text(device.transport).toStdString()
         << "' " << device.name.toStdString();
}

template <typename Sample>
AudioBufferPtr makeBuffer(const AudioFormat& format, std::vector<Sample> samples)
{
    return std::make_shared<const AudioBuffer>(format, std::move(samples));
}

} // namespace sayloom
