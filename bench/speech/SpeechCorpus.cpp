// The speech benchmark: Sayloom's recogniser against pocketsphinx's own batch decoder on a synthesised corpus.
// It takes minutes, so it is no `*_benchmark` program and neither `make bench` nor CTest runs it:
//
//   BUILD_DIR/bench/speech/speech_corpus [--corpus DIR] [--limit N] [--latency-files N] [--vocabulary-only]
//
//   --corpus DIR       where scripts/make-speech-corpus writes the corpus (default: corpus/ beside this program);
//                      files already there are reused
//   --limit N          only the first N sentences of each set
//   --latency-files N  how many files (spread over the set) are streamed in real time to time the finalisation;
//                      default 24, 0 for all
//   --vocabulary-only  only the product-name sentences
//
// Dictation set, per file: `sayloom --transcribe FILE` (word error rate; real-time factor from its "took:" line
// less the model load), `pocketsphinx_continuous -infile` on the file converted to 16 kHz mono (the same model,
// Debian's en-us defaults; real-time factor from its run time less its model load), and for some files the file
// streamed through SphinxEngine at the pace a microphone delivers it, to time the finalisation: from the end of
// the stream to the returned transcript. Vocabulary set: each file through `sayloom --transcribe` without a
// dictionary and with one that lists the set's product names, counting the names that come out right.
//
// Results are grouped overall, by voice, by rate and channels and by noise, and the targets are reported (not
// asserted): word error rate no worse than the batch decoder's, real-time factor at most 0.3, median finalisation
// latency at most 100 ms, and with vocabulary at least half the product names.

#include "CorpusAudio.h"
#include "WordErrorRate.h"
#include "speech/SphinxEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

using namespace sayloom;
using namespace Qt::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    QString corpus;
    int limit = 0;
    int latencyFiles = 24;
    bool vocabularyOnly = false;
};

struct Entry {
    QString file;
    QString voice;
    QString rate;
    QString noise;
    QString reference;
    QStringList products;
};

void print(const QString& line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

QList<Entry> readManifest(const QString& folder)
{
    QList<Entry> entries;
    QFile file(folder + u"/manifest.tsv");
    if (!file.open(QIODevice::ReadOnly)) {
        return entries;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(u'\t');
        if (fields.size() < 5) {
            continue;
        }
        Entry entry{folder + u'/' + fields[0], fields[1], fields[2], fields[3], fields[4], {}};
        if (fields.size() > 5) {
            entry.products = fields[5].split(u'|', Qt::SkipEmptyParts);
        }
        entries.append(entry);
    }
    return entries;
}

struct Run {
    bool ok = false;
    QString output;
    QString error;
    double seconds = 0;
};

Run run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment = {})
{
    QProcess process;
    if (!environment.isEmpty()) {
        process.setProcessEnvironment(environment);
    }
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    const bool finished = process.waitForFinished(300'000);
    Run result;
    result.seconds = double(timer.nsecsElapsed()) / 1e9;
    result.ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.error = QString::fromUtf8(process.readAllStandardError());
    return result;
}

double median(std::vector<double> values)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(fraction * double(values.size() - 1) + 0.5))];
}

// Totals of one group of files.
struct Group {
    int files = 0;
    int referenceWords = 0;
    int sayloomEdits = 0;
    int batchEdits = 0;
    double audioSeconds = 0;
    double sayloomSeconds = 0;
    double batchSeconds = 0;
    std::vector<double> latencies;
    int names = 0;
    int namesWithout = 0;
    int namesWith = 0;
    int editsWithout = 0;
    int editsWith = 0;
};

QStringList groupsOf(const Entry& entry)
{
    return {u"overall"_s, u"voice " + entry.voice, u"rate " + entry.rate, u"noise " + entry.noise};
}

// Overall first, then the voices, the rates and the noise, each in name order.
std::vector<std::pair<QString, Group>> inPrintOrder(const std::map<QString, Group>& groups)
{
    const auto rank = [](const QString& name) {
        const QStringList order{u"overall"_s, u"voice"_s, u"rate"_s, u"noise"_s};
        return order.indexOf(name.section(u' ', 0, 0));
    };
    std::vector<std::pair<QString, Group>> result(groups.begin(), groups.end());
    std::stable_sort(result.begin(), result.end(),
                     [&](const auto& a, const auto& b) { return rank(a.first) < rank(b.first); });
    return result;
}

QString percent(int part, int whole)
{
    return whole ? QString::number(100.0 * part / whole, 'f', 1) + u'%' : u"-"_s;
}

QString fixed(double value, int decimals = 3)
{
    return QString::number(value, 'f', decimals);
}

QString column(const QString& text, int width)
{
    return text.leftJustified(width, u' ');
}

class Benchmark {
public:
    explicit Benchmark(Options options)
        : m_options(std::move(options))
    {
    }

