#include "BenchmarkMain.h"
#include "dictionary/DictionaryFile.h"
#include "dictionary/DictionaryStore.h"
#include "dictionary/EnglishWords.h"
#include "history/History.h"
#include "session/ports/FileActions.h"
#include "ui/DictionaryEditor.h"
#include "ui/DictionaryListModel.h"
#include "ui/DictionaryView.h"
#include "ui/HistoryListModel.h"
#include "ui/HistoryView.h"
#include "ui/InertSession.h"
#include "ui/SettingsWindow.h"
#include "ui/Snapshot.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <chrono>

namespace sayloom {
namespace {

using Clock = std::chrono::steady_clock;

// A full history of ordinary takes over a month: a sentence or three each, most into an application, many with a
// correction or two.
QList<HistoryEntry> fullHistory()
{
    static const QStringList sentences{
            QStringLiteral("Let's move the Supabase migration to Thursday and ask Zoë to review the Claude Code "
                           "changes before the release."),
            QStringLiteral("Can you send the agenda to the team?"),
            QStringLiteral("The onboarding flow still drops people at the second step, so I'd like to look at the "
                           "numbers again on Monday and then decide whether we redo the copy or the layout."),
    };
    QList<HistoryEntry> entries;
    const QDateTime newest = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < History::maximumCount; ++i) {
        HistoryEntry entry;
        entry.text = sentences[i % 3] + u' ' + QString::number(i);
        entry.raw = entry.text.toLower();
        entry.date = newest.addSecs(-i * 2400);
        entry.appName = i % 4 == 0 ? std::nullopt : std::optional(QStringLiteral("Kate"));
        entry.duration = 4.0 + (i % 10) * 0.8;
        entry.corrections = QList<AppliedCorrection>();
        if (i % 3 == 0) {
            entry.corrections->append({QStringLiteral("super base"), QStringLiteral("Supabase"), 15, 8});
            entry.corrections->append({QStringLiteral("cloud code"), QStringLiteral("Claude Code"), 80, 11});
        }
        entries.append(entry);
    }
    return entries;
}

InertSession& session()
{
    static InertSession full(fullHistory());
    return full;
}

// Shows a screen off-screen at a window's size, lays its list out and draws it once; returns the picture.
template <typename Screen>
QPixmap shown(Screen& view)
{
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.resize(780, 720);
    view.show();
    view.list()->doItemsLayout();
    return view.grab();
}

// From building the screen to its first picture, rows laid out and the visible ones drawn.
void BM_HistoryScreenShown(benchmark::State& state)
{
    InertSession& inert = session();
    for (auto _ : state) {
        const auto started = Clock::now();
        HistoryView view(inert.state(), inert.clock());
        benchmark::DoNotOptimize(shown(view));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
        if (view.model().shownCount() != History::maximumCount) {
            state.SkipWithError("the list lost entries");
        }
    }
}
BENCHMARK(BM_HistoryScreenShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// Types `word` into the screen's search and deletes it again, a letter a keystroke, timing each: the list filtered,
// laid out again and repainted. Every query but the empty one narrows the list.
template <typename Screen>
void typeAndDelete(benchmark::State& state, Screen& view, const QString& word)
{
    shown(view);
    const qsizetype size = word.size();
    qsizetype step = 0;
    for (auto _ : state) {
        const qsizetype length = step % (2 * size) < size ? step % size + 1 : size - step % size - 1;
        ++step;
        const auto started = Clock::now();
        view.searchField()->setText(word.left(length));
        view.list()->doItemsLayout();
        view.list()->viewport()->repaint();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
    }
}

// One keystroke in the History search.
void BM_SearchKeystroke(benchmark::State& state)
{
    InertSession& inert = session();
    HistoryView view(inert.state(), inert.clock());
    typeAndDelete(state, view, QStringLiteral("supabase"));
}
BENCHMARK(BM_SearchKeystroke)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(64);

// From Ctrl+, to the settings window's first picture: the three panes built, the microphones and the login state
// read, the General pane drawn.
void BM_SettingsWindowShown(benchmark::State& state)
{
    InertSession& inert = session();
    for (auto _ : state) {
        const auto started = Clock::now();
        SettingsWindow window(inert.windowParts());
        window.setAttribute(Qt::WA_DontShowOnScreen);
        window.show();
        benchmark::DoNotOptimize(window.grab());
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
    }
}
BENCHMARK(BM_SettingsWindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// A large dictionary: product names and jargon, corrections for what the recogniser keeps mishearing, and a few
// careless entries that draw warnings (common words, short ones, the same word twice).
QList<DictionaryEntry> fullDictionary()
{
    static const QStringList names{QStringLiteral("Supabase"),  QStringLiteral("Kubernetes"),
                                   QStringLiteral("Zoë"),       QStringLiteral("PostgreSQL"),
                                   QStringLiteral("Anthropic"), QStringLiteral("Next.js")};
    QList<DictionaryEntry> entries;
    for (int i = 0; i < 1000; ++i) {
        const QString n = QString::number(i);
        switch (i % 10) {
        case 0:
        case 1:
        case 2:
        case 3:
            entries.append(DictionaryEntry(names[i % names.size()] + n));
            break;
        case 4:
        case 5:
        case 6:
            entries.append(DictionaryEntry(u"Claude Code " + n, u"cloud code " + n));
            break;
        case 7:
            entries.append(DictionaryEntry(u"Norva" + n, QStringLiteral("the")));
            break;
        case 8:
            entries.append(DictionaryEntry(QStringLiteral("AI")));
            break;
        default:
            entries.append(DictionaryEntry(u"Any One " + n, QStringLiteral("any one")));
        }
    }
    return entries;
}

class NoFiles final : public FileActions {
public:
    bool open(const QString&) const override { return false; }
    QCoro::Task<bool> reveal(const QString&) const override { co_return false; }
};

// A store over a file holding the large dictionary, with the system word list loaded as at start-up.
struct DictionaryRig {
    DictionaryRig()
        : settings(folder.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)
    {
        const QString path = folder.filePath(QStringLiteral("Dictionary.txt"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(DictionaryFile::serialize(fullDictionary()).toUtf8());
        file.close();
        store = std::make_unique<DictionaryStore>(path, settings);
        EnglishWords::words();
    }

    QTemporaryDir folder;
    QSettings settings;
    std::unique_ptr<DictionaryStore> store;
    NoFiles files;
};

DictionaryRig& dictionaryRig()
{
    static DictionaryRig rig;
    return rig;
}

// From building the Dictionary screen to its first picture, with every row's warnings worked out (a list of rows
// of different heights measures them all).
void BM_DictionaryScreenShown(benchmark::State& state)
{
    DictionaryRig& rig = dictionaryRig();
    for (auto _ : state) {
        const auto started = Clock::now();
        DictionaryView view(*rig.store, rig.files);
        benchmark::DoNotOptimize(shown(view));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
        if (view.model().rowCount() != 1000) {
            state.SkipWithError("the list lost entries");
        }
    }
}
BENCHMARK(BM_DictionaryScreenShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// One keystroke in the Dictionary search.
void BM_DictionarySearchKeystroke(benchmark::State& state)
{
    DictionaryRig& rig = dictionaryRig();
    DictionaryView view(*rig.store, rig.files);
    typeAndDelete(state, view, QStringLiteral("code 12"));
}
BENCHMARK(BM_DictionarySearchKeystroke)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(64);

// One keystroke in the editor sheet over the large dictionary: the draft, its warnings and the sheet's texts.
void BM_DictionaryEditorKeystroke(benchmark::State& state)
{
    DictionaryRig& rig = dictionaryRig();
    DictionaryEditor editor(*rig.store, std::nullopt);
    editor.typePicker()->setCurrentIndex(1);
    editor.heardField()->setText(QStringLiteral("cloud code"));
    const QString word = QStringLiteral("Claude Code 12");
    int step = 0;
    for (auto _ : state) {
        const int length = step % 28 < 14 ? step % 14 + 1 : 14 - step % 14 - 1;
        ++step;
        const auto started = Clock::now();
        editor.phraseField()->setText(word.left(length));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - started).count());
    }
}
BENCHMARK(BM_DictionaryEditorKeystroke)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(280);

// The twelve images of --snapshot, drawn and written; the command adds the process start to this.
void BM_SnapshotImages(benchmark::State& state)
{
    QTemporaryDir folder;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Snapshot::render(folder.path()));
    }
}
BENCHMARK(BM_SnapshotImages)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
} // namespace sayloom

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return sayloom::runRegisteredBenchmarks(argc, argv);
}
