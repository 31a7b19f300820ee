#include "cli/DevCommand.h"

#include "audio/AudioDevices.h"
#include "audio/AudioRecorder.h"
#include "base/AppPaths.h"
#include "cli/AudioFile.h"
#include "cli/Output.h"
#include "dictionary/DictionaryCorrector.h"
#include "dictionary/DictionaryFile.h"
#include "dictionary/DictionarySelfTest.h"
#include "session/Preferences.h"
#include "session/QSettingsStore.h"
#include "speech/ServerSpeechEngine.h"
#include "speech/SphinxEngine.h"
#include "text/AIPolisher.h"
#include "text/LocalLanguageModel.h"

#include <QCoroTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <mutex>

namespace sayloom {

namespace {

using namespace Qt::StringLiterals;

int correct(const QString& text)
{
    QList<DictionaryEntry> entries;
    if (const std::optional<QString> file = DictionaryFile::readText(AppPaths::dictionary())) {
        entries = DictionaryFile::parse(*file);
    }
    const DictionaryCorrector::Result result = DictionaryCorrector(entries).apply(text);
    Output::printLine(u"corrected: " + result.text);
    for (const AppliedCorrection& correction : result.corrections) {
        Output::printLine(u"  " + correction.heard + u" -> " + correction.written);
    }
    return 0;
}

// Every phrase of the dictionary file in file order, words and corrections alike; read afresh on every call.
QStringList dictionaryTerms()
{
    QStringList terms;
    if (const std::optional<QString> file = DictionaryFile::readText(AppPaths::dictionary())) {
        for (const DictionaryEntry& entry : DictionaryFile::parse(*file)) {
            terms.append(entry.phrase);
        }
    }
    return terms;
}

QCoro::Task<> polishAndPrint(QString text, std::optional<QString> bundleIdentifier)
{
    QSettingsStore settings;
    auto model = std::make_shared<LocalLanguageModel>(Preferences(settings).languageModel());
    AIPolisher polisher(model);
    Output::printLine(Output::label(u"ai:"_s) + availabilityText(co_await model->probe()));

    const auto start = std::chrono::steady_clock::now();
    const PolishContext context{std::move(bundleIdentifier), dictionaryTerms()};
    const QString polished = co_await polisher.polish(std::move(text), context);
    Output::printLine(Output::label(u"polished:"_s) + polished);
    Output::printLine(Output::label(u"took:"_s) + Output::seconds(std::chrono::steady_clock::now() - start));
}

// A failure that ends a command, with the text the user sees.
struct CommandFailure {
    QString description;
};

using Clock = std::chrono::steady_clock;

QCoro::Task<> transcribeFile(QString path, bool polish)
{
    const auto start = Clock::now();
    std::variant<AudioFile::Streamed, QString> file = AudioFile::stream(path);
    if (const auto* error = std::get_if<QString>(&file)) {
        throw CommandFailure{*error};
    }
    auto& [stream, format, duration] = std::get<AudioFile::Streamed>(file);

    // The whole file is queued before the take ends, so the engine's finishing deadline also has to cover
    // decoding all of it; with only the microphone's allowance a long file would come back cut short.
    SphinxEngine::Options options;
    options.finalizeTimeout += duration;
    SphinxEngine sphinx(options);
    // The engine chosen in Settings, so that a speech server can be tried from a terminal.
    QSettingsStore settings;
    ServerSpeechEngine engine(sphinx, Preferences(settings).speechServer());
    QCoro::Task<> preparing = engine.prepare();
    co_await preparing;

    // Newest first, as a dictation hands them over: a speech server keeps the newest words when it has to cut.
    QStringList vocabulary = dictionaryTerms();
    std::reverse(vocabulary.begin(), vocabulary.end());
    QCoro::Task<QString> transcribing =
            engine.transcribe(std::move(stream), format, std::move(vocabulary), [](const QString&) {});
    const QString raw = co_await transcribing;
    Output::printLine(Output::label(u"raw:"_s) + raw);
    Output::printLine(Output::label(u"engine:"_s) + engine.lastTakeSource());
    Output::printLine(Output::label(u"took:"_s) + Output::seconds(Clock::now() - start));

    if (polish) {
        QCoro::Task<> polishing = polishAndPrint(raw, std::nullopt);
        co_await polishing;
    }
}

// Waits on the event loop for `seconds`, to the millisecond. Nothing to wait for when the value is not a positive
// finite number; very long waits go in steps a timer can take.
QCoro::Task<> waitFor(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0) {
        co_return;
    }
    constexpr double longestStep = 3600;
    const auto start = Clock::now();
    for (;;) {
        const double left = seconds - std::chrono::duration<double>(Clock::now() - start).count();
        if (left <= 0) {
            co_return;
        }
        QTimer timer;
        // A coarse timer may fire 5 % early or late: 200 ms of a four-second take.
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        timer.start(std::chrono::milliseconds(qint64(std::ceil(std::min(left, longestStep) * 1000))));
        co_await timer;
    }
}

// Names as a list, such as ["Built-in Microphone", "Headset (BT)"]; a quote or backslash inside a name is escaped
// so the list still reads unambiguously.
QString quotedList(const QStringList& names)
{
    QStringList quoted;
    for (QString name : names) {
        name.replace(u'\\', u"\\\\"_s).replace(u'"', u"\\\""_s);
        quoted.append(u'"' + name + u'"');
    }
    return u'[' + quoted.join(u", "_s) + u']';
}

// What the level callback sees on the capture thread, read by the command once the capture has stopped.
struct CaptureProbe {
    std::mutex peakMutex;
    float peak = 0;
    std::mutex firstAudioMutex;
    std::optional<Clock::time_point> firstAudio;

