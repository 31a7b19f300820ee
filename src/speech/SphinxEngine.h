#pragma once

#include "audio/AudioFormat.h"
#include "speech/TranscriptionEngine.h"

#include <QString>

#include <chrono>
#include <memory>

namespace sayloom {

// The on-device recogniser: pocketsphinx with the distribution's US English model. The model is loaded once, by
// `prepare()` (or the first take), on a thread of its own, and one decoder serves every take. Each take decodes on
// its own worker thread, which reads the audio stream, converts it to 16 kHz mono int16 and lets the decoder's
// voice-activity detection split it into utterances: an utterance that ends in silence is final, the running
// hypothesis of the current one is volatile. Partials come from the worker thread.
//
// Takes do not overlap in practice; if a second take starts while one is still decoding, its worker waits for the
// decoder (its audio meanwhile stays buffered in its stream) and starts when the first take lets go of it.
//
// Vocabulary words the dictionary lacks get espeak-ng pronunciations and, through a small unigram model of their
// own interpolated with the trigram model, which makes them about as likely as a common word. They stay
// in the decoder after the take: pocketsphinx can't remove a word, and adding words rebuilds the search (about
// 0.3 s, once), so a take that names the same words again pays nothing. A stale word is no more likely than it was
// while wanted; only the current take's vocabulary is spelled the user's way ("Supabase"), others come out in lower
// case like the rest of the text.
class SphinxEngine final : public TranscriptionEngine {
public:
    struct Options {
        // Empty: the user's current locale (QLocale::system().name(); "C" for the C/POSIX locale).
        QString localeName;
        // Empty: the distribution's en-us model directory.
        QString modelDirectory;
        // How long the take may take to finish once the audio stream has ended: decoding what is still buffered
        // and ending the last utterance. When it passes, the take returns what was recognised so far. A live
        // microphone leaves little buffered; a caller that queues a whole file at once should allow for decoding
        // it (about a fifth of its duration).
        std::chrono::milliseconds finalizeTimeout{5000};
    };

    SphinxEngine();
    explicit SphinxEngine(Options options);
    // Asks running takes to stop and waits for their workers to let go of the decoder.
    ~SphinxEngine() override;
    SphinxEngine(const SphinxEngine&) = delete;
    SphinxEngine& operator=(const SphinxEngine&) = delete;

    // "PocketSphinx".
    QString name() const override;
    QCoro::Task<void> prepare() override;
    QCoro::Task<QString> transcribe(AudioStream audio, AudioFormat format, QStringList vocabulary,
                                    PartialHandler onPartial, std::stop_token stop = {}) override;

    // The locale identifier the engine works for, after the empty default is resolved.
    QString localeName() const;

    // The format the decoder reads: 16 kHz, one channel, int16.
    static AudioFormat recognizerFormat();
    // English locales ("en", "en_US", "en-GB", …) and the C/POSIX locale.
    static bool supportsLocale(const QString& localeName);
    // Where Debian's pocketsphinx-en-us puts its model.
    static QString defaultModelDirectory();

private:
    struct Shared;

    Options m_options;
    std::shared_ptr<Shared> m_shared;
};

} // namespace sayloom
