#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <optional>
#include <vector>

namespace sayloom {

// The OpenAI-compatible transcription protocol as the speech server speaks it (whisper.cpp's whisper-server,
// speaches, LocalAI, vLLM): where to send, how the take and the words to expect are written, and how an answer
// reads.
class SpeechServerProtocol {
public:
    SpeechServerProtocol() = delete;

    // These servers keep only the end of a long prompt; past this the glossary drops its least important words.
    static constexpr qsizetype promptLimit = 600;

    // Where a take goes: an address that already names an endpoint (whisper.cpp's /inference or
    // /audio/transcriptions) as it is, otherwise /audio/transcriptions under it.
    static QUrl transcriptionURL(const QUrl& address);
    // `path` (such as /models) under the address, with a named endpoint taken off first.
    static QUrl serviceURL(const QUrl& address, const QString& path);

    // "Glossary: Supabase, Claude Code." from the words most important first; the most important end up last,
    // where a server that cuts the prompt keeps them. Nothing when there are no words.
    static std::optional<QString> glossaryPrompt(const QStringList& vocabulary);

    // A 16-bit PCM WAV file of mono samples.
    static QByteArray wav(const std::vector<std::int16_t>& samples, std::uint32_t sampleRate);

    // The transcript in an answer: the "text" of a JSON object, or a plain-text body; nothing when the body claims
    // to be JSON and is not, or has no text. Cleaned as below.
    static std::optional<QString> transcript(const QByteArray& body, const QByteArray& contentType);
    // Trimmed, on one line, without whole bracketed markers such as [BLANK_AUDIO] that servers put in for
    // silence or music.
    static QString cleanTranscript(const QString& text);
};

} // namespace sayloom