    QCoro::Task<int> run()
    {
        if (!makeCorpus(u"dictation"_s) || !makeCorpus(u"vocabulary"_s)) {
            co_return 1;
        }
        QElapsedTimer loading;
        loading.start();
        QCoro::Task<> preparing = m_engine.prepare();
        co_await preparing;
        m_engineLoad = double(loading.nsecsElapsed()) / 1e9;
        m_batchLoad = batchLoad();
        print(u"model load: Sayloom %1 s, pocketsphinx_continuous %2 s (taken off each run's time)"_s.arg(
                fixed(m_engineLoad), fixed(m_batchLoad)));

        if (!m_options.vocabularyOnly) {
            QCoro::Task<> dictation = runDictation();
            co_await dictation;
        }
        QCoro::Task<> vocabulary = runVocabulary();
        co_await vocabulary;
        co_return 0;
    }

private:
    bool makeCorpus(const QString& set)
    {
        QStringList arguments{u"--set"_s, set};
        if (m_options.limit > 0) {
            arguments << u"--limit"_s << QString::number(m_options.limit);
        }
        arguments << m_options.corpus + u'/' + set;
        QProcess script;
        script.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        script.start(QStringLiteral(SAYLOOM_SOURCE_DIR "/scripts/make-speech-corpus"), arguments);
        if (!script.waitForFinished(-1) || script.exitCode() != 0) {
            print(u"make-speech-corpus failed for the " + set + u" set"_s);
            return false;
        }
        return true;
    }

    // pocketsphinx_continuous on half a second of silence: what each of its runs spends before decoding.
    double batchLoad()
    {
        const QString silence = m_work.filePath(u"silence.wav"_s);
        ::run(u"sox"_s,
              {u"-n"_s, u"-r"_s, u"16000"_s, u"-c"_s, u"1"_s, u"-b"_s, u"16"_s, silence, u"trim"_s, u"0"_s, u"0.5"_s});
        std::vector<double> times;
        for (int i = 0; i < 3; ++i) {
            times.push_back(::run(u"pocketsphinx_continuous"_s, {u"-infile"_s, silence}).seconds);
        }
        return median(times);
    }

    struct Transcript {
        QString text;
        double seconds = 0;
        bool ok = false;
    };

