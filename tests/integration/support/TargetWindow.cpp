#include "TargetWindow.h"

#include <csignal>
#include <sys/prctl.h>

namespace sayloom {

TargetWindow::TargetWindow(const QString& program, const QProcessEnvironment& environment)
{
    m_process.setProgram(program);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

TargetWindow::~TargetWindow()
{
    // Its standard input closing tells it to quit.
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(2000)) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

bool TargetWindow::start(std::chrono::milliseconds patience)
{
    m_process.start();
    const qsizetype line =
            m_output.waitFor([](const QString& text) { return text.startsWith(u"ready "); }, 0, patience);
    m_pid = line < 0 ? 0 : m_output.lines()[line].text.section(u' ', 1).toLongLong();
    return m_pid > 0;
}

QString TargetWindow::text() const
{
    const QList<TimedLines::Line>& lines = m_output.lines();
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (line->text.startsWith(u"text ")) {
            return QString::fromUtf8(QByteArray::fromHex(line->text.mid(5).toLatin1()));
        }
    }
    return {};
}

QList<qsizetype> TargetWindow::pasteKeystrokes() const
{
    QList<qsizetype> found;
    for (qsizetype i = 0; i < m_output.lines().size(); ++i) {
        if (m_output.lines()[i].text == u"key Ctrl+V") {
            found << i;
        }
    }
    return found;
}

bool TargetWindow::copy(const QString& text, std::chrono::milliseconds patience)
{
    const qsizetype from = m_output.lines().size();
    m_process.write("copy " + text.toUtf8().toHex() + '\n');
    return m_output.waitFor([](const QString& line) { return line == u"copied"; }, from, patience) >= 0;
}

std::optional<QString> TargetWindow::clipboardText(std::chrono::milliseconds patience)
{
    const qsizetype from = m_output.lines().size();
    m_process.write("dump\n");
    const qsizetype end = m_output.waitFor([](const QString& line) { return line == u"end"; }, from, patience);
    if (end < 0) {
        return std::nullopt;
    }
    for (qsizetype i = from; i < end; ++i) {
        const QStringList words = m_output.lines()[i].text.split(u' ');
        if (words.value(0) == u"format" && words.value(1) == u"text/plain") {
            return QString::fromUtf8(QByteArray::fromHex(words.value(2).toLatin1()));
        }
    }
    return QString();
}

} // namespace sayloom
