// Quick speech figures for `make bench`, on one synthesised sentence; the corpus run (speech_corpus) has the full
// picture.

#include "BenchmarkMain.h"
#include "CorpusAudio.h"
#include "speech/ServerSpeechEngine.h"
#include "speech/SphinxEngine.h"
#include "support/ScriptedHttpServer.h"

#include <QCoroFuture>
#include <QCoroNetworkReply>
#include <QCoroTimer>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <thread>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;

// About four seconds of a synthetic voice at 16 kHz mono, made once.
const CorpusAudio& sentence()
{
    static const CorpusAudio audio = [] {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("sentence.wav"));
        QProcess::execute(QStringLiteral("flite"),
                          {QStringLiteral("-voice"), QStringLiteral("slt"), QStringLiteral("-t"),
                           QStringLiteral("please send the quarterly report to the finance team before friday"),
                           QStringLiteral("-o"), path});
        return CorpusAudio::load(path);
    }();
    return audio;
}

SphinxEngine& preparedEngine()
{
    static SphinxEngine engine;
    static const bool prepared = [] {
        try {
            QCoro::waitFor(engine.prepare());
            return true;
        } catch (const TranscriptionError&) {
            return false;
        }
    }();
    (void)prepared;
    return engine;
}

QCoro::Task<QString> transcribeAtOnce(SphinxEngine& engine, const CorpusAudio& audio)
{
    auto [stream, continuation] = AudioStream::make();
    for (AudioChunk& chunk : audio.chunks(4096)) {
        continuation.yield(std::move(chunk));
    }
    continuation.finish();
    QCoro::Task<QString> transcribing = engine.transcribe(std::move(stream), audio.format(), {}, [](const QString&) {});
    co_return co_await transcribing;
}