    // `sayloom --transcribe` with the data folder `home`: "home" has no dictionary, so no vocabulary, as for the
    // batch decoder.
    Transcript sayloom(const Entry& entry, const QString& home = u"home"_s)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_DATA_HOME"_s, m_work.filePath(home));
        environment.insert(u"XDG_CONFIG_HOME"_s, m_work.filePath(home + u"/config"_s));
        environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
        const Run result = ::run(QStringLiteral(SAYLOOM_EXECUTABLE), {u"--transcribe"_s, entry.file}, environment);
        Transcript transcript;
        static const QRegularExpression raw(u"^raw:      (.*)$"_s, QRegularExpression::MultilineOption);
        static const QRegularExpression took(u"^took:     ([0-9.]+) seconds$"_s, QRegularExpression::MultilineOption);
        const QRegularExpressionMatch rawMatch = raw.match(result.output);
        const QRegularExpressionMatch tookMatch = took.match(result.output);
        if (!result.ok || !rawMatch.hasMatch() || !tookMatch.hasMatch()) {
            print(u"  sayloom failed on " + entry.file + u": " + result.error.trimmed());
            return transcript;
        }
        transcript.text = rawMatch.captured(1);
        transcript.seconds = std::max(0.0, tookMatch.captured(1).toDouble() - m_engineLoad);
        transcript.ok = true;
        return transcript;
    }

    Transcript batch(const Entry& entry)
    {
        const QString converted = m_work.filePath(u"batch.wav"_s);
        Transcript transcript;
        if (!::run(u"sox"_s, {entry.file, u"-r"_s, u"16000"_s, u"-c"_s, u"1"_s, u"-b"_s, u"16"_s, converted}).ok) {
            print(u"  sox failed on " + entry.file);
            return transcript;
        }
        const Run result = ::run(u"pocketsphinx_continuous"_s, {u"-infile"_s, converted});
        if (!result.ok) {
            print(u"  pocketsphinx_continuous failed on " + entry.file);
            return transcript;
        }
        // One line per utterance the decoder found.
        transcript.text = result.output.split(u'\n', Qt::SkipEmptyParts).join(u' ');
        transcript.seconds = std::max(0.0, result.seconds - m_batchLoad);
        transcript.ok = true;
        return transcript;
    }

    QCoro::Task<> runDictation()
    {
        const QList<Entry> entries = readManifest(m_options.corpus + u"/dictation"_s);
        const qsizetype every = m_options.latencyFiles <= 0 || m_options.latencyFiles >= entries.size()
                                        ? 1
                                        : entries.size() / m_options.latencyFiles;
        std::map<QString, Group> groups;
        print(u"\ndictation set: %1 files"_s.arg(entries.size()));
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const Entry& entry = entries[i];
            const CorpusAudio audio = CorpusAudio::load(entry.file);
            const QStringList reference = WordErrorRate::words(entry.reference);
            const Transcript ours = sayloom(entry);
            const Transcript theirs = batch(entry);
            std::optional<double> latency;
            if (i % every == 0) {
                QCoro::Task<std::optional<double>> timing = audio.finalisationSeconds(m_engine);
                latency = co_await timing;
            }
            const int ourEdits = WordErrorRate::editDistance(reference, WordErrorRate::words(ours.text));
            const int theirEdits = WordErrorRate::editDistance(reference, WordErrorRate::words(theirs.text));
            print(u"  %1  ours %2/%3  batch %4/%3%5"_s.arg(QFileInfo(entry.file).fileName())
                          .arg(ourEdits)
                          .arg(reference.size())
                          .arg(theirEdits)
                          .arg(latency ? u"  finalised in %1 ms"_s.arg(fixed(*latency * 1000, 1)) : QString()));
            if (ourEdits > theirEdits) {
                // Where the engine falls behind, what each heard, for whoever tunes it.
                print(u"    ours:  " + ours.text);
                print(u"    batch: " + theirs.text);
            }
            for (const QString& name : groupsOf(entry)) {
                Group& group = groups[name];
                group.files += 1;
                group.referenceWords += int(reference.size());
                group.sayloomEdits += ourEdits;
                group.batchEdits += theirEdits;
                group.audioSeconds += audio.seconds();
                group.sayloomSeconds += ours.seconds;
                group.batchSeconds += theirs.seconds;
                if (latency) {
                    group.latencies.push_back(*latency);
                }
            }
        }

        print(u"\n"_s + column(u"group"_s, 22) + column(u"files"_s, 7) + column(u"audio s"_s, 9) +
              column(u"WER ours"_s, 10) + column(u"WER batch"_s, 11) + column(u"RTF ours"_s, 10) +
              column(u"RTF batch"_s, 11) + u"finalisation ms: median p90 max (n)"_s);
        for (const auto& [name, group] : inPrintOrder(groups)) {
            print(column(name, 22) + column(QString::number(group.files), 7) + column(fixed(group.audioSeconds, 1), 9) +
                  column(percent(group.sayloomEdits, group.referenceWords), 10) +
                  column(percent(group.batchEdits, group.referenceWords), 11) +
                  column(fixed(group.sayloomSeconds / group.audioSeconds), 10) +
                  column(fixed(group.batchSeconds / group.audioSeconds), 11) +
                  (group.latencies.empty()
                           ? u"-"_s
                           : u"%1 %2 %3 (%4)"_s
                                     .arg(fixed(median(group.latencies) * 1000, 1),
                                          fixed(percentile(group.latencies, 0.9) * 1000, 1),
                                          fixed(*std::max_element(group.latencies.begin(), group.latencies.end()) *
                                                        1000,
                                                1))
                                     .arg(group.latencies.size())));
        }
        const Group& overall = groups[u"overall"_s];
        print(u"\ntargets:"_s);
        print(u"  WER no worse than the batch decoder's: %1 vs %2  %3"_s.arg(
                percent(overall.sayloomEdits, overall.referenceWords),
                percent(overall.batchEdits, overall.referenceWords),
                overall.sayloomEdits <= overall.batchEdits ? u"met"_s : u"MISSED"_s));
        const double rtf = overall.sayloomSeconds / overall.audioSeconds;
        print(u"  real-time factor at most 0.3: %1  %2"_s.arg(fixed(rtf), rtf <= 0.3 ? u"met"_s : u"MISSED"_s));
        const double latency = median(overall.latencies) * 1000;
        print(u"  median finalisation latency at most 100 ms: %1 ms  %2"_s.arg(
                fixed(latency, 1), latency <= 100 ? u"met"_s : u"MISSED"_s));
    }

    QCoro::Task<> runVocabulary()
    {
        const QList<Entry> entries = readManifest(m_options.corpus + u"/vocabulary"_s);
        // The whole set's names, as a user's dictionary would list them.
        QStringList vocabulary;
        for (const Entry& entry : entries) {
            for (const QString& product : entry.products) {
                if (!vocabulary.contains(product)) {
                    vocabulary.append(product);
                }
            }
        }
        // The names go in through a dictionary file, the way a user's words reach `--transcribe`; one process per
        // take, so no take inherits words an earlier one added to the decoder.
        const QString dictionaryFolder = m_work.filePath(u"vocabulary-home/Sayloom"_s);
        QDir().mkpath(dictionaryFolder);
        QFile dictionary(dictionaryFolder + u"/Dictionary.txt"_s);
        if (!dictionary.open(QIODevice::WriteOnly) || dictionary.write((vocabulary.join(u'\n') + u'\n').toUtf8()) < 0) {
            print(u"cannot write "_s + dictionary.fileName());
            co_return;
        }
        dictionary.close();
        print(u"\nvocabulary set: %1 files, %2 names as vocabulary"_s.arg(entries.size()).arg(vocabulary.size()));
        std::map<QString, Group> groups;
        for (const Entry& entry : entries) {
            const CorpusAudio audio = CorpusAudio::load(entry.file);
            const QStringList reference = WordErrorRate::words(entry.reference);
            const Transcript plain = sayloom(entry);
            const Transcript biased = sayloom(entry, u"vocabulary-home"_s);
            const QStringList plainWords = WordErrorRate::words(plain.text);
            const QStringList biasedWords = WordErrorRate::words(biased.text);
            int without = 0;
            int with = 0;
            for (const QString& product : entry.products) {
                without += WordErrorRate::mentions(plainWords, WordErrorRate::words(product)) ? 1 : 0;
                with += WordErrorRate::mentions(biasedWords, WordErrorRate::words(product)) ? 1 : 0;
            }
            print(u"  %1  %2: without \"%3\", with \"%4\""_s.arg(
                    QFileInfo(entry.file).fileName(), entry.products.join(u", "_s), plain.text, biased.text));
            for (const QString& name : groupsOf(entry)) {
                Group& group = groups[name];
                group.files += 1;
                group.names += int(entry.products.size());
                group.namesWithout += without;
                group.namesWith += with;
                group.referenceWords += int(reference.size());
                group.editsWithout += WordErrorRate::editDistance(reference, plainWords);
                group.editsWith += WordErrorRate::editDistance(reference, biasedWords);
                group.audioSeconds += audio.seconds();
                group.sayloomSeconds += biased.seconds;
            }
        }
        print(u"\n"_s + column(u"group"_s, 22) + column(u"files"_s, 7) + column(u"names without"_s, 15) +
              column(u"names with"_s, 12) + column(u"WER without"_s, 13) + column(u"WER with"_s, 10) + u"RTF with"_s);
        for (const auto& [name, group] : inPrintOrder(groups)) {
            print(column(name, 22) + column(QString::number(group.files), 7) +
                  column(u"%1/%2"_s.arg(group.namesWithout).arg(group.names), 15) +
                  column(u"%1/%2"_s.arg(group.namesWith).arg(group.names), 12) +
                  column(percent(group.editsWithout, group.referenceWords), 13) +
                  column(percent(group.editsWith, group.referenceWords), 10) +
                  fixed(group.sayloomSeconds / group.audioSeconds));
        }
        const Group& overall = groups[u"overall"_s];
        print(u"\ntarget: at least half the names with vocabulary: %1/%2 (without: %3/%2)  %4"_s.arg(overall.namesWith)
                      .arg(overall.names)
                      .arg(overall.namesWithout)
                      .arg(2 * overall.namesWith >= overall.names ? u"met"_s : u"MISSED"_s));
    }

    Options m_options;
    SphinxEngine m_engine;
    QTemporaryDir m_work;
    double m_engineLoad = 0;
    double m_batchLoad = 0;
};

