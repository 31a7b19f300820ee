#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace sayloom {

// Runs the event loop (child processes are read meanwhile) until `done`, for at most `patience`. Sleeps while nothing
// happens, so it leaves the processor to the programs under test, which are slow on a busy machine.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds patience = std::chrono::seconds(30));

// A program run beside a test, with what it prints on standard output and standard error read as one stream of lines,
// each with the moment this process read it (as exact as the event loop is attentive). It dies with this process,
// even when a crash or a timeout ends the test first.
class ChildProcess final {
public:
    using Clock = std::chrono::steady_clock;
    struct Line {
        QString text;
        Clock::time_point at;
    };

    ChildProcess(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    qint64 pid() const { return m_process.processId(); }
    void writeLine(const QByteArray& line) { m_process.write(line + '\n'); }

    const QList<Line>& lines() const { return m_lines; }
    // The index of the first line from `from` on that matches `pattern`, waiting for it; -1 when none comes in time
    // or the program ends first.
    qsizetype waitFor(const QString& pattern, qsizetype from = 0);
    // Everything read so far, for failure messages.
    QString joined() const;

    // Asks it to quit with SIGTERM and waits; its exit code, or nothing when it crashed or did not end in time.
    std::optional<int> terminate();

private:
    void read();

    QProcess m_process;
    QList<Line> m_lines;
};

} // namespace sayloom
