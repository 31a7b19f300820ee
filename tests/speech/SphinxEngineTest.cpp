#include "speech/SphinxEngine.h"

#include "audio/AudioBuffer.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <gtest/gtest.h>
#include <mutex>
#include <sndfile.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// One synthesised recording, as the corpus manifest describes it.
struct Recording {
    QString path;
    QString text;
    QStringList products;
};

// The first `limit` sentences of a set by file name, synthesised by scripts/make-speech-corpus into the build tree on
// first use; later runs find the files there.
QHash<QString, Recording> corpus(const QString& set, int limit)
{
    const QString directory = QStringLiteral(SAYLOOM_SPEECH_CORPUS_DIR) + u'/' + set;
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(QStringLiteral(SAYLOOM_SOURCE_DIR) + u"/scripts/make-speech-corpus"_s,
                 {u"--set"_s, set, u"--limit"_s, QString::number(limit), directory});
    QFile manifest(directory + u"/manifest.tsv"_s);
    QHash<QString, Recording> files;
    if (!script.waitForFinished(300000) || script.exitCode() != 0 || !manifest.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "make-speech-corpus failed";
        return files;
    }
    for (const QString& line : QString::fromUtf8(manifest.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u'\t');
        files.insert(fields[0],
                     {directory + u'/' + fields[0], fields.value(4), fields.value(5).split(u'|', Qt::SkipEmptyParts)});
    }
    return files;
}

const AudioFormat recorderFormat{16000, 1, SampleType::float32, false};

// The recording in 100 ms buffers: as stored (16-bit, the file's rate and channels), or as the recorder delivers it
// (32-bit float; 16 kHz mono files only).
std::vector<AudioBufferPtr> chunks(const Recording& recording, bool asRecorder)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(recording.path).constData(), SFM_READ, &info);
    if (!file) {
        ADD_FAILURE() << "can't read " << recording.path.toStdString();
        return {};
    }
    std::vector<std::int16_t> samples(std::size_t(info.frames * info.channels));
    sf_readf_short(file, samples.data(), info.frames);
    sf_close(file);
    const AudioFormat stored{std::uint32_t(info.samplerate), std::uint32_t(info.channels), SampleType::int16, true};
    const std::size_t step = std::size_t(info.samplerate / 10 * info.channels);
    std::vector<AudioBufferPtr> buffers;
    for (auto from = samples.begin(); from < samples.end(); from += std::ptrdiff_t(step)) {
        const std::vector<std::int16_t> part(from, from + std::min<std::ptrdiff_t>(step, samples.end() - from));
        if (!asRecorder) {
            buffers.push_back(std::make_shared<const AudioBuffer>(stored, part));
            continue;
        }
        std::vector<float> floats(part.size());
        std::transform(part.begin(), part.end(), floats.begin(), [](std::int16_t s) { return float(s) / 32768.0f; });
        buffers.push_back(std::make_shared<const AudioBuffer>(recorderFormat, std::move(floats)));
    }
    return buffers;
}

// The recording followed by a second of silence, long enough for the decoder to end the utterance.
std::vector<AudioBufferPtr> withPause(std::vector<AudioBufferPtr> buffers)
{
    buffers.push_back(std::make_shared<const AudioBuffer>(recorderFormat, std::vector<float>(16000, 0.0f)));
    return buffers;
}

QStringList words(const QString& text)
{
    static const QRegularExpression notWord(u"[^a-z0-9']+"_s);
    return text.toLower().split(notWord, Qt::SkipEmptyParts);
}

// Substitutions, deletions and insertions over the reference's word count.
double wordErrorRate(const QString& reference, const QString& hypothesis)
{
    const QStringList ref = words(reference);
    const QStringList hyp = words(hypothesis);
    std::vector<qsizetype> row(hyp.size() + 1);
    for (qsizetype j = 0; j <= hyp.size(); ++j) {
        row[j] = j;
    }
    for (qsizetype i = 1; i <= ref.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= hyp.size(); ++j) {
            const qsizetype above = row[j];
            row[j] = std::min({diagonal + (ref[i - 1] == hyp[j - 1] ? 0 : 1), above + 1, row[j - 1] + 1});
            diagonal = above;
        }
    }
    return double(row[hyp.size()]) / double(std::max<qsizetype>(ref.size(), 1));
}

