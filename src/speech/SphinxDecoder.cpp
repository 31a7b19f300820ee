#include "speech/SphinxDecoder.h"

#include "speech/SpeechLog.h"
#include "speech/TranscriptionEngine.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <pocketsphinx.h>
#include <sphinxbase/cmn.h>
#include <sphinxbase/err.h>
#include <sphinxbase/feat.h>
#include <sphinxbase/ngram_model.h>
#include <vector>

namespace sayloom {

using namespace Qt::StringLiterals;

namespace {

void logFromDecoder(void*, err_lvl_t level, const char* format, ...)
{
    if (level < ERR_WARN) {
        return;
    }
    char message[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    const QString text = QString::fromUtf8(message).trimmed();
    // Its errors are mostly routine ("Couldn't find <s> in first frame" for a take of silence).
    if (level == ERR_FATAL) {
        qCWarning(lcSpeech) << "pocketsphinx:" << text;
    } else {
        qCDebug(lcSpeech) << "pocketsphinx:" << text;
    }
}

// pocketsphinx logs every setting and every utterance to stderr; only its warnings and errors go to our category
// instead. The handler is process-wide, so it is installed once.
void routeLogging()
{
    static std::once_flag once;
    std::call_once(once, [] { err_set_callback(logFromDecoder, nullptr); });
}

// Settings beyond pocketsphinx's defaults, as name-value pairs. The flat second pass stays on: without it our word
// error rate on the synthesised corpus was 23% against the batch decoder's 22% (wider first-pass beams got back
// only half a point at a real-time factor near 0.3). But it re-decodes the whole utterance when the utterance
// ends, 100 to 400 ms for a sentence, and if that happens only once the user lets go of the key the text is late.
// So an utterance ends after a quarter of a second of silence instead of half a second: the second pass then
// usually runs while the user is still holding the key after the last word (a median finalisation of about 35 ms
// instead of 160 ms), and a pause of that length inside a sentence splitting it cost no accuracy on the corpus.
// Words must end in at least six frames of the first pass to be searched again: that makes the second pass about
// a quarter cheaper, for when it does run after the key is let go, at a cost of 0.2 points of word error rate.
const char* const decoderSettings[] = {"-vad_postspeech", "25", "-fwdflatefwid", "6", nullptr};

// The share of the vocabulary model in the interpolated language model. pocketsphinx mixes the models' scores after
// scaling them by the language weight (6.5), so the share counts only as its 6.5th root: at 1e-3 a vocabulary word
// scores about like "the". Anything from 1e-6 to 0.5 recognised the same on the corpus; a share small enough for
// the chance of an uncommon word lost the names altogether.
constexpr float vocabularyWeight = 1e-3f;

QString fromDecoder(const char* text)
{
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

std::unique_ptr<SphinxDecoder> SphinxDecoder::load(const QString& modelDirectory)
{
    routeLogging();
    const QDir directory(modelDirectory);
    const QString acousticModel = directory.filePath(u"en-us"_s);
    const QString languageModel = directory.filePath(u"en-us.lm.bin"_s);
    const QString dictionary = directory.filePath(u"cmudict-en-us.dict"_s);
    for (const QString& path : {acousticModel, languageModel, dictionary}) {
        if (!QFileInfo::exists(path)) {
            throw TranscriptionError(u"The speech model is missing "_s + path);
        }
    }
    QList<QByteArray> arguments = {
            "-hmm",  QFile::encodeName(acousticModel), "-lm",    QFile::encodeName(languageModel),
            "-dict", QFile::encodeName(dictionary),    "-logfn", "/dev/null"};
    for (const char* const* setting = decoderSettings; *setting; ++setting) {
        arguments.append(*setting);
    }
    std::vector<char*> argv;
    for (QByteArray& argument : arguments) {
        argv.push_back(argument.data());
    }
    cmd_ln_t* config = cmd_ln_parse_r(nullptr, ps_args(), int32(argv.size()), argv.data(), TRUE);
    if (!config) {
        throw TranscriptionError(u"Can't load the speech model from "_s + modelDirectory);
    }
    ps_decoder_t* decoder = ps_init(config);
    if (!decoder) {
        cmd_ln_free_r(config);
        throw TranscriptionError(u"Can't load the speech model from "_s + modelDirectory);
    }
    // The model's initial cepstral mean counts for nothing until the first utterance ends, so a first utterance of
    // a few frames (a take abandoned as the speech began, a tap of the key) would replace it with the mean of those
    // frames and garble the next take. Given the weight of a normal window, it adapts to the voice as usual but is
    // not thrown away by a scrap of audio.
    cmn_t* cmn = ps_get_feat(decoder)->cmn_struct;
    const std::vector<mfcc_t> initialMean(cmn->cmn_mean, cmn->cmn_mean + cmn->veclen);
    cmn_live_set(cmn, initialMean.data());
    return std::unique_ptr<SphinxDecoder>(new SphinxDecoder(config, decoder));
}

SphinxDecoder::SphinxDecoder(cmd_ln_s* config, ps_decoder_s* decoder)
    : m_config(config)
    , m_decoder(decoder)
{
    // The trigram model as loaded, kept for building the interpolated model when vocabulary arrives.
    ngram_model_t* set = ps_get_lm(m_decoder, ps_get_search(m_decoder));
    ngram_model_set_iter_t* first = set ? ngram_model_set_iter(set) : nullptr;
    if (first) {
        m_baseModel = ngram_model_retain(ngram_model_set_iter_model(first, nullptr));
        ngram_model_set_iter_free(first);
    }
}

SphinxDecoder::~SphinxDecoder()
{
    ps_free(m_decoder);
    if (m_baseModel) {
        ngram_model_free(m_baseModel);
    }
    cmd_ln_free_r(m_config);
}

void SphinxDecoder::startStream()
{
    ps_start_stream(m_decoder);
}

void SphinxDecoder::startUtterance()
{
    if (ps_start_utt(m_decoder) < 0) {
        throw TranscriptionError(u"The speech recognizer could not start"_s);
    }
    m_inUtterance = true;
}

bool SphinxDecoder::process(std::span<const std::int16_t> samples)
{
    if (ps_process_raw(m_decoder, samples.data(), samples.size(), FALSE, FALSE) < 0) {
        throw TranscriptionError(u"The speech recognizer failed on the audio"_s);
    }
    return ps_get_in_speech(m_decoder) != 0;
}

QString SphinxDecoder::hypothesis()
{
    return fromDecoder(ps_get_hyp(m_decoder, nullptr));
}

QString SphinxDecoder::endUtterance()
{
    if (!m_inUtterance) {
        return {};
    }
    m_inUtterance = false;
    if (ps_end_utt(m_decoder) < 0) {
        throw TranscriptionError(u"The speech recognizer could not finish"_s);
    }
    return fromDecoder(ps_get_hyp(m_decoder, nullptr));
}

bool SphinxDecoder::hasWord(const QString& word)
{
    char* phones = ps_lookup_word(m_decoder, word.toUtf8().constData());
    const bool found = phones != nullptr;
    ckd_free(phones);
    return found;
}

int SphinxDecoder::addWords(const QList<std::pair<QString, QString>>& words)
{
    // Why not simply ps_add_word: it also adds the word to the trigram model, whose lookups assume every word ID
    // is one the model was built with. A newly added word in the history of a later word sends the lookup past the
    // end of its tables, and sooner or later the process crashes. So the new words live in a small unigram model of
    // their own, interpolated with the big one, and the big one never learns them.
    QStringList fresh;
    for (const auto& [word, phones] : words) {
        if (!m_added.contains(word) && !fresh.contains(word)) {
            fresh.append(word);
        }
    }
    if (fresh.isEmpty()) {
        return 0;
    }
    const QStringList vocabulary = QStringList(m_added.cbegin(), m_added.cend()) + fresh;
    ngram_model_t* model = vocabularyModel(vocabulary);
    if (!model) {
        qCWarning(lcSpeech) << "The vocabulary could not be given to the recognizer";
        return 0;
    }
    const std::string search = ps_get_search(m_decoder);
    ngram_model_t* base = m_baseModel;
    ngram_model_t* models[] = {base, model};
    const char* names[] = {"base", "vocabulary"};
    const float32 weights[] = {1.0f - vocabularyWeight, vocabularyWeight};
    ngram_model_t* set = ngram_model_set_init(m_config, models, const_cast<char**>(names), weights, 2);
    ngram_model_free(model);
    if (!set) {
        qCWarning(lcSpeech) << "The vocabulary could not be given to the recognizer";
        return 0;
    }
    // The search over the new model goes in first: ps_add_word offers each word to the current search's model,
    // which knows it already (from the vocabulary model) and so passes it on to no other.
    ps_set_lm(m_decoder, search.c_str(), set);
    ps_set_search(m_decoder, search.c_str());
    int added = 0;
    for (const auto& [word, phones] : words) {
        if (!fresh.contains(word) || m_added.contains(word)) {
            continue;
        }
        if (ps_add_word(m_decoder, word.toUtf8().constData(), phones.toUtf8().constData(), FALSE) < 0) {
            qCDebug(lcSpeech) << "The recognizer refused" << word << phones;
            continue;
        }
        m_added.insert(word);
        ++added;
    }
    // Then the search is built again, over the dictionary with the new words.
    ps_set_lm(m_decoder, search.c_str(), set);
    ps_set_search(m_decoder, search.c_str());
    ngram_model_free(set);
    return added;
}

ngram_model_t* SphinxDecoder::vocabularyModel(const QStringList& vocabulary)
{
    QTemporaryFile file(QDir::tempPath() + u"/sayloom-vocabulary-XXXXXX.arpa"_s);
    if (!file.open()) {
        return nullptr;
    }
    QByteArray arpa = "\\data\\\nngram 1=" + QByteArray::number(vocabulary.size() + 2) + "\n\n\\1-grams:\n";
    arpa += "-99 <s>\n-99 </s>\n";
    for (const QString& word : vocabulary) {
        arpa += "-1 " + word.toUtf8() + '\n';
    }
    arpa += "\n\\end\\\n";
    if (file.write(arpa) != arpa.size() || !file.flush()) {
        return nullptr;
    }
    return ngram_model_read(m_config, QFile::encodeName(file.fileName()).constData(), NGRAM_ARPA,
                            ps_get_logmath(m_decoder));
}

} // namespace sayloom
