#pragma once

#include "TimedLines.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace sayloom {

// The sayloom application itself, run as a user would start it (no arguments), with what it prints on standard
// output and standard error read as one stream of lines. Its log lines tell when it is ready and, with the
// application's debug lines on, each phase of a dictation.
class AppProcess final {
public:
    using Clock = TimedLines::Clock;

    AppProcess(const QString& program, const QProcessEnvironment& environment);
    AppProcess(const AppProcess&) = delete;
    AppProcess& operator=(const AppProcess&) = delete;
    // Kills it if it still runs, so a failed test leaves nothing behind.
    ~AppProcess();

    void start();
    Clock::time_point startedAt() const { return m_startedAt; }
    qint64 pid() const { return m_process.processId(); }
    TimedLines& output() { return m_output; }

    // The moment the readiness line was read; nothing when the program ends or `patience` runs out first.
    std::optional<Clock::time_point> waitUntilReady(std::chrono::milliseconds patience);
    // The placeholder of a build without the application said so instead of starting it.
    bool isPlaceholder() const;

    // The phases logged so far, in order: "recording", "transcribing", "idle", "error: <message>".
    QStringList phases() const;
    // Waits until the phase logged as number `index` (from 0) is there and returns it; empty when it does not come.
    QString waitForPhase(qsizetype index, std::chrono::milliseconds patience);

    // Asks it to quit with SIGTERM and waits; its exit status, or nothing when it crashed or did not end in time.
    std::optional<int> terminate(std::chrono::milliseconds patience);

private:
    QProcess m_process;
    TimedLines m_output{m_process};
    Clock::time_point m_startedAt;
};

} // namespace sayloom