// The whole sentence queued at once, as `--transcribe` hands over a file; "rtf" is processing time over audio time.
void BM_TranscribeSentence(benchmark::State& state)
{
    const CorpusAudio& audio = sentence();
    if (audio.isEmpty()) {
        state.SkipWithError("flite made no audio");
        return;
    }
    SphinxEngine& engine = preparedEngine();
    double processing = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        try {
            benchmark::DoNotOptimize(QCoro::waitFor(transcribeAtOnce(engine, audio)));
        } catch (const TranscriptionError& error) {
            state.SkipWithError(error.what());
            return;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        processing += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["rtf"] = processing / (audio.seconds() * double(state.iterations()));
}
BENCHMARK(BM_TranscribeSentence)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The sentence streamed in real time in 100 ms buffers; the time measured is from the stream's end to the
// transcript, what a user waits for after letting go of the key.
void timeFinalisation(benchmark::State& state, TranscriptionEngine& engine)
{
    const CorpusAudio& audio = sentence();
    if (audio.isEmpty()) {
        state.SkipWithError("flite made no audio");
        return;
    }
    for (auto _ : state) {
        const std::optional<double> latency = QCoro::waitFor(audio.finalisationSeconds(engine));
        if (!latency) {
            state.SkipWithError("the engine failed");
            return;
        }
        state.SetIterationTime(*latency);
    }
}

void BM_FinaliseAfterRelease(benchmark::State& state)
{
    timeFinalisation(state, preparedEngine());
}
BENCHMARK(BM_FinaliseAfterRelease)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The same with a speech server chosen that is not running, as PocketSphinx falls back for it. The engine has found
// the server down when it prepared, so takes go straight to PocketSphinx until it is due to be tried again; that
// should cost next to nothing over PocketSphinx alone.
void BM_FinaliseAfterReleaseServerDown(benchmark::State& state)
{
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const QString refused = QStringLiteral("http://127.0.0.1:%1/v1").arg(closed.serverPort());
    closed.close();
    ServerSpeechEngine engine(preparedEngine(), {true, refused, QStringLiteral("whisper-1"), QString(), QString()});
    QCoro::waitFor(engine.prepare());
    timeFinalisation(state, engine);
}
BENCHMARK(BM_FinaliseAfterReleaseServerDown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Reads a take as a recogniser would, and answers nothing: the speech server's words are what counts.
class DrainingRecogniser final : public TranscriptionEngine {
public:
    QString name() const override { return QStringLiteral("PocketSphinx"); }
    QCoro::Task<void> prepare() override { co_return; }
    QCoro::Task<QString> transcribe(AudioStream audio, AudioFormat, QStringList, PartialHandler,
                                    std::stop_token stop) override
    {
        std::thread([audio = std::move(audio), stop]() mutable {
            while (audio.next(stop)) {
            }
        }).detach();
        co_return QString();
    }
};

// Ten seconds of a tone as the recorder delivers it: 16 kHz mono float32 in 100 ms buffers.
std::vector<AudioChunk> tenSecondTake()
{
    const AudioFormat recorder{16000, 1, SampleType::float32, false};
    std::vector<AudioChunk> chunks;
    for (int chunk = 0; chunk < 100; ++chunk) {
        std::vector<float> samples(1600);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = 0.3f * float(std::sin(2 * M_PI * 220 * double(chunk * 1600 + int(i)) / 16000));
        }
        chunks.push_back({std::make_shared<AudioBuffer>(recorder, std::move(samples))});
    }
    return chunks;
}

// One take of `chunks`: all but the last handed over and given time to be read, as while the user speaks; then the
// seconds from the last buffer and the stream's end to the transcript. Nothing when the take failed.
QCoro::Task<std::optional<double>> takeEnd(ServerSpeechEngine& engine, const std::vector<AudioChunk>& chunks)
{
    auto [stream, continuation] = AudioStream::make();
    for (std::size_t i = 0; i + 1 < chunks.size(); ++i) {
        continuation.yield(chunks[i]);
    }
    const QStringList vocabulary{QStringLiteral("Supabase"), QStringLiteral("Claude Code"),
                                 QStringLiteral("Kubernetes")};
    QCoro::Task<QString> transcribing =
            engine.transcribe(std::move(stream), chunks.front().buffer->format(), vocabulary, [](const QString&) {});
    QTimer pause;
    pause.setSingleShot(true);
    pause.start(100);
    co_await pause;
    const auto start = Clock::now();
    continuation.yield(chunks.back());
    continuation.finish();
    try {
        co_await transcribing;
    } catch (const TranscriptionError&) {
        co_return std::nullopt;
    }
    co_return std::chrono::duration<double>(Clock::now() - start).count();
}

// The engine's own time around a speech server that answers at once, for a 10 s take: from the end of the audio
// (the last 100 ms buffer and the stream's end) to the transcript, with the rest of the take already read as it
// would have been while the user spoke. It covers the copy's last buffer, the WAV, the multipart request and its
// 320 kB over loopback, and reading the answer.
void BM_ServerTakeOverhead(benchmark::State& state)
{
    test::ScriptedHttpServer server;
    DrainingRecogniser fallback;
    ServerSpeechEngine engine(fallback,
                              {true, server.baseURL(), QStringLiteral("whisper-1"), QStringLiteral("en"), QString()});
    const std::vector<AudioChunk> chunks = tenSecondTake();
    for (auto _ : state) {
        const std::optional<double> seconds = QCoro::waitFor(takeEnd(engine, chunks));
        if (!seconds || engine.lastTakeSource() != QStringLiteral("Speech server (whisper-1)")) {
            state.SkipWithError("the server's words did not arrive");
            return;
        }
        state.SetIterationTime(*seconds);
    }
}
BENCHMARK(BM_ServerTakeOverhead)->Apply(timedTakes);

// The server's side of the figure above: the same 320 kB sent to the same scripted server by a bare network
// manager, with nothing of the engine around it. The engine's own overhead is the difference.
void BM_BareRequestOfATake(benchmark::State& state)
{
    test::ScriptedHttpServer server;
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    const QByteArray body(16000 * 2 * 10 + 44 + 600, 'x');
    for (auto _ : state) {
        QNetworkRequest request(QUrl(server.baseURL() + QStringLiteral("/audio/transcriptions")));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("multipart/form-data; boundary=b"));
        const auto start = Clock::now();
        QNetworkReply* reply = manager.post(request, body);
        QCoro::waitFor(qCoro(reply).waitForFinished());
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        reply->deleteLater();
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_BareRequestOfATake)->Apply(timedTakes);

// What trying a server that is not running adds to the fallback's own time, at worst: a fresh engine (its network
// manager cold, the server not yet found down) sends the take, is refused, and waits for a fallback that has
// already finished. From the end of a 10 s take to the fallback's words.
void BM_ServerDownOverhead(benchmark::State& state)
{
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const QString refused = QStringLiteral("http://127.0.0.1:%1/v1").arg(closed.serverPort());
    closed.close();
    DrainingRecogniser fallback;
    const std::vector<AudioChunk> chunks = tenSecondTake();
    for (auto _ : state) {
        ServerSpeechEngine engine(fallback, {true, refused, QStringLiteral("whisper-1"), QString(), QString()});
        const std::optional<double> seconds = QCoro::waitFor(takeEnd(engine, chunks));
        if (!seconds) {
            state.SkipWithError("the fallback's words did not arrive");
            return;
        }
        state.SetIterationTime(*seconds);
    }
}
BENCHMARK(BM_ServerDownOverhead)->Apply(timedTakes);

} // namespace

} // namespace sayloom

int main(int argc, char** argv)
{
    // The engine's notes on each take would bury the results.
    return sayloom::runBenchmarks(argc, argv,
                                  QStringLiteral("app.sayloom.speech.debug=false\napp.sayloom.speech.info=false\n"
                                                 "app.sayloom.speech.warning=false"));
}
