#pragma once

#include "TimedLines.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <chrono>
#include <optional>

namespace sayloom {

// The window a dictation goes into: the X11 tests' window program (a text field that reports each key it gets as
// "key <sequence>" and each change of its text as "text <hex UTF-8>", and works the clipboard on command, as any
// other program would).
class TargetWindow final {
public:
    TargetWindow(const QString& program, const QProcessEnvironment& environment);
    TargetWindow(const TargetWindow&) = delete;
    TargetWindow& operator=(const TargetWindow&) = delete;
    ~TargetWindow();

    // Starts it and waits until it says it is up.
    bool start(std::chrono::milliseconds patience);
    qint64 pid() const { return m_pid; }
    TimedLines& output() { return m_output; }

    // The text of its field as last reported.
    QString text() const;
    // The index of each paste keystroke (Ctrl+V) among its lines.
    QList<qsizetype> pasteKeystrokes() const;

    // Puts `text` on the clipboard as this program's own.
    bool copy(const QString& text, std::chrono::milliseconds patience);
    // The plain text on the clipboard as this program sees it; nothing when it does not answer in time.
    std::optional<QString> clipboardText(std::chrono::milliseconds patience);

private:
    QProcess m_process;
    TimedLines m_output{m_process};
    qint64 m_pid = 0;
};

} // namespace sayloom
