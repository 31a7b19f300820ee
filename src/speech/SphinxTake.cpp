#include "speech/SphinxTake.h"

#include "speech/Pronouncer.h"
#include "speech/SpeechLog.h"
#include "speech/SphinxEngine.h"

#include <QScopeGuard>

#include <chrono>
#include <span>
#include <thread>
#include <variant>

namespace sayloom {

using namespace Qt::StringLiterals;

SphinxTake::SphinxTake(std::shared_ptr<DecoderSlot> slot, AudioStream audio, QStringList vocabulary,
                       TranscriptionEngine::PartialHandler onPartial)
    : m_slot(std::move(slot))
    , m_audio(std::move(audio))
    , m_vocabulary(std::move(vocabulary))
    , m_onPartial(std::move(onPartial))
    , m_inputFuture(m_inputPromise.future())
    , m_finishedFuture(m_finishedPromise.future())
{
    m_inputPromise.start();
    m_finishedPromise.start();
}

SphinxTake::~SphinxTake()
{
    // Every path resolves both; this only guards against a worker that never started.
    resolveInput(InputEnd{m_chunkCount, std::nullopt, true});
    resolveFinished(std::nullopt);
}

void SphinxTake::start(std::stop_token callerStop, std::stop_token shutdown)
{
    m_callerStop.emplace(std::move(callerStop), StopRequest{m_stop});
    m_shutdownStop.emplace(std::move(shutdown), StopRequest{m_stop});
    m_slot->threadStarted();
    std::thread([take = shared_from_this()] {
        const std::shared_ptr<DecoderSlot> slot = take->m_slot;
        take->run();
        // The take may outlive this thread (the engine's coroutine holds it too); the slot's count only says that
        // nothing here touches the decoder any more.
        slot->threadFinished();
    }).detach();
}

void SphinxTake::cancel()
{
    m_stop.request_stop();
}

void SphinxTake::run()
{
    const std::stop_token stop = m_stop.get_token();
    SphinxDecoder* decoder = m_slot->acquire(stop);
    if (!decoder) {
        const bool stopped = stop.stop_requested();
        resolveInput(InputEnd{0, stopped ? std::nullopt : std::optional(u"The speech model is not loaded"_s), stopped});
        resolveFinished(std::nullopt);
        return;
    }
    const auto release = qScopeGuard([this] { m_slot->release(); });
    try {
        addVocabulary(*decoder);
        decoder->startStream();
        decoder->startUtterance();
        decode(*decoder);
    } catch (const TranscriptionError& error) {
        // Whatever was in flight is dropped; the next take starts a fresh utterance.
        try {
            decoder->endUtterance();
        } catch (const TranscriptionError&) {
        }
        resolveInput(InputEnd{m_chunkCount, error.description(), false});
        resolveFinished(error.description());
    }
}

void SphinxTake::addVocabulary(SphinxDecoder& decoder)
{
    QList<std::pair<QString, QString>> missing;
    for (const QString& term : std::as_const(m_vocabulary)) {
        // Terms of several words go in word by word; the dictionary's words are lower case.
        for (const QString& word : term.simplified().split(u' ', Qt::SkipEmptyParts)) {
            const QString lower = word.toLower();
            if (decoder.wasAdded(lower)) {
                // Added by an earlier take: recognised already, spelled as this take's vocabulary spells it.
                m_spelling.insert(lower, word);
                continue;
            }
            if (m_spelling.contains(lower) || decoder.hasWord(lower)) {
                continue;
            }
            const QString phones = Pronouncer::pronounce(lower);
            if (phones.isEmpty()) {
                continue;
            }
            m_spelling.insert(lower, word);
            missing.append({lower, phones});
        }
    }
    if (!missing.isEmpty()) {
        const int added = decoder.addWords(missing);
        qCDebug(lcSpeech) << "Added" << added << "vocabulary words to the recognizer";
    }
}

bool SphinxTake::accept(const AudioChunk& chunk)
{
    if (!chunk.buffer) {
        return true;
    }
    ++m_chunkCount;
    const AudioFormat& format = chunk.buffer->format();
    if (!m_converter || m_converter->inputFormat() != format) {
        // The microphone may change format mid-take; a fresh converter picks up from here.
        auto made = AudioConverter::make(format, SphinxEngine::recognizerFormat());
        if (auto* error = std::get_if<AudioConversionError>(&made)) {
            resolveInput(InputEnd{m_chunkCount, error->description(), false});
            return false;
        }
        m_converter.emplace(std::move(std::get<AudioConverter>(made)));
    }
    auto converted = m_converter->convert(chunk.buffer);
    if (auto* error = std::get_if<AudioConversionError>(&converted)) {
        resolveInput(InputEnd{m_chunkCount, error->description(), false});
        return false;
    }
    const auto samples = std::get<AudioBufferPtr>(converted)->int16Samples();
    if (m_pendingOffset > 0 && m_pendingOffset == m_pending.size()) {
        m_pending.clear();
        m_pendingOffset = 0;
    }
    m_pending.insert(m_pending.end(), samples.begin(), samples.end());
    return true;
}

void SphinxTake::decode(SphinxDecoder& decoder)
{
    const std::stop_token stop = m_stop.get_token();
    bool inputEnded = false;
    bool utteranceHasSpeech = false;
    std::size_t sinceHypothesis = 0;
    while (!stop.stop_requested()) {
        // Take in everything already buffered without waiting, so the end of the stream is seen as soon as the
        // producer finishes it, even while decoding lags behind.
        while (!inputEnded) {
            auto chunk = m_audio.next(stop, std::chrono::steady_clock::time_point::min());
            if (!chunk) {
                if (m_audio.atEnd()) {
                    inputEnded = true;
                    resolveInput(InputEnd{m_chunkCount, std::nullopt, false});
                }
                break;
            }
            if (!accept(*chunk)) {
                decoder.endUtterance();
                resolveFinished(std::nullopt);
                return;
            }
        }
        if (inputEnded && m_chunkCount == 0) {
            break;
        }
        const std::size_t available = m_pending.size() - m_pendingOffset;
        if (available >= blockSamples || (inputEnded && available > 0)) {
            const std::size_t count = std::min(available, blockSamples);
            const bool inSpeech = decoder.process(std::span(m_pending).subspan(m_pendingOffset, count));
            m_pendingOffset += count;
            if (inSpeech) {
                utteranceHasSpeech = true;
                sinceHypothesis += count;
                if (sinceHypothesis >= hypothesisEverySamples) {
                    sinceHypothesis = 0;
                    publish(decoder.hypothesis(), false);
                }
            } else if (utteranceHasSpeech) {
                // The detector heard the speech end: this utterance is final.
                utteranceHasSpeech = false;
                sinceHypothesis = 0;
                publish(decoder.endUtterance(), true);
                decoder.startUtterance();
            }
            continue;
        }
        if (inputEnded) {
            break;
        }
        auto chunk = m_audio.next(stop);
        if (chunk && !accept(*chunk)) {
            decoder.endUtterance();
            resolveFinished(std::nullopt);
            return;
        }
    }
    if (stop.stop_requested()) {
        // Abandoned: the decoder is reset for the next take, and nothing more is reported.
        decoder.endUtterance();
        resolveInput(InputEnd{m_chunkCount, std::nullopt, true});
        resolveFinished(std::nullopt);
        return;
    }
    const QString last = decoder.endUtterance();
    if (utteranceHasSpeech || !last.isEmpty()) {
        publish(last, true);
    }
    resolveFinished(std::nullopt);
}

QString SphinxTake::restoreCase(const QString& text) const
{
    if (m_spelling.isEmpty()) {
        return text;
    }
    QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    for (QString& word : words) {
        const auto spelled = m_spelling.constFind(word);
        if (spelled != m_spelling.cend()) {
            word = *spelled;
        }
    }
    return words.join(u' ');
}

void SphinxTake::publish(const QString& text, bool isFinal)
{
    const QString spelled = restoreCase(text);
    if (!isFinal) {
        // The hypothesis is read on a clock, not when it changes; the same text again is no new result.
        if (spelled == m_volatile) {
            return;
        }
        m_volatile = spelled;
    } else {
        m_volatile.clear();
    }
    const QString transcript = m_state.add(spelled, isFinal);
    if (m_onPartial && !m_stop.stop_requested()) {
        m_onPartial(transcript);
    }
}

void SphinxTake::resolveInput(InputEnd end)
{
    // The worker and the destructor are the only callers, never at the same time.
    if (m_inputResolved) {
        return;
    }
    m_inputResolved = true;
    m_inputPromise.addResult(std::move(end));
    m_inputPromise.finish();
}

void SphinxTake::resolveFinished(std::optional<QString> failure)
{
    if (m_finishedResolved) {
        return;
    }
    m_finishedResolved = true;
    m_finishedPromise.addResult(std::move(failure));
    m_finishedPromise.finish();
}

} // namespace sayloom
