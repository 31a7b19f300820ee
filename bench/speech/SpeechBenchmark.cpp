// Quick speech figures for `make bench`, on one synthesised sentence; the corpus run (speech_corpus) has the full
// picture.

#include "BenchmarkMain.h"
#include "CorpusAudio.h"
#include "speech/SphinxEngine.h"

#include <QCoroFuture>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <chrono>

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
void BM_FinaliseAfterRelease(benchmark::State& state)
{
    const CorpusAudio& audio = sentence();
    if (audio.isEmpty()) {
        state.SkipWithError("flite made no audio");
        return;
    }
    SphinxEngine& engine = preparedEngine();
    for (auto _ : state) {
        const std::optional<double> latency = QCoro::waitFor(audio.finalisationSeconds(engine));
        if (!latency) {
            state.SkipWithError("the engine failed");
            return;
        }
        state.SetIterationTime(*latency);
    }
}
BENCHMARK(BM_FinaliseAfterRelease)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

} // namespace sayloom

int main(int argc, char** argv)
{
    // The engine's notes on each take would bury the results.
    return sayloom::runBenchmarks(argc, argv,
                                  QStringLiteral("app.sayloom.speech.debug=false\napp.sayloom.speech.info=false"));
}
