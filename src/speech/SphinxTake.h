#pragma once

#include "audio/AudioConverter.h"
#include "audio/AudioStream.h"
#include "speech/DecoderSlot.h"
#include "speech/TranscriptState.h"
#include "speech/TranscriptionEngine.h"

#include <QFuture>
#include <QHash>
#include <QPromise>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace sayloom {

// One take on its own worker thread: reads the audio stream (which blocks), converts every chunk to the decoder's
// format, and decodes while audio comes in. The decoder's voice-activity detection splits the take into utterances;
// one that ends in silence gives a final result, the running hypothesis of the current one a volatile result.
// The engine's coroutine waits on the two futures and reads the transcript, which the worker builds up under its
// lock.
class SphinxTake final : public std::enable_shared_from_this<SphinxTake> {
public:
    // What the worker saw when the audio stream ended, or why it gave up before that.
    struct InputEnd {
        std::int64_t chunkCount = 0;
        // A conversion or decoder failure, as the user reads it.
        std::optional<QString> failure;
        // The take was asked to stop before the stream ended.
        bool stopped = false;
    };

    // Samples decoded at a time: 100 ms. The running hypothesis is read every other block.
    static constexpr std::size_t blockSamples = 1600;
    static constexpr std::size_t hypothesisEverySamples = 3200;

    SphinxTake(std::shared_ptr<DecoderSlot> slot, AudioStream audio, QStringList vocabulary,
               TranscriptionEngine::PartialHandler onPartial);
    SphinxTake(const SphinxTake&) = delete;
    SphinxTake& operator=(const SphinxTake&) = delete;
    ~SphinxTake();

    // Starts the worker thread. A stop request on either token stops the take like `cancel`.
    void start(std::stop_token callerStop, std::stop_token shutdown);
    // Asks the worker to stop as soon as it can; it lets go of the decoder and the stream soon after.
    void cancel();

    // Resolved once the worker has read the end of the stream, has stopped, or has failed.
    QFuture<InputEnd> inputEnded() const { return m_inputFuture; }
    // Resolved once the last utterance is finished (or the worker stopped); carries a decoder failure.
    QFuture<std::optional<QString>> finished() const { return m_finishedFuture; }

    // Everything recognised so far: final results and the current volatile one.
    QString text() const { return m_state.text(); }

private:
    struct StopRequest {
        std::stop_source source;
        void operator()() const { source.request_stop(); }
    };

    void run();
    void decode(SphinxDecoder& decoder);
    void addVocabulary(SphinxDecoder& decoder);
    // Converts one chunk into m_pending; false (and the input resolved with the failure) when it can't.
    bool accept(const AudioChunk& chunk);
    void publish(const QString& text, bool isFinal);
    QString restoreCase(const QString& text) const;
    void resolveInput(InputEnd end);
    void resolveFinished(std::optional<QString> failure);

    std::shared_ptr<DecoderSlot> m_slot;
    AudioStream m_audio;
    QStringList m_vocabulary;
    TranscriptionEngine::PartialHandler m_onPartial;
    TranscriptState m_state;

    std::stop_source m_stop;
    std::optional<std::stop_callback<StopRequest>> m_callerStop;
    std::optional<std::stop_callback<StopRequest>> m_shutdownStop;

    QPromise<InputEnd> m_inputPromise;
    QFuture<InputEnd> m_inputFuture;
    bool m_inputResolved = false;
    QPromise<std::optional<QString>> m_finishedPromise;
    QFuture<std::optional<QString>> m_finishedFuture;
    bool m_finishedResolved = false;

    // Worker thread only.
    std::optional<AudioConverter> m_converter;
    std::vector<std::int16_t> m_pending;
    std::size_t m_pendingOffset = 0;
    std::int64_t m_chunkCount = 0;
    QString m_volatile;
    // Vocabulary words the dictionary lacked, lower case → as the user spells them.
    QHash<QString, QString> m_spelling;
};

} // namespace sayloom
