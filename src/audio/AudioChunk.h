#pragma once

#include "audio/AudioBuffer.h"

namespace sayloom {

// One piece of a take's audio, in the format its producer delivered; safe to send between threads. Copies share
// the buffer.
struct AudioChunk {
    AudioBufferPtr buffer;
};

} // namespace sayloom