    void take(float level)
    {
        {
            const std::scoped_lock lock(peakMutex);
            if (level >= peak) {
                peak = level;
            }
        }
        const std::scoped_lock lock(firstAudioMutex);
        if (!firstAudio) {
            firstAudio = Clock::now();
        }
    }
};

QCoro::Task<> recordFromMicrophone(double seconds)
{
    SphinxEngine engine;
    QCoro::Task<> preparing = engine.prepare();
    co_await preparing;

    // The microphone chosen in Settings, so the command records from the device a dictation would use.
    QSettingsStore settings;
    const std::optional<AudioInputDevice> device = AudioDevices::resolve(Preferences(settings).microphone());
    QStringList names;
    for (const AudioInputDevice& listed : AudioDevices::inputDevices()) {
        names.append(Transport::isBluetooth(listed.transport) ? listed.name + u" (BT)" : listed.name);
    }
    Output::printLine(Output::label(u"devices:"_s) + quotedList(names));
    Output::printLine(Output::label(u"mic:"_s) + (device ? device->name : u"system default"_s));

    AudioRecorder recorder;
    const auto probe = std::make_shared<CaptureProbe>();
    recorder.setOnLevel([probe](float level) { probe->take(level); });
    const auto captureStart = Clock::now();
    std::variant<AudioRecorder::Recording, AudioRecorderError> started = recorder.start(device);
    if (const auto* error = std::get_if<AudioRecorderError>(&started)) {
        throw CommandFailure{error->description()};
    }
    auto& [stream, format] = std::get<AudioRecorder::Recording>(started);
    Output::printLine(Output::label(u"format:"_s) + format.description());
    Output::printLine(u"recording " + Output::shortest(seconds) + u"s \u2014 speak now\u2026");

    // The engine reads the take while the timer runs; dictionary terms play no part here.
    QCoro::Task<QString> transcribing = engine.transcribe(std::move(stream), format, {}, [](const QString&) {});
    QCoro::Task<> waiting = waitFor(seconds);
    co_await waiting;
    recorder.stop();
    const auto release = Clock::now();
    const QString raw = co_await transcribing;

    float peak = 0;
    std::optional<Clock::time_point> firstAudio;
    {
        const std::scoped_lock lock(probe->peakMutex);
        peak = probe->peak;
    }
    {
        const std::scoped_lock lock(probe->firstAudioMutex);
        firstAudio = probe->firstAudio;
    }
    Output::printLine(Output::label(u"peak:"_s) + Output::shortest(peak));
    Output::printLine(Output::label(u"startup:"_s) +
                      (firstAudio ? Output::seconds(*firstAudio - captureStart) : u"no audio"_s) + u" to first audio");
    Output::printLine(Output::label(u"raw:"_s) + raw);
    Output::printLine(Output::label(u"took:"_s) + Output::seconds(Clock::now() - release) + u" after release");
}

// Runs one command to its end; a failure is printed as the command's one error line.
QCoro::Task<int> reported(QCoro::Task<> command)
{
    try {
        co_await command;
        co_return 0;
    } catch (const CommandFailure& failure) {
        Output::printError(failure.description);
    } catch (const TranscriptionError& error) {
        Output::printError(error.description());
    } catch (const std::exception& error) {
        Output::printError(QString::fromUtf8(error.what()));
    }
    co_return 1;
}

int notAvailableYet(const char16_t* option)
{
    Output::printError(QString::fromUtf16(option) + u" is not available in this build yet");
    return 1;
}

} // namespace

