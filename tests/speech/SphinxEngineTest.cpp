#include "speech/SphinxEngine.h"

#include "SpeechTestSupport.h"

#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// Every test reads the same few sentences, so one synthesis serves them all: festival's HTS voice at 16 kHz mono,
// flite's kal16 at 16 kHz mono and 44.1 kHz stereo, flite's awb at 16 kHz mono, clean and with noise.
std::vector<CorpusFile> corpus()
{
    std::vector<CorpusFile> files = speechCorpus(u"dictation"_s, 3);
    EXPECT_EQ(files.size(), 5u);
    return files;
}

// The first ten product-name sentences, the same for every test that reads them.
std::vector<CorpusFile> vocabularyCorpus()
{
    return speechCorpus(u"vocabulary"_s, 10);
}

SphinxEngine::Options englishOptions()
{
    SphinxEngine::Options options;
    options.localeName = u"en_US"_s;
    return options;
}

TEST(SphinxEngine, TranscribesSynthesisedSpeechInEveryFormat)
{
    const std::vector<CorpusFile> files = corpus();
    ASSERT_EQ(files.size(), 5u);
    SphinxEngine engine(englishOptions());
    ASSERT_EQ(runPrepare(engine), std::nullopt);

    double errors = 0;
    double referenceWords = 0;
    for (const CorpusFile& file : files) {
        SCOPED_TRACE(file.path.toStdString());
        const WavAudio audio = readWav(file.path);
        const bool mono16k = audio.format.sampleRate == 16000 && audio.format.channelCount == 1;
        const TakeOutcome take = runTake(engine, cutIntoChunks(audio, 100, mono16k));
        ASSERT_TRUE(take.finished);
        ASSERT_EQ(take.error, std::nullopt);
        ASSERT_TRUE(take.text);
        const double wer = wordErrorRate(file.text, *take.text);
        // Noise costs even the batch decoder half the words; noisy files count only towards the whole.
        if (!file.noise) {
            EXPECT_LE(wer, 0.6) << "heard: " << take.text->toStdString();
        }
        errors += wer * double(words(file.text).size());
        referenceWords += double(words(file.text).size());

        // Partials grow with the speech, come from the engine's thread, and the last one is the transcript.
        ASSERT_FALSE(take.partials.isEmpty());
        EXPECT_FALSE(take.partialsOnMainThread);
        EXPECT_EQ(take.partials.back().trimmed(), *take.text);
        EXPECT_EQ(*take.text, take.text->trimmed());
    }
    EXPECT_LE(errors / referenceWords, 0.3);
}

TEST(SphinxEngine, FollowsTheMicrophoneWhenItsFormatChangesMidTake)
{
    const std::vector<CorpusFile> corpus = sayloom::corpus();
    ASSERT_GE(corpus.size(), 3u);
    // The first sentence as the recorder delivers it (16 kHz float), then the second from the 44.1 kHz stereo file,
    // with a second of silence between them so the first one ends as an utterance of its own.
    const WavAudio first = readWav(corpus[0].path);
    const WavAudio second = readWav(corpus[2].path);
    ASSERT_EQ(second.format.sampleRate, 44100u);
    ASSERT_EQ(second.format.channelCount, 2u);
    std::vector<AudioBufferPtr> chunks = cutIntoChunks(first, 100, true);
    chunks.push_back(silence(recorderFormat(), 16000));
    for (const AudioBufferPtr& chunk : cutIntoChunks(second, 100, false)) {
        chunks.push_back(chunk);
    }

    SphinxEngine engine(englishOptions());
    const TakeOutcome take = runTake(engine, chunks);
    ASSERT_TRUE(take.text) << take.error.value_or(QString()).toStdString();
    const QString reference = corpus[0].text + u' ' + corpus[2].text;
    EXPECT_LE(wordErrorRate(reference, *take.text), 0.4) << take.text->toStdString();
    EXPECT_TRUE(take.text->contains(u"quarterly report"_s)) << take.text->toStdString();
    EXPECT_TRUE(take.text->contains(u"minutes"_s)) << take.text->toStdString();
}

TEST(SphinxEngine, ReportsWhatGoesWrongInTheUsersWords)
{
    SphinxEngine engine(englishOptions());
    const TakeOutcome empty = runTake(engine, {});
    EXPECT_EQ(empty.error, u"No audio came through from the microphone"_s);

    // A buffer that claims a format the converter can't handle fails the take with the converter's description.
    const AudioFormat broken{0, 1, SampleType::float32, false};
    const TakeOutcome unconvertible =
            runTake(engine, {silence(recorderFormat(), 1600),
                             std::make_shared<const AudioBuffer>(broken, std::vector<float>(160, 0.0f))});
    EXPECT_EQ(unconvertible.error, u"Can't convert microphone audio to the recognizer's format"_s);

    for (const QString& locale : {u"fr_CA"_s, u"de"_s, u"eo"_s}) {
        SphinxEngine::Options options;
        options.localeName = locale;
        SphinxEngine foreign(options);
        const QString expected = u"On-device speech doesn't support "_s + locale + u" yet"_s;
        EXPECT_EQ(runPrepare(foreign), expected);
        EXPECT_EQ(runTake(foreign, {silence(recorderFormat(), 1600)}).error, expected);
    }
    for (const QString& locale : {u"en"_s, u"en_GB"_s, u"en-AU"_s, u"en_US.UTF-8"_s, u"C"_s, u"POSIX"_s}) {
        EXPECT_TRUE(SphinxEngine::supportsLocale(locale)) << locale.toStdString();
    }
    EXPECT_EQ(engine.name(), u"PocketSphinx"_s);
}

