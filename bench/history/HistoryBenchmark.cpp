#include "BenchmarkMain.h"
#include "dictionary/DictionaryFile.h"
#include "dictionary/DictionaryStore.h"
#include "dictionary/EnglishWords.h"
#include "history/History.h"
#include "history/Stats.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimeZone>

#include <benchmark/benchmark.h>
#include <chrono>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;

// The store's start in a fresh process: the system word list loads in the background, so the start does not wait
// for it. Registered first, while the list is still unloaded; word_list_wait_ms is what of the load was left after.
void BM_StoreStartUpWithColdWordList(benchmark::State& state)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    for (auto _ : state) {
        DictionaryStore store(dir.filePath(QStringLiteral("Sayloom/Dictionary.txt")), settings);
        benchmark::DoNotOptimize(store.entries());
    }
    const auto waited = Clock::now();
    state.counters["words"] = double(EnglishWords::words().size());
    state.counters["word_list_wait_ms"] = std::chrono::duration<double, std::milli>(Clock::now() - waited).count();
}
BENCHMARK(BM_StoreStartUpWithColdWordList)->Unit(benchmark::kMillisecond)->Iterations(1);

// A full history of ordinary takes: a couple of sentences each, most with an application and a correction.
QList<HistoryEntry> fullHistory()
{
    static const QString sentence =
            QStringLiteral("Let's move the Supabase migration to Thursday and ask Zoë to review the Claude Code "
                           "changes before the release, then update the roadmap document.");
    QList<HistoryEntry> entries;
    const QDateTime newest = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < History::maximumCount; ++i) {
        HistoryEntry entry;
        entry.text = sentence + u' ' + QString::number(i);
        entry.raw = entry.text.toLower();
        entry.date = newest.addSecs(-i * 1800);
        entry.appName = i % 3 == 0 ? std::nullopt : std::optional(QStringLiteral("Kate"));
        entry.duration = 8.0 + (i % 10) * 0.37;
        entry.corrections =
                QList<AppliedCorrection>{{QStringLiteral("claude code"), QStringLiteral("Claude Code"), 83, 11}};
        entries.append(entry);
    }
    return entries;
}

void BM_SaveFullHistory(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Sayloom/History.json"));
    const QList<HistoryEntry> entries = fullHistory();
    for (auto _ : state) {
        if (!History::save(entries, path)) {
            state.SkipWithError("save failed");
            return;
        }
    }
    state.counters["file_kB"] = double(QFile(path).size()) / 1024.0;
}
BENCHMARK(BM_SaveFullHistory)->Unit(benchmark::kMillisecond);

// The share of a save that is ours rather than the disk's.
void BM_EncodeFullHistory(benchmark::State& state)
{
    const QList<HistoryEntry> entries = fullHistory();
    for (auto _ : state) {
        benchmark::DoNotOptimize(History::encode(entries));
    }
}
BENCHMARK(BM_EncodeFullHistory)->Unit(benchmark::kMillisecond);

void BM_LoadFullHistory(benchmark::State& state)
{
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    const QString path = dir.filePath(QStringLiteral("Sayloom/History.json"));
    History::save(fullHistory(), path);
    for (auto _ : state) {
        const QList<HistoryEntry> loaded = History::load(settings, path);
        if (loaded.size() != History::maximumCount) {
            state.SkipWithError("load lost entries");
            return;
        }
        benchmark::DoNotOptimize(loaded);
    }
}
BENCHMARK(BM_LoadFullHistory)->Unit(benchmark::kMillisecond);

void BM_StatsOfFullHistory(benchmark::State& state)
{
    const QList<HistoryEntry> entries = fullHistory();
    const QDateTime now = QDateTime::currentDateTime();
    const QTimeZone zone = QTimeZone::systemTimeZone();
    for (auto _ : state) {
        const Stats stats(entries, now, zone);
        benchmark::DoNotOptimize(stats);
    }
}
BENCHMARK(BM_StatsOfFullHistory)->Unit(benchmark::kMicrosecond);

// From the moment another writer starts writing Dictionary.txt until the store's entries show the new content.
// Arg 0: written in place (a shell redirection); arg 1: replaced by a rename (an editor, sed -i).
void BM_OutsideEditVisible(benchmark::State& state)
{
    const bool byRename = state.range(0) == 1;
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    const QString path = dir.filePath(QStringLiteral("Sayloom/Dictionary.txt"));
    DictionaryStore store(path, settings);
    int round = 0;
    for (auto _ : state) {
        const QString phrase = QStringLiteral("Phrase%1").arg(++round);
        const QByteArray bytes = (DictionaryFile::header() + u"Supabase\n" + phrase + u'\n').toUtf8();
        const auto started = Clock::now();
        if (byRename) {
            QSaveFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            file.commit();
        } else {
            QFile file(path);
            file.open(QIODevice::WriteOnly | QIODevice::Truncate);
            file.write(bytes);
        }
        const QDeadlineTimer deadline(5000);
        while (!(store.entries().size() == 2 && store.entries().last().phrase == phrase) && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        const auto elapsed = std::chrono::duration<double>(Clock::now() - started).count();
        if (deadline.hasExpired()) {
            state.SkipWithError("the edit never showed up");
            return;
        }
        state.SetIterationTime(elapsed);
    }
}
BENCHMARK(BM_OutsideEditVisible)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

} // namespace

} // namespace sayloom

int main(int argc, char** argv)
{
    // The folder watch needs the event loop.
    return sayloom::runBenchmarks(argc, argv, QStringLiteral("app.sayloom.dictionary.info=false"));
}