std::optional<DevCommand> DevCommand::parse(const QStringList& arguments)
{
    if (arguments.isEmpty()) {
        return std::nullopt;
    }
    const QString& first = arguments.first();
    const qsizetype count = arguments.size();

    if (first == u"--transcribe" && count >= 2) {
        return DevCommand(Transcribe{arguments[1], arguments.contains(u"--polish")});
    }
    if (first == u"--polish" && count >= 2) {
        std::optional<QString> bundleIdentifier;
        const qsizetype app = arguments.indexOf(u"--app");
        if (app >= 0 && app + 1 < count) {
            bundleIdentifier = arguments[app + 1];
        }
        return DevCommand(Polish{arguments[1], bundleIdentifier});
    }
    if (first == u"--correct" && count >= 2) {
        return DevCommand(Correct{arguments[1]});
    }
    if (first == u"--snapshot" && count >= 2) {
        return DevCommand(Snapshot{arguments[1]});
    }
    if (first == u"--selftest") {
        return DevCommand(SelfTest{});
    }
    if (first == u"--record") {
        return DevCommand(
                Record{count >= 2 ? number(arguments[1]).value_or(defaultRecordSeconds) : defaultRecordSeconds});
    }
    return std::nullopt;
}

std::optional<double> DevCommand::number(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    // strtod would skip leading white space and honour the user's decimal separator; neither is wanted.
    if (bytes.isEmpty() || std::strchr(" \t\n\v\f\r", bytes.front()) != nullptr) {
        return std::nullopt;
    }
    static const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", locale_t(nullptr));
    const char* begin = bytes.constData();
    char* end = nullptr;
    const double value = strtod_l(begin, &end, cLocale);
    if (end != begin + bytes.size()) {
        return std::nullopt;
    }
    return value;
}

QCoro::Task<int> DevCommand::run() const
{
    if (const auto* command = std::get_if<Correct>(&m_case)) {
        co_return correct(command->text);
    }
    if (std::holds_alternative<SelfTest>(m_case)) {
        co_return DictionarySelfTest::run() ? 0 : 1;
    }
    if (const auto* command = std::get_if<Transcribe>(&m_case)) {
        QCoro::Task<int> transcribing = reported(transcribeFile(command->path, command->polish));
        co_return co_await transcribing;
    }
    if (const auto* command = std::get_if<Polish>(&m_case)) {
        QCoro::Task<int> polishing = reported(polishAndPrint(command->text, command->bundleIdentifier));
        co_return co_await polishing;
    }
    if (const auto* command = std::get_if<Record>(&m_case)) {
        QCoro::Task<int> recording = reported(recordFromMicrophone(command->seconds));
        co_return co_await recording;
    }
    co_return notAvailableYet(u"--snapshot");
}

} // namespace sayloom
