#pragma once

#include <QList>
#include <QProcess>
#include <QString>

#include <chrono>
#include <functional>

namespace sayloom {

// The lines a program prints on its standard output, each with the moment this process read it. The reading
// happens in the event loop, so the moments are as good as the loop is attentive (`waitUntil` sleeps in it).
class TimedLines final {
public:
    using Clock = std::chrono::steady_clock;
    struct Line {
        QString text;
        Clock::time_point at;
    };

    explicit TimedLines(QProcess& process);
    TimedLines(const TimedLines&) = delete;
    TimedLines& operator=(const TimedLines&) = delete;

    const QList<Line>& lines() const { return m_lines; }
    // The first line from index `from` on that `matches`, waiting for it up to `patience`; -1 when none comes in
    // time or the program ends first.
    qsizetype waitFor(const std::function<bool(const QString&)>& matches, qsizetype from,
                      std::chrono::milliseconds patience);
    // Everything read so far, for failure messages.
    QString joined() const;

private:
    void read();

    QProcess& m_process;
    QList<Line> m_lines;
};

} // namespace sayloom
