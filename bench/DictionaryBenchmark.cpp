#include "BenchmarkData.h"
#include "dictionary/DictionaryCorrector.h"
#include "dictionary/DictionaryLint.h"
#include "dictionary/EnglishWords.h"
#include "support/StraightforwardCorrector.h"

#include <benchmark/benchmark.h>
#include <cstdio>

namespace sayloom {

namespace {

// A large personal dictionary: real ones rarely pass a few hundred entries.
const QList<DictionaryEntry>& entries()
{
    static const QList<DictionaryEntry> list = BenchmarkData::dictionary(1000);
    return list;
}

// About one minute of speech.
const BenchmarkData::Transcript& transcript()
{
    static const BenchmarkData::Transcript text = BenchmarkData::transcript(entries(), 2000);
    return text;
}

// A fast corrector that disagrees with the obvious one would make its figures meaningless.
bool correctorsAgree()
{
    const DictionaryCorrector::Result fast = DictionaryCorrector(entries()).apply(transcript().text);
    const DictionaryCorrector::Result expected = StraightforwardCorrector(entries()).apply(transcript().text);
    if (fast.text != expected.text || fast.corrections != expected.corrections) {
        std::fprintf(stderr, "error: the corrector and the straightforward corrector disagree on the transcript\n");
        std::fprintf(stderr, "corrector (%lld corrections):\n%s\n", static_cast<long long>(fast.corrections.size()),
                     qPrintable(fast.text));
        std::fprintf(stderr, "straightforward (%lld corrections):\n%s\n",
                     static_cast<long long>(expected.corrections.size()), qPrintable(expected.text));
        return false;
    }
    std::printf("Dictionary of %lld entries, transcript of %lld characters with %d mentions; %lld corrections made.\n",
                static_cast<long long>(entries().size()), static_cast<long long>(transcript().text.size()),
                transcript().mentions, static_cast<long long>(fast.corrections.size()));
    return true;
}

void BM_CorrectorApply(benchmark::State& state)
{
    const DictionaryCorrector corrector(entries());
    // Patterns compile on first use; a running app has long paid for that by its second take.
    benchmark::DoNotOptimize(corrector.apply(transcript().text));
    for (auto _ : state) {
        benchmark::DoNotOptimize(corrector.apply(transcript().text));
    }
}
BENCHMARK(BM_CorrectorApply)->Unit(benchmark::kMicrosecond)->Repetitions(10)->ReportAggregatesOnly(true);

void BM_StraightforwardApply(benchmark::State& state)
{
    const StraightforwardCorrector corrector(entries());
    benchmark::DoNotOptimize(corrector.apply(transcript().text));
    for (auto _ : state) {
        benchmark::DoNotOptimize(corrector.apply(transcript().text));
    }
}
BENCHMARK(BM_StraightforwardApply)->Unit(benchmark::kMicrosecond)->Repetitions(10)->ReportAggregatesOnly(true);

void BM_CorrectorBuild(benchmark::State& state)
{
    for (auto _ : state) {
        const DictionaryCorrector corrector(entries());
        benchmark::DoNotOptimize(corrector.rules().size());
    }
}
BENCHMARK(BM_CorrectorBuild)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

// Building defers compiling the patterns; this is the cost if every one of them ends up being used.
void BM_CorrectorBuildAndCompileAll(benchmark::State& state)
{
    for (auto _ : state) {
        const DictionaryCorrector corrector(entries());
        for (const DictionaryCorrector::Rule& rule : corrector.rules()) {
            benchmark::DoNotOptimize(rule.pattern.isValid());
        }
    }
}
BENCHMARK(BM_CorrectorBuildAndCompileAll)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

// What a dictation right after an edit pays: the rebuild plus the first apply, which compiles the patterns of the
// rules the transcript could match.
void BM_CorrectorBuildAndFirstApply(benchmark::State& state)
{
    for (auto _ : state) {
        const DictionaryCorrector corrector(entries());
        benchmark::DoNotOptimize(corrector.apply(transcript().text));
    }
}
BENCHMARK(BM_CorrectorBuildAndFirstApply)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

void BM_LoadSystemWordList(benchmark::State& state)
{
    qsizetype size = 0;
    for (auto _ : state) {
        const QSet<QString> words = EnglishWords::load(EnglishWords::systemPath());
        size = words.size();
    }
    if (size == 0) {
        state.SkipWithError("the system word list is missing or unreadable");
    }
    state.counters["words"] = double(size);
}
BENCHMARK(BM_LoadSystemWordList)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

// What the dictionary window does when it shows every row's warnings.
void BM_LintAllRows(benchmark::State& state)
{
    EnglishWords::words();
    for (auto _ : state) {
        for (const DictionaryEntry& entry : entries()) {
            benchmark::DoNotOptimize(DictionaryLint::warnings(entry, entries()));
        }
    }
}
BENCHMARK(BM_LintAllRows)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

} // namespace

} // namespace sayloom

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    if (!sayloom::correctorsAgree()) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
