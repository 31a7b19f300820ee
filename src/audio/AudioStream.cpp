#include "audio/AudioStream.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace sayloom {

struct AudioStream::State {
    mutable std::mutex mutex;
    std::condition_variable_any changed;
    std::deque<AudioChunk> chunks;
    bool finished = false;
    bool consumerGone = false;

    void finish()
    {
        {
            const std::lock_guard lock(mutex);
            finished = true;
        }
        changed.notify_all();
    }
};

struct AudioStream::Producer {
    std::shared_ptr<State> state;

    explicit Producer(std::shared_ptr<State> shared)
        : state(std::move(shared))
    {
    }
    Producer(const Producer&) = delete;
    Producer& operator=(const Producer&) = delete;
    ~Producer() { state->finish(); }
};

std::pair<AudioStream, AudioStream::Continuation> AudioStream::make()
{
    auto state = std::make_shared<State>();
    return {AudioStream(state), Continuation(std::make_shared<Producer>(state))};
}

bool AudioStream::Continuation::yield(AudioChunk chunk) const
{
    State& state = *m_producer->state;
    {
        const std::lock_guard lock(state.mutex);
        if (state.finished || state.consumerGone) {
            return false;
        }
        state.chunks.push_back(std::move(chunk));
    }
    state.changed.notify_one();
    return true;
}

void AudioStream::Continuation::finish() const
{
    m_producer->state->finish();
}

AudioStream& AudioStream::operator=(AudioStream&& other) noexcept
{
    if (this != &other) {
        release();
        m_state = std::move(other.m_state);
    }
    return *this;
}

AudioStream::~AudioStream()
{
    release();
}

void AudioStream::release()
{
    if (!m_state) {
        return;
    }
    const std::lock_guard lock(m_state->mutex);
    m_state->consumerGone = true;
    m_state->chunks.clear();
}

namespace {

template <typename Chunks>
std::optional<AudioChunk> popFront(Chunks& chunks)
{
    if (chunks.empty()) {
        return std::nullopt;
    }
    AudioChunk chunk = std::move(chunks.front());
    chunks.pop_front();
    return chunk;
}

} // namespace

std::optional<AudioChunk> AudioStream::next(std::stop_token stop)
{
    if (!m_state) {
        return std::nullopt;
    }
    State& state = *m_state;
    std::unique_lock lock(state.mutex);
    state.changed.wait(lock, stop, [&] { return !state.chunks.empty() || state.finished; });
    return popFront(state.chunks);
}

std::optional<AudioChunk> AudioStream::next(std::stop_token stop, std::chrono::steady_clock::time_point deadline)
{
    if (!m_state) {
        return std::nullopt;
    }
    State& state = *m_state;
    std::unique_lock lock(state.mutex);
    state.changed.wait_until(lock, stop, deadline, [&] { return !state.chunks.empty() || state.finished; });
    return popFront(state.chunks);
}

bool AudioStream::atEnd() const
{
    if (!m_state) {
        return true;
    }
    const std::lock_guard lock(m_state->mutex);
    return m_state->finished && m_state->chunks.empty();
}

std::size_t AudioStream::bufferedCount() const
{
    if (!m_state) {
        return 0;
    }
    const std::lock_guard lock(m_state->mutex);
    return m_state->chunks.size();
}

} // namespace sayloom
