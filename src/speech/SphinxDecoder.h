#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <span>
#include <utility>

struct ps_decoder_s;
struct cmd_ln_s;
struct ngram_model_s;

namespace sayloom {

// One pocketsphinx decoder with its model loaded: acoustic model, pronunciation dictionary and trigram language
// model. The settings are pocketsphinx's defaults (those of the batch decoder, pocketsphinx_continuous) except that
// an utterance ends after a quarter of a second of silence, so the flat second pass mostly runs before the take
// ends, and that pass searches fewer words. Not thread-safe: one take uses it at a time.
class SphinxDecoder final {
public:
    // The model directory holds the acoustic model folder "en-us", the language model "en-us.lm.bin" and the
    // dictionary "cmudict-en-us.dict". Throws TranscriptionError naming the first file that is missing, or saying
    // that the model could not be loaded.
    static std::unique_ptr<SphinxDecoder> load(const QString& modelDirectory);

    SphinxDecoder(const SphinxDecoder&) = delete;
    SphinxDecoder& operator=(const SphinxDecoder&) = delete;
    ~SphinxDecoder();

    // A new take: the voice-activity detector forgets the noise level of the last one.
    void startStream();
    void startUtterance();
    // Feeds 16 kHz mono samples; true while the voice-activity detector hears speech.
    bool process(std::span<const std::int16_t> samples);
    // The running hypothesis of the current utterance (not final).
    QString hypothesis();
    // Ends the utterance and returns its final text.
    QString endUtterance();

    // Whether the dictionary has the word; its words are lower case.
    bool hasWord(const QString& word);
    // Whether `addWords` put the word there (the model's own dictionary lacks it).
    bool wasAdded(const QString& word) const { return m_added.contains(word); }
    // Adds words (lower case) with their CMU phones to the dictionary, and to a unigram model of the vocabulary
    // that is interpolated with the trigram model; the search is rebuilt once (about 0.25 s). Returns how many were
    // added. pocketsphinx can't take words out again, so they stay for the life of the decoder.
    int addWords(const QList<std::pair<QString, QString>>& words);

private:
    SphinxDecoder(cmd_ln_s* config, ps_decoder_s* decoder);
    ngram_model_s* vocabularyModel(const QStringList& vocabulary);

    cmd_ln_s* m_config;
    ps_decoder_s* m_decoder;
    ngram_model_s* m_baseModel = nullptr;
    bool m_inUtterance = false;
    QSet<QString> m_added;
};

} // namespace sayloom
