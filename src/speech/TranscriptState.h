#pragma once

#include <QString>

#include <mutex>

namespace sayloom {

// `a` and `b` run together: one space between them when both are non-empty and neither side already has whitespace
// at the seam; otherwise `a` + `b` unchanged.
QString joinTranscript(const QString& a, const QString& b);

// The transcript of one take as the recogniser's results build it up: the text of every final result, joined in
// arrival order, and the text of the latest volatile (not yet final) result. Safe to use from several threads; the
// lock is held only for the update and the join.
class TranscriptState final {
public:
    TranscriptState() = default;
    TranscriptState(const TranscriptState&) = delete;
    TranscriptState& operator=(const TranscriptState&) = delete;

    // Records one result and returns the whole transcript so far (what the partial handler is given). A final
    // result is appended to the final text and clears the volatile one; an empty final text appends nothing.
    QString add(const QString& text, bool isFinal);
    // Final and volatile text joined.
    QString text() const;

private:
    mutable std::mutex m_mutex;
    QString m_finalized;
    QString m_volatile;
};

} // namespace sayloom