std::optional<Options> parse(const QStringList& arguments)
{
    Options options;
    options.corpus = QCoreApplication::applicationDirPath() + u"/corpus"_s;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == u"--corpus" && hasValue) {
            options.corpus = arguments[++i];
        } else if (argument == u"--limit" && hasValue) {
            options.limit = arguments[++i].toInt();
        } else if (argument == u"--latency-files" && hasValue) {
            options.latencyFiles = arguments[++i].toInt();
        } else if (argument == u"--vocabulary-only") {
            options.vocabularyOnly = true;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    // The engine's notes on each take would bury the results.
    QLoggingCategory::setFilterRules(u"app.sayloom.speech.debug=false\napp.sayloom.speech.info=false"_s);
    const std::optional<Options> options = parse(QCoreApplication::arguments());
    if (!options) {
        std::fputs("usage: speech_corpus [--corpus DIR] [--limit N] [--latency-files N] [--vocabulary-only]\n", stderr);
        return 2;
    }
    Benchmark benchmark(*options);
    QTimer::singleShot(0, &application, [&benchmark] {
        [](Benchmark& running) -> QCoro::Task<> {
            int status = 1;
            try {
                QCoro::Task<int> task = running.run();
                status = co_await task;
            } catch (const std::exception& error) {
                print(u"failed: "_s + QString::fromUtf8(error.what()));
            }
            QCoreApplication::exit(status);
        }(benchmark);
    });
    return QCoreApplication::exec();
}