TEST(SphinxEngine, NamesTheMissingPartOfTheModel)
{
    QTemporaryDir model;
    ASSERT_TRUE(model.isValid());
    SphinxEngine::Options options = englishOptions();
    options.modelDirectory = model.path();
    SphinxEngine engine(options);
    EXPECT_EQ(runPrepare(engine), u"The speech model is missing "_s + model.filePath(u"en-us"_s));
    // A take prepares first and fails the same way.
    EXPECT_EQ(runTake(engine, {silence(recorderFormat(), 1600)}).error,
              u"The speech model is missing "_s + model.filePath(u"en-us"_s));

    // Half a model: the acoustic model is there, the language model is not.
    ASSERT_TRUE(QFile::link(SphinxEngine::defaultModelDirectory() + u"/en-us"_s, model.filePath(u"en-us"_s)));
    SphinxEngine halfEngine(options);
    EXPECT_EQ(runPrepare(halfEngine), u"The speech model is missing "_s + model.filePath(u"en-us.lm.bin"_s));
}

TEST(SphinxEngine, AStopRequestEndsTheTakeWithWhatWasHeard)
{
    const std::vector<CorpusFile> corpus = sayloom::corpus();
    ASSERT_FALSE(corpus.empty());
    SphinxEngine engine(englishOptions());
    ASSERT_EQ(runPrepare(engine), std::nullopt);

    // The microphone keeps going (the stream never ends); the caller gives up once something was recognised.
    std::stop_source stop;
    TakeOptions options;
    options.keepStreamOpen = true;
    options.stop = stop.get_token();
    options.onPartial = [&](const QString& text) {
        if (!text.isEmpty()) {
            stop.request_stop();
        }
    };
    const TakeOutcome take = runTake(engine, cutIntoChunks(readWav(corpus[0].path), 100, true), options);
    ASSERT_TRUE(take.finished) << "the take did not end after the stop request";
    ASSERT_TRUE(take.text);
    EXPECT_FALSE(take.text->isEmpty());
    EXPECT_LT(words(*take.text).size(), words(corpus[0].text).size()) << take.text->toStdString();

    // The decoder is free again for the next take.
    const TakeOutcome next = runTake(engine, cutIntoChunks(readWav(corpus[0].path), 100, true));
    ASSERT_TRUE(next.text);
    EXPECT_LE(wordErrorRate(corpus[0].text, *next.text), 0.4) << next.text->toStdString();
}

TEST(SphinxEngine, ASlowFinishReturnsWhatWasGathered)
{
    const std::vector<CorpusFile> corpus = sayloom::corpus();
    ASSERT_FALSE(corpus.empty());
    const WavAudio sentence = readWav(corpus[0].path);
    // Half a minute of speech arrives at once and the stream ends: decoding it takes seconds, far beyond a
    // 10 ms deadline, so the take returns long before the last sentence is decoded.
    std::vector<AudioBufferPtr> chunks;
    for (int i = 0; i < 6; ++i) {
        for (const AudioBufferPtr& chunk : cutIntoChunks(sentence, 100, true)) {
            chunks.push_back(chunk);
        }
        chunks.push_back(silence(recorderFormat(), 16000));
    }
    SphinxEngine::Options options = englishOptions();
    options.finalizeTimeout = 10ms;
    SphinxEngine engine(options);
    ASSERT_EQ(runPrepare(engine), std::nullopt);
    const TakeOutcome take = runTake(engine, chunks);
    ASSERT_TRUE(take.text) << take.error.value_or(QString()).toStdString();
    EXPECT_LT(words(*take.text).size(), 3 * words(corpus[0].text).size()) << take.text->toStdString();

    // The abandoned take lets go of the decoder: the next one decodes in full. Its stream ends only once the
    // sentence is final (a second of silence after it), so nothing is left to finish.
    std::vector<AudioBufferPtr> sentenceAndPause = cutIntoChunks(sentence, 100, true);
    sentenceAndPause.push_back(silence(recorderFormat(), 16000));
    TakeOptions waitForTheSentence;
    waitForTheSentence.keepStreamOpen = true;
    waitForTheSentence.finishWhen = [](const QString& text) { return text.contains(u"afternoon"_s); };
    const TakeOutcome next = runTake(engine, sentenceAndPause, waitForTheSentence);
    ASSERT_TRUE(next.text);
    EXPECT_LE(wordErrorRate(corpus[0].text, *next.text), 0.4) << next.text->toStdString();
}

