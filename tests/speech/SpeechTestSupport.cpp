#include "SpeechTestSupport.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace sayloom {

using namespace Qt::StringLiterals;

std::vector<CorpusFile> speechCorpus(const QString& set, int limit)
{
    const QString directory = QStringLiteral(SAYLOOM_SPEECH_CORPUS_DIR) + u'/' + set;
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    script.start(QStringLiteral(SAYLOOM_SOURCE_DIR) + u"/scripts/make-speech-corpus"_s,
                 {u"--set"_s, set, u"--limit"_s, QString::number(limit), directory});
    if (!script.waitForFinished(300000) || script.exitCode() != 0) {
        ADD_FAILURE() << "make-speech-corpus failed: " << script.readAllStandardOutput().toStdString();
        return {};
    }
    QFile manifest(directory + u"/manifest.tsv"_s);
    if (!manifest.open(QIODevice::ReadOnly | QIODevice::Text)) {
        ADD_FAILURE() << "no manifest in " << directory.toStdString();
        return {};
    }
    std::vector<CorpusFile> files;
    for (const QString& line : QString::fromUtf8(manifest.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u'\t');
        if (fields.size() < 5) {
            continue;
        }
        CorpusFile file{directory + u'/' + fields[0], fields[1], fields[2], fields[3] == u"yes"_s, fields[4], {}};
        if (fields.size() > 5) {
            file.products = fields[5].split(u'|', Qt::SkipEmptyParts);
        }
        files.push_back(std::move(file));
    }
    return files;
}

WavAudio readWav(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "can't open " << path.toStdString();
        return {};
    }
    const QByteArray bytes = file.readAll();
    QDataStream in(bytes);
    in.setByteOrder(QDataStream::LittleEndian);
    char riff[4];
    quint32 riffSize = 0;
    char wave[4];
    in.readRawData(riff, 4);
    in >> riffSize;
    in.readRawData(wave, 4);
    WavAudio audio;
    audio.format.sampleType = SampleType::int16;
    audio.format.interleaved = true;
    while (!in.atEnd()) {
        char id[4];
        quint32 size = 0;
        in.readRawData(id, 4);
        in >> size;
        const QByteArray chunkId(id, 4);
        if (chunkId == "fmt ") {
            quint16 formatTag = 0;
            quint16 channels = 0;
            quint32 rate = 0;
            in >> formatTag >> channels >> rate;
            in.skipRawData(int(size) - 8);
            audio.format.channelCount = channels;
            audio.format.sampleRate = rate;
        } else if (chunkId == "data") {
            audio.samples.resize(size / 2);
            in.readRawData(reinterpret_cast<char*>(audio.samples.data()), int(audio.samples.size() * 2));
            break;
        } else {
            in.skipRawData(int(size + (size & 1)));
        }
    }
    EXPECT_TRUE(audio.format.isValid()) << path.toStdString();
    return audio;
}

AudioFormat recorderFormat()
{
    return AudioFormat{16000, 1, SampleType::float32, false};
}

std::vector<AudioBufferPtr> cutIntoChunks(const WavAudio& audio, int milliseconds, bool asRecorderFormat)
{
    const std::size_t channels = audio.format.channelCount;
    const std::size_t frames = audio.samples.size() / channels;
    const std::size_t step = std::max<std::size_t>(1, audio.format.sampleRate * milliseconds / 1000);
    std::vector<AudioBufferPtr> chunks;
    for (std::size_t from = 0; from < frames; from += step) {
        const std::size_t count = std::min(step, frames - from);
        const auto begin = audio.samples.begin() + std::ptrdiff_t(from * channels);
        const auto end = begin + std::ptrdiff_t(count * channels);
        if (asRecorderFormat) {
            std::vector<float> samples;
            samples.reserve(count);
            std::transform(begin, end, std::back_inserter(samples), [](std::int16_t s) { return float(s) / 32768.0f; });
            chunks.push_back(std::make_shared<const AudioBuffer>(recorderFormat(), std::move(samples)));
        } else {
            chunks.push_back(std::make_shared<const AudioBuffer>(audio.format, std::vector<std::int16_t>(begin, end)));
        }
    }
    return chunks;
}

