// What a user waits for, measured on the whole application on a private desktop (Xvfb with openbox, PulseAudio with
// a virtual microphone): from letting go of the trigger key to the paste keystroke reaching the window and to the
// text being in it, over takes of synthesised speech spoken at a microphone's pace; from starting sayloom to its
// readiness; and the memory it keeps once idle, with the speech model's share. Skips without Xvfb or PulseAudio.
//
//   latency_benchmark [--takes N]   (20 takes unless told; other arguments are ignored)
#include "integration/support/AudioSignals.h"
#include "integration/support/DictationRig.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace sayloom;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto patience = 60s;
constexpr int starts = 3;
const QString sentence = u"please send the quarterly report"_s;

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Nearest rank: the smallest value with at least `share` of the values at or below it.
double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const auto rank = std::size_t(std::ceil(share * double(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

void printFigure(const char* what, const std::vector<double>& values, const char* target)
{
    if (values.empty()) {
        std::printf("%-30s no measurement\n", what);
        return;
    }
    std::printf("%-30s median %6.0f ms   p90 %6.0f ms   (%zu; %s)\n", what, percentile(values, 0.5),
                percentile(values, 0.9), values.size(), target);
}

std::optional<long> residentKiB(qint64 pid)
{
    QFile status(u"/proc/"_s + QString::number(pid) + u"/status"_s);
    if (!status.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return std::nullopt;
}

// The most memory a run of sayloom with these arguments held at once, as the kernel counted it. A helper process
// starts and waits for it, since Qt may reap this process's children before wait4 can ask about them.
std::optional<long> peakResidentKiB(const QStringList& arguments, const QProcessEnvironment& environment)
{
    std::vector<QByteArray> storage{QByteArray(SAYLOOM_EXECUTABLE)};
    for (const QString& argument : arguments) {
        storage.push_back(argument.toLocal8Bit());
    }
    const std::size_t argumentCount = storage.size();
    for (const QString& variable : environment.toStringList()) {
        storage.push_back(variable.toLocal8Bit());
    }
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (std::size_t i = 0; i < storage.size(); ++i) {
        (i < argumentCount ? argv : envp).push_back(storage[i].data());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    int answer[2];
    if (::pipe(answer) != 0) {
        return std::nullopt;
    }
    if (::fork() == 0) {
        // Only async-signal-safe calls from here on.
        ::signal(SIGCHLD, SIG_DFL);
        long peak = -1;
        pid_t child = 0;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        int status = 0;
        rusage usage{};
        if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0 &&
            ::wait4(child, &status, 0, &usage) == child) {
            peak = usage.ru_maxrss;
        }
        [[maybe_unused]] const ssize_t written = ::write(answer[1], &peak, sizeof peak);
        ::_exit(0);
    }
    ::close(answer[1]);
    long peak = -1;
    pollfd ready{answer[0], POLLIN, 0};
    const bool read = ::poll(&ready, 1, int(std::chrono::milliseconds(patience).count())) == 1 &&
                      ::read(answer[0], &peak, sizeof peak) == sizeof peak;
    ::close(answer[0]);
    return read && peak > 0 ? std::optional(peak) : std::nullopt;
}

struct Take {
    std::optional<double> keystroke;
    std::optional<double> text;
    std::optional<double> commit;
};

// One hold-to-talk take; the times are from the release of the key.
Take dictate(DictationRig& rig, TestWindow& window, const std::vector<float>& speech)
{
    Take take;
    const qsizetype from = rig.phases().size();
    rig.trigger(true);
    if (rig.waitForPhases(from, 1).value(0) != u"recording" || !rig.speak(speech)) {
        rig.trigger(false);
        return take;
    }
    const qsizetype fromLine = window.output().lines().size();
    const qsizetype fromLog = rig.app().lines().size();
    const Clock::time_point released = Clock::now();
    rig.trigger(false);
    const auto since = [&](ChildProcess& process, const QString& pattern, qsizetype first) {
        const qsizetype line = process.waitFor(pattern, first);
        return line < 0 ? std::nullopt : std::optional(milliseconds(process.lines()[line].at - released));
    };
    take.commit = since(rig.app(), u"phase transcribing$"_s, fromLog);
    take.keystroke = since(window.output(), u"^key Ctrl\\+V$"_s, fromLine);
    take.text = since(window.output(), u"^text "_s, fromLine);
    rig.waitForPhases(from, 3);
    return take;
}

int run(int argc, char* argv[])
{
    int takes = 20;
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--takes") == 0) {
            takes = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    DictationRig rig;
    QString error;
    if (!rig.start(&error)) {
        std::printf("latency benchmark skipped: %s\n", qPrintable(error));
        return 0;
    }
    const std::vector<float> speech = AudioSignals::spokenSentence(sentence, rig.home(), &error);
    if (speech.empty()) {
        std::printf("latency benchmark skipped: %s\n", qPrintable(error));
        return 0;
    }
    rig.writeDictionary("quarterly report -> Q4 Report\n");

    // A few starts; the last one stays for the takes.
    std::vector<double> startup;
    for (int i = 0; i < starts; ++i) {
        if (i > 0 && rig.app().terminate() != 0) {
            std::fprintf(stderr, "sayloom did not quit cleanly:\n%s\n", qPrintable(rig.app().joined()));
            return 1;
        }
        const std::optional<Clock::duration> ready = rig.launch();
        if (!ready) {
            std::fprintf(stderr, "sayloom did not get ready:\n%s\n", qPrintable(rig.app().joined()));
            return 1;
        }
        startup.push_back(milliseconds(*ready));
    }
    const std::unique_ptr<TestWindow> window = rig.openWindow();
    if (!window) {
        std::fprintf(stderr, "the target window did not get the focus\n");
        return 1;
    }

    // Growth after the first take would be a leak; the first take itself sets the recogniser up for the vocabulary.
    const std::optional<long> ready = residentKiB(rig.app().pid());
    std::optional<long> afterFirst;
    std::vector<double> keystroke, text, commit;
    for (int i = 0; i < takes; ++i) {
        const Take take = dictate(rig, *window, speech);
        if (i == 0) {
            afterFirst = residentKiB(rig.app().pid());
        }
        for (auto [figure, values] :
             {std::pair{take.keystroke, &keystroke}, {take.text, &text}, {take.commit, &commit}}) {
            if (figure) {
                values->push_back(*figure);
            }
        }
    }
    const std::optional<long> idle = residentKiB(rig.app().pid());

    // The model's share: a developer command that loads it (transcribing half a second of silence) against one
    // that does not (applying the dictionary), both as the application would run them.
    const QString silence = rig.home() + u"/silence.wav"_s;
    QProcess::execute(u"sox"_s, {u"-n"_s, u"-r"_s, u"16000"_s, u"-c"_s, u"1"_s, silence, u"trim"_s, u"0"_s, u"0.5"_s});
    const std::optional<long> withModel = peakResidentKiB({u"--transcribe"_s, silence}, rig.appEnvironment());
    const std::optional<long> withoutModel = peakResidentKiB({u"--correct"_s, sentence}, rig.appEnvironment());
    const std::optional<int> exitStatus = rig.app().terminate();

    std::printf("%d takes of \"%s\" (%.1f s of speech each), hold to talk, into a focused window\n", takes,
                qPrintable(sentence), double(speech.size()) / 16000.0);
    printFigure("release -> commit (logged)", commit, "the trigger's report");
    printFigure("release -> paste keystroke", keystroke, "target: median <= 350, p90 <= 450");
    printFigure("release -> text in window", text, "target: median <= 350, p90 <= 450");
    printFigure("start -> ready", startup, "target <= 1500");
    if (text.size() < std::size_t(takes)) {
        std::printf("takes that put no text in the window: %zu\n", std::size_t(takes) - text.size());
    }
    if (ready && afterFirst && idle) {
        std::printf("%-30s %6.1f MiB VmRSS (%.1f MiB when ready, %.1f MiB after the first take)\n",
                    "resident when idle after them", double(*idle) / 1024.0, double(*ready) / 1024.0,
                    double(*afterFirst) / 1024.0);
    }
    if (withModel && withoutModel) {
        std::printf("%-30s %6.1f MiB (peak RSS of `--transcribe` of 0.5 s of silence, %.1f MiB, less that of "
                    "`--correct`, %.1f MiB)\n",
                    "  of which the speech model", double(*withModel - *withoutModel) / 1024.0,
                    double(*withModel) / 1024.0, double(*withoutModel) / 1024.0);
    }
    if (exitStatus != 0) {
        std::fprintf(stderr, "sayloom did not quit cleanly:\n%s\n", qPrintable(rig.app().joined()));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    return run(argc, argv);
}
