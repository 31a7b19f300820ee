#pragma once

#include "speech/SphinxDecoder.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>

namespace sayloom {

// The engine's one decoder, lent to one take at a time, and a count of the threads that work with it, so the engine
// can wait for them before it goes away. Shared by the engine and its worker threads.
class DecoderSlot final {
public:
    DecoderSlot() = default;
    DecoderSlot(const DecoderSlot&) = delete;
    DecoderSlot& operator=(const DecoderSlot&) = delete;

    bool isLoaded() const;
    void install(std::unique_ptr<SphinxDecoder> decoder);

    // Waits until no other take holds the decoder and takes it. Null when `stop` is requested first or nothing is
    // loaded.
    SphinxDecoder* acquire(std::stop_token stop);
    void release();

    // Worker threads sign in and out, so the engine can wait for them.
    void threadStarted();
    void threadFinished();
    // False when threads were still running after `timeout`.
    bool waitForThreads(std::chrono::milliseconds timeout);

private:
    mutable std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::unique_ptr<SphinxDecoder> m_decoder;
    bool m_busy = false;
    int m_threads = 0;
};

} // namespace sayloom