// What a take (or a preparation) came to. The partials arrive on the engine's thread, the rest on this one.
struct Take {
    std::mutex mutex;
    QStringList partials;
    bool partialsOnMainThread = false;
    std::optional<QString> text;
    std::optional<QString> error;
    bool finished = false;

    QStringList partialsSoFar()
    {
        const std::lock_guard lock(mutex);
        return partials;
    }
};

struct TakeOptions {
    QStringList vocabulary;
    // Set: the stream stays open, as while the key is held, until a partial has this word.
    QString finishAt;
    // The stream stays open and the caller stops the take at its first words.
    bool stopAtFirstWords = false;
    // Arrives at the first partial, while the decoder is still behind, and ends the stream.
    std::vector<AudioBufferPtr> later;
};

template <typename T>
QCoro::Task<void> settle(QCoro::Task<T> running, std::shared_ptr<Take> take)
{
    try {
        if constexpr (std::is_void_v<T>) {
            co_await std::move(running);
        } else {
            take->text = co_await std::move(running);
        }
    } catch (const TranscriptionError& error) {
        take->error = error.description();
    }
    take->finished = true;
}

std::shared_ptr<Take> startTake(SphinxEngine& engine, const std::vector<AudioBufferPtr>& buffers,
                                TakeOptions options = {})
{
    auto take = std::make_shared<Take>();
    auto [stream, producer] = AudioStream::make();
    for (const AudioBufferPtr& buffer : buffers) {
        producer.yield(AudioChunk{buffer});
    }
    if (options.finishAt.isEmpty() && !options.stopAtFirstWords && options.later.empty()) {
        producer.finish();
    }
    auto stop = std::make_shared<std::stop_source>();
    auto onPartial = [take, stop, producer, options, mainThread = QThread::currentThread()](const QString& text) {
        const std::lock_guard lock(take->mutex);
        take->partials.append(text);
        take->partialsOnMainThread |= QThread::currentThread() == mainThread;
        if (!options.finishAt.isEmpty() && text.contains(options.finishAt)) {
            producer.finish();
        }
        if (options.stopAtFirstWords && !text.isEmpty()) {
            stop->request_stop();
        }
        if (!options.later.empty() && take->partials.size() == 1) {
            for (const AudioBufferPtr& buffer : options.later) {
                producer.yield(AudioChunk{buffer});
            }
            producer.finish();
        }
    };
    const AudioFormat announced = buffers.empty() ? recorderFormat : buffers.front()->format();
    settle(engine.transcribe(std::move(stream), announced, options.vocabulary, onPartial, stop->get_token()), take);
    return take;
}

