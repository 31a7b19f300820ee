#include "speech/TranscriptState.h"

namespace sayloom {

QString joinTranscript(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty() || a.back().isSpace() || b.front().isSpace()) {
        return a + b;
    }
    return a + QLatin1Char(' ') + b;
}

QString TranscriptState::add(const QString& text, bool isFinal)
{
    const std::lock_guard lock(m_mutex);
    if (isFinal) {
        m_finalized = joinTranscript(m_finalized, text);
        m_volatile.clear();
    } else {
        m_volatile = text;
    }
    return joinTranscript(m_finalized, m_volatile);
}

QString TranscriptState::text() const
{
    const std::lock_guard lock(m_mutex);
    return joinTranscript(m_finalized, m_volatile);
}

} // namespace sayloom