AudioBufferPtr silence(const AudioFormat& format, std::uint32_t frames)
{
    if (format.sampleType == SampleType::float32) {
        return std::make_shared<const AudioBuffer>(format, std::vector<float>(frames * format.channelCount, 0.0f));
    }
    return std::make_shared<const AudioBuffer>(format, std::vector<std::int16_t>(frames * format.channelCount, 0));
}

QStringList words(const QString& text)
{
    static const QRegularExpression notWord(u"[^a-z0-9']+"_s);
    return text.toLower().split(notWord, Qt::SkipEmptyParts);
}

double wordErrorRate(const QString& reference, const QString& hypothesis)
{
    const QStringList ref = words(reference);
    const QStringList hyp = words(hypothesis);
    std::vector<qsizetype> previous(hyp.size() + 1);
    std::vector<qsizetype> current(hyp.size() + 1);
    for (qsizetype j = 0; j <= hyp.size(); ++j) {
        previous[j] = j;
    }
    for (qsizetype i = 1; i <= ref.size(); ++i) {
        current[0] = i;
        for (qsizetype j = 1; j <= hyp.size(); ++j) {
            const qsizetype substitution = previous[j - 1] + (ref[i - 1] == hyp[j - 1] ? 0 : 1);
            current[j] = std::min({substitution, previous[j] + 1, current[j - 1] + 1});
        }
        std::swap(previous, current);
    }
    return ref.isEmpty() ? double(hyp.size()) : double(previous[hyp.size()]) / double(ref.size());
}

namespace {

struct Settled {
    TakeOutcome outcome;
    std::mutex partialsMutex;
};

QCoro::Task<void> settle(QCoro::Task<QString> take, std::shared_ptr<Settled> settled)
{
    try {
        QString text = co_await std::move(take);
        settled->outcome.text = std::move(text);
    } catch (const TranscriptionError& error) {
        settled->outcome.error = error.description();
    }
    settled->outcome.finished = true;
}

QCoro::Task<void> settlePrepare(QCoro::Task<void> preparing, std::shared_ptr<std::optional<QString>> failure,
                                std::shared_ptr<bool> done)
{
    try {
        co_await std::move(preparing);
    } catch (const TranscriptionError& error) {
        *failure = error.description();
    }
    *done = true;
}

} // namespace

void runEventLoopUntil(const std::function<bool()>& done, std::chrono::seconds limit)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(limit);
    // Woken by the coroutine's own resumption; the poll only notices that it happened.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    poll.start(5);
    if (!done()) {
        loop.exec();
    }
}

TakeOutcome runTake(SphinxEngine& engine, const std::vector<AudioBufferPtr>& chunks, TakeOptions options,
                    std::chrono::seconds limit)
{
    auto settled = std::make_shared<Settled>();
    auto [stream, continuation] = AudioStream::make();
    for (const AudioBufferPtr& chunk : chunks) {
        continuation.yield(AudioChunk{chunk});
    }
    if (!options.keepStreamOpen) {
        continuation.finish();
    }
    QThread* mainThread = QThread::currentThread();
    auto onPartial = [settled, mainThread, forward = options.onPartial, finishWhen = options.finishWhen,
                      continuation](const QString& text) {
        {
            const std::lock_guard lock(settled->partialsMutex);
            settled->outcome.partials.append(text);
            settled->outcome.partialsOnMainThread |= QThread::currentThread() == mainThread;
        }
        if (forward) {
            forward(text);
        }
        if (finishWhen && finishWhen(text)) {
            continuation.finish();
        }
    };
    const AudioFormat format = chunks.empty() ? recorderFormat() : chunks.front()->format();
    QCoro::Task<QString> take =
            engine.transcribe(std::move(stream), format, options.vocabulary, onPartial, options.stop);
    QCoro::Task<void> settling = settle(std::move(take), settled);
    runEventLoopUntil([&] { return settled->outcome.finished; }, limit);
    const std::lock_guard lock(settled->partialsMutex);
    return settled->outcome;
}

std::optional<QString> runPrepare(SphinxEngine& engine)
{
    auto failure = std::make_shared<std::optional<QString>>();
    auto done = std::make_shared<bool>(false);
    QCoro::Task<void> preparing = engine.prepare();
    QCoro::Task<void> settling = settlePrepare(std::move(preparing), failure, done);
    runEventLoopUntil([&] { return *done; }, std::chrono::seconds(60));
    EXPECT_TRUE(*done) << "prepare did not finish";
    return *failure;
}

} // namespace sayloom