TEST(SphinxEngine, OverlappingTakesShareTheDecoderOneAfterTheOther)
{
    const std::vector<CorpusFile> corpus = sayloom::corpus();
    ASSERT_GE(corpus.size(), 2u);
    SphinxEngine engine(englishOptions());
    ASSERT_EQ(runPrepare(engine), std::nullopt);

    // The first take's stream stays open while a second take runs to the end; the second waits for the decoder.
    auto [firstStream, firstProducer] = AudioStream::make();
    for (const AudioBufferPtr& chunk : cutIntoChunks(readWav(corpus[0].path), 100, true)) {
        firstProducer.yield(AudioChunk{chunk});
    }
    std::atomic<bool> firstDone = false;
    QString firstText;
    auto first = [&]() -> QCoro::Task<void> {
        QCoro::Task<QString> take = engine.transcribe(std::move(firstStream), recorderFormat(), {}, {});
        firstText = co_await std::move(take);
        firstDone = true;
    };
    QCoro::Task<void> firstTake = first();
    QTimer::singleShot(200ms, [producer = firstProducer] { producer.finish(); });
    const TakeOutcome second = runTake(engine, cutIntoChunks(readWav(corpus[1].path), 100, true));
    ASSERT_TRUE(second.text);
    EXPECT_LE(wordErrorRate(corpus[1].text, *second.text), 0.4) << second.text->toStdString();
    runEventLoopUntil([&] { return firstDone.load(); });
    ASSERT_TRUE(firstDone);
    EXPECT_LE(wordErrorRate(corpus[0].text, firstText), 0.4) << firstText.toStdString();
}

TEST(SphinxEngine, AProductNameGivenAsVocabularyIsRecognised)
{
    // Product names the dictionary lacks; espeak-ng's pronunciation is close enough to these voices' for both.
    const std::vector<CorpusFile> sentences = vocabularyCorpus();
    for (const QString& name : {u"vocabulary-006-slt-hts-16k-mono.wav"_s, u"vocabulary-007-kal16-16k-mono.wav"_s}) {
        const auto file = std::find_if(sentences.begin(), sentences.end(),
                                       [&](const CorpusFile& entry) { return entry.path.endsWith(name); });
        ASSERT_NE(file, sentences.end()) << name.toStdString();
        SCOPED_TRACE(file->text.toStdString());
        const std::vector<AudioBufferPtr> chunks = cutIntoChunks(readWav(file->path), 100, true);
        SphinxEngine engine(englishOptions());

        const TakeOutcome without = runTake(engine, chunks);
        ASSERT_TRUE(without.text);
        TakeOptions options;
        options.vocabulary = file->products;
        const TakeOutcome with = runTake(engine, chunks, options);
        ASSERT_TRUE(with.text);
        for (const QString& product : file->products) {
            EXPECT_FALSE(without.text->contains(product, Qt::CaseInsensitive)) << without.text->toStdString();
            // Spelled as the vocabulary spells it, not in the dictionary's lower case.
            EXPECT_TRUE(with.text->contains(product)) << with.text->toStdString();
        }
    }
}

TEST(SphinxEngine, ManyVocabularyWordsAndTheirSentencesDecodeSafely)
{
    // Every product name of the set at once, then a sentence whose name is followed by more words, so the new word
    // stands in the history of the words after it. (Added to the trigram model itself, such a word sent its
    // lookups past the model's tables and crashed the process.)
    const std::vector<CorpusFile> sentences = vocabularyCorpus();
    QStringList vocabulary;
    for (const CorpusFile& file : sentences) {
        vocabulary += file.products;
    }
    vocabulary.removeDuplicates();
    ASSERT_GE(vocabulary.size(), 10);
    const auto figma = std::find_if(sentences.begin(), sentences.end(), [](const CorpusFile& entry) {
        return entry.path.endsWith(u"vocabulary-010-slt-16k-mono.wav"_s);
    });
    ASSERT_NE(figma, sentences.end());

    SphinxEngine engine(englishOptions());
    TakeOptions options;
    options.vocabulary = vocabulary;
    const TakeOutcome take = runTake(engine, cutIntoChunks(readWav(figma->path), 100, true), options);
    ASSERT_TRUE(take.text) << take.error.value_or(QString()).toStdString();
    EXPECT_TRUE(take.text->contains(u"Figma"_s)) << take.text->toStdString();
    // A later take with the same vocabulary adds nothing and still finds the word.
    const TakeOutcome again = runTake(engine, cutIntoChunks(readWav(figma->path), 100, true), options);
    ASSERT_TRUE(again.text);
    EXPECT_TRUE(again.text->contains(u"Figma"_s)) << again.text->toStdString();
}

} // namespace
} // namespace sayloom
