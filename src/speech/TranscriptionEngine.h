#pragma once

#include "audio/AudioFormat.h"
#include "audio/AudioStream.h"

#include <QByteArray>
#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>
#include <stop_token>

namespace sayloom {

// Why a speech engine could not prepare or finish a take, with the text the user sees.
class TranscriptionError final : public std::exception {
public:
    explicit TranscriptionError(QString description)
        : m_description(std::move(description))
        , m_utf8(m_description.toUtf8())
    {
    }

    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

// A speech engine as the session and the developer commands use it. One engine serves the whole run; each
// take is one `transcribe` call. Failures are thrown as TranscriptionError.
class TranscriptionEngine {
public:
    // Called with the whole transcript so far after every recognition result, from any thread.
    using PartialHandler = std::function<void(const QString&)>;

    virtual ~TranscriptionEngine() = default;

    // The display name used in the engine status line.
    virtual QString name() const = 0;

    // Gets the recogniser's assets ready; once it succeeds a take can start at once. Called once before the
    // first take; calling it again is harmless.
    virtual QCoro::Task<void> prepare() = 0;

    // Consumes `audio` until it finishes (the recorder's stop) and returns the trimmed transcript, within a
    // bounded time after the stream ends. `format` is the format the producer announced; a chunk may carry
    // another. `vocabulary` biases recognition towards the user's words for this take only. A stop request
    // abandons the take: the call returns soon after, with whatever was recognised so far.
    virtual QCoro::Task<QString> transcribe(AudioStream audio, AudioFormat format, QStringList vocabulary,
                                            PartialHandler onPartial, std::stop_token stop = {}) = 0;
};

} // namespace sayloom
