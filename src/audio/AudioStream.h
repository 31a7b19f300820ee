#pragma once

#include "audio/AudioChunk.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <stop_token>
#include <utility>

namespace sayloom {

// An unbounded, thread-safe queue of chunks with one producer end and one consumer end: the bridge between the
// capture thread and the thread that recognises the speech. The consumer reads the chunks in the order they were
// yielded and sees the end only after every chunk buffered before `finish`.
class AudioStream {
    struct State;
    struct Producer;

public:
    // The producer end. Copies share one producer; when the last copy goes away without `finish`, the stream
    // finishes anyway, so a consumer can never wait for a producer that no longer exists.
    class Continuation {
    public:
        // False when the chunk was dropped because the stream is finished or its consumer is gone.
        bool yield(AudioChunk chunk) const;
        // Later yields are dropped; the consumer still reads what is buffered. Harmless when repeated.
        void finish() const;

    private:
        friend class AudioStream;
        explicit Continuation(std::shared_ptr<Producer> producer)
            : m_producer(std::move(producer))
        {
        }
        std::shared_ptr<Producer> m_producer;
    };

    static std::pair<AudioStream, Continuation> make();

    AudioStream(AudioStream&&) noexcept = default;
    AudioStream& operator=(AudioStream&&) noexcept;
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;
    // Tells the producer nobody listens any more, so it stops buffering.
    ~AudioStream();

    // Blocks until a chunk is there and returns it. Nothing once the stream is finished and drained, or when
    // `stop` is requested (or the deadline passes) first; `atEnd()` tells the first case from the others.
    std::optional<AudioChunk> next(std::stop_token stop = {});
    std::optional<AudioChunk> next(std::stop_token stop, std::chrono::steady_clock::time_point deadline);

    // Finished, and every buffered chunk read.
    bool atEnd() const;
    std::size_t bufferedCount() const;

private:
    explicit AudioStream(std::shared_ptr<State> state)
        : m_state(std::move(state))
    {
    }
    void release();

    std::shared_ptr<State> m_state;
};

} // namespace sayloom