// Runs the event loop until `done`, for at most 90 s.
void waitUntil(const std::function<bool()>& done)
{
    QTimer tick; // wakes the loop now and then, so `done` is looked at even when no event comes
    tick.start(5);
    const auto deadline = std::chrono::steady_clock::now() + 90s;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

std::shared_ptr<Take> runTake(SphinxEngine& engine, const std::vector<AudioBufferPtr>& buffers,
                              TakeOptions options = {})
{
    std::shared_ptr<Take> take = startTake(engine, buffers, std::move(options));
    waitUntil([&] { return take->finished; });
    EXPECT_TRUE(take->finished) << "the take did not end";
    return take;
}

std::optional<QString> prepareError(SphinxEngine& engine)
{
    auto take = std::make_shared<Take>();
    settle(engine.prepare(), take);
    waitUntil([&] { return take->finished; });
    EXPECT_TRUE(take->finished) << "prepare did not end";
    return take->error;
}

SphinxEngine::Options englishOptions()
{
    SphinxEngine::Options options;
    options.localeName = u"en_US"_s;
    // The tests queue whole recordings at once, which take seconds to decode on a busy machine.
    options.finalizeTimeout = 60s;
    return options;
}

TEST(SphinxEngine, TranscribesSpeechWhateverFormatTheMicrophoneSwitchesTo)
{
    const QHash<QString, Recording> dictation = corpus(u"dictation"_s, 3);
    const Recording first = dictation.value(u"dictation-001-slt-hts-16k-mono.wav"_s);
    const Recording second = dictation.value(u"dictation-002-kal16-44k-stereo.wav"_s);
    const Recording third = dictation.value(u"dictation-003-awb-16k-mono.wav"_s);
    // Three voices in one take, each sentence an utterance of its own: as the recorder delivers it, then 44.1 kHz
    // stereo, then 16 kHz 16-bit as stored. The last two arrive while the decoder is still busy with the first.
    TakeOptions options;
    options.later = withPause(chunks(second, false));
    const std::vector<AudioBufferPtr> third16 = chunks(third, false);
    options.later.insert(options.later.end(), third16.begin(), third16.end());
    SphinxEngine engine(englishOptions());
    const std::shared_ptr<Take> take = runTake(engine, withPause(chunks(first, true)), options);
    ASSERT_TRUE(take->text) << take->error.value_or(QString()).toStdString();
    const std::string heard = take->text->toStdString();
    EXPECT_LE(wordErrorRate(first.text + u' ' + second.text + u' ' + third.text, *take->text), 0.3) << heard;
    for (const QString& phrase : {u"quarterly report"_s, u"minutes late"_s, u"dentist"_s}) {
        EXPECT_TRUE(take->text->contains(phrase)) << phrase.toStdString() << " not in: " << heard;
    }

    // Partials come from the engine's thread, the same text at most twice in a row (a final result may repeat the
    // volatile one), and the last one is the transcript.
    const QStringList partials = take->partialsSoFar();
    ASSERT_FALSE(partials.isEmpty());
    EXPECT_FALSE(take->partialsOnMainThread);
    for (qsizetype i = 2; i < partials.size(); ++i) {
        EXPECT_FALSE(partials[i] == partials[i - 1] && partials[i] == partials[i - 2]) << partials[i].toStdString();
    }
    EXPECT_EQ(partials.back().trimmed(), *take->text);
}

TEST(SphinxEngine, ReportsWhatGoesWrongInTheUsersWords)
{
    for (const QString& locale : {u"en"_s, u"en_GB"_s, u"en-AU"_s, u"en_US.UTF-8"_s, u"C"_s, u"POSIX"_s}) {
        EXPECT_TRUE(SphinxEngine::supportsLocale(locale)) << locale.toStdString();
    }
    for (const QString& locale : {u"fr_CA"_s, u"de"_s}) {
        SphinxEngine::Options options;
        options.localeName = locale;
        SphinxEngine foreign(options);
        const QString expected = u"On-device speech doesn't support "_s + locale + u" yet"_s;
        EXPECT_EQ(prepareError(foreign), expected);
        EXPECT_EQ(runTake(foreign, withPause({}))->error, expected);
    }

    // The model's parts are looked for one by one, and again at the next attempt: they may have been installed since.
    QTemporaryDir model;
    SphinxEngine::Options options = englishOptions();
    options.modelDirectory = model.path();
    SphinxEngine engine(options);
    const QString missing = u"The speech model is missing "_s;
    EXPECT_EQ(prepareError(engine), missing + model.filePath(u"en-us"_s));
    for (const QString& part : {u"en-us"_s, u"en-us.lm.bin"_s, u"cmudict-en-us.dict"_s}) {
        EXPECT_EQ(runTake(engine, withPause({}))->error.value_or(QString()), missing + model.filePath(part));
        ASSERT_TRUE(QFile::link(SphinxEngine::defaultModelDirectory() + u'/' + part, model.filePath(part)));
    }
    EXPECT_EQ(prepareError(engine), std::nullopt);

    EXPECT_EQ(runTake(engine, {})->error, u"No audio came through from the microphone"_s);
    const AudioFormat broken{0, 1, SampleType::float32, false};
    std::vector<AudioBufferPtr> unconvertible = withPause({});
    unconvertible.push_back(std::make_shared<const AudioBuffer>(broken, std::vector<float>(160, 0.0f)));
    EXPECT_EQ(runTake(engine, unconvertible)->error, u"Can't convert microphone audio to the recognizer's format"_s);
    EXPECT_EQ(engine.name(), u"PocketSphinx"_s);
}

TEST(SphinxEngine, TakesThatEndEarlyOrOverlapShareTheDecoderCleanly)
{
    const QHash<QString, Recording> dictation = corpus(u"dictation"_s, 3);
    const Recording first = dictation.value(u"dictation-001-slt-hts-16k-mono.wav"_s);
    const Recording second = dictation.value(u"dictation-002-kal16-16k-mono.wav"_s);
    const std::vector<AudioBufferPtr> sentence = chunks(first, true);
    SphinxEngine::Options options = englishOptions();
    options.finalizeTimeout = 10ms;
    SphinxEngine engine(options);

    // Half a minute of speech arrives at once and the stream ends: decoding it takes seconds, far beyond the
    // deadline, so the take returns what it has by then. Its scrap of audio is the decoder's first utterance, which
    // must not spoil the decoder for the takes after it.
    std::vector<AudioBufferPtr> speech;
    for (int i = 0; i < 6; ++i) {
        const std::vector<AudioBufferPtr> once = withPause(sentence);
        speech.insert(speech.end(), once.begin(), once.end());
    }
    const std::shared_ptr<Take> slow = runTake(engine, speech);
    ASSERT_TRUE(slow->text) << slow->error.value_or(QString()).toStdString();
    EXPECT_LT(words(*slow->text).size(), 3 * words(first.text).size()) << slow->text->toStdString();
    const qsizetype slowPartials = slow->partialsSoFar().size();

    // Two takes overlap, each stream ending once its last word is heard, as when the key is let go: the second
    // waits for the decoder, and both come out whole. The slow take's worker stopped when it was given up on: it let
    // them have the decoder and reported nothing more (one partial may have been on its way).
    TakeOptions untilAfternoon;
    untilAfternoon.finishAt = u"afternoon"_s;
    TakeOptions untilMorning;
    untilMorning.finishAt = u"morning"_s;
    const std::shared_ptr<Take> one = startTake(engine, withPause(sentence), untilAfternoon);
    const std::shared_ptr<Take> two = startTake(engine, withPause(chunks(second, true)), untilMorning);
    waitUntil([&] { return one->finished && two->finished; });
    ASSERT_TRUE(one->text && two->text) << "heard: " << one->partialsSoFar().join(u" / ").toStdString() << " and "
                                        << two->partialsSoFar().join(u" / ").toStdString();
    EXPECT_LE(wordErrorRate(first.text, *one->text), 0.4) << one->text->toStdString();
    EXPECT_LE(wordErrorRate(second.text, *two->text), 0.4) << two->text->toStdString();
    EXPECT_LE(slow->partialsSoFar().size(), slowPartials + 1);

    // The microphone keeps going; the caller stops the take once something was recognised.
    TakeOptions stopEarly;
    stopEarly.stopAtFirstWords = true;
    const std::shared_ptr<Take> stopped = runTake(engine, sentence, stopEarly);
    ASSERT_TRUE(stopped->text) << stopped->error.value_or(QString()).toStdString();
    EXPECT_FALSE(stopped->text->isEmpty());
    EXPECT_LT(words(*stopped->text).size(), words(first.text).size()) << stopped->text->toStdString();
}

TEST(SphinxEngine, VocabularyWordsAreHeardAndSpelledTheUsersWay)
{
    const QHash<QString, Recording> vocabulary = corpus(u"vocabulary"_s, 10);
    QStringList everyProduct;
    for (const Recording& recording : vocabulary) {
        everyProduct += recording.products;
    }
    everyProduct.removeDuplicates();
    const Recording netlify = vocabulary.value(u"vocabulary-006-slt-hts-16k-mono.wav"_s);
    const Recording figma = vocabulary.value(u"vocabulary-010-slt-16k-mono.wav"_s);
    SphinxEngine engine(englishOptions());
    const auto heard = [&](const Recording& recording, const QStringList& words) {
        TakeOptions options;
        options.vocabulary = words;
        const std::shared_ptr<Take> take = runTake(engine, chunks(recording, true), options);
        return take->text.value_or(take->error.value_or(QString()));
    };

    // The dictionary lacks the name; espeak-ng's pronunciation is close enough to the voice's.
    QString text = heard(netlify, {});
    EXPECT_FALSE(text.contains(u"netlify"_s, Qt::CaseInsensitive)) << text.toStdString();
    text = heard(netlify, {u"Netlify"_s});
    EXPECT_TRUE(text.contains(u"Netlify"_s)) << text.toStdString();
    // Every name at once, the new word followed by more words (added to the trigram model itself, such a word sent
    // its lookups past the model's tables and crashed the process); no name is heard where it isn't said.
    text = heard(figma, everyProduct);
    for (const QString& product : everyProduct) {
        EXPECT_EQ(text.contains(product), product == u"Figma"_s) << text.toStdString();
    }
    // The name added two takes ago survives the model being rebuilt for more words, and is spelled as given.
    text = heard(netlify, {u"Netlify"_s});
    EXPECT_TRUE(text.contains(u"Netlify"_s)) << text.toStdString();
}

} // namespace
} // namespace sayloom
