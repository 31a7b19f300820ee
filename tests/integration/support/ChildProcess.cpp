#include "ChildProcess.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTimer>

#include <csignal>
#include <sys/prctl.h>

namespace sayloom {

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds patience)
{
    // Wakes the loop now and then, so `done` is looked at even when no event comes.
    QTimer tick;
    tick.start(5);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

ChildProcess::ChildProcess(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { read(); });
    QObject::connect(&m_process, &QProcess::finished, [this] { read(); });
    m_process.start(program, arguments);
}

ChildProcess::~ChildProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

void ChildProcess::read()
{
    const auto now = Clock::now();
    // A last line without its line break still counts once the program has ended.
    while (m_process.canReadLine() || (m_process.state() == QProcess::NotRunning && m_process.bytesAvailable() > 0)) {
        m_lines.append({QString::fromUtf8(m_process.readLine()).trimmed(), now});
    }
}

qsizetype ChildProcess::waitFor(const QString& pattern, qsizetype from)
{
    const QRegularExpression expression(pattern);
    qsizetype found = -1;
    waitUntil([&] {
        for (; found < 0 && from < m_lines.size(); ++from) {
            found = expression.match(m_lines[from].text).hasMatch() ? from : -1;
        }
        return found >= 0 || m_process.state() == QProcess::NotRunning;
    });
    return found;
}

QString ChildProcess::joined() const
{
    QStringList texts;
    for (const Line& line : m_lines) {
        texts << line.text;
    }
    return texts.join(u'\n');
}

std::optional<int> ChildProcess::terminate()
{
    m_process.terminate();
    if (!waitUntil([this] { return m_process.state() == QProcess::NotRunning; }) ||
        m_process.exitStatus() != QProcess::NormalExit) {
        return std::nullopt;
    }
    return m_process.exitCode();
}

} // namespace sayloom
