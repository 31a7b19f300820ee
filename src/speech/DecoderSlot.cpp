#include "speech/DecoderSlot.h"

namespace sayloom {

bool DecoderSlot::isLoaded() const
{
    const std::lock_guard lock(m_mutex);
    return m_decoder != nullptr;
}

void DecoderSlot::install(std::unique_ptr<SphinxDecoder> decoder)
{
    {
        const std::lock_guard lock(m_mutex);
        if (m_decoder) {
            // A second load raced the first; the one in use stays.
            return;
        }
        m_decoder = std::move(decoder);
    }
    m_changed.notify_all();
}

SphinxDecoder* DecoderSlot::acquire(std::stop_token stop)
{
    std::unique_lock lock(m_mutex);
    if (!m_changed.wait(lock, stop, [&] { return !m_busy; }) || !m_decoder) {
        return nullptr;
    }
    m_busy = true;
    return m_decoder.get();
}

void DecoderSlot::release()
{
    {
        const std::lock_guard lock(m_mutex);
        m_busy = false;
    }
    m_changed.notify_all();
}

void DecoderSlot::threadStarted()
{
    const std::lock_guard lock(m_mutex);
    ++m_threads;
}

void DecoderSlot::threadFinished()
{
    {
        const std::lock_guard lock(m_mutex);
        --m_threads;
    }
    m_changed.notify_all();
}

bool DecoderSlot::waitForThreads(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_threads == 0; });
}

} // namespace sayloom
