#include "TimedLines.h"

#include "WaitUntil.h"

namespace sayloom {

TimedLines::TimedLines(QProcess& process)
    : m_process(process)
{
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { read(); });
    // A last line without its line break still counts once the program has ended.
    QObject::connect(&m_process, &QProcess::finished, [this] {
        read();
        if (const QByteArray rest = m_process.readAllStandardOutput(); !rest.isEmpty()) {
            m_lines.append({QString::fromUtf8(rest).trimmed(), Clock::now()});
        }
    });
}

void TimedLines::read()
{
    const auto now = Clock::now();
    while (m_process.canReadLine()) {
        m_lines.append({QString::fromUtf8(m_process.readLine()).trimmed(), now});
    }
}

qsizetype TimedLines::waitFor(const std::function<bool(const QString&)>& matches, qsizetype from,
                              std::chrono::milliseconds patience)
{
    qsizetype found = -1;
    const auto look = [&] {
        for (qsizetype i = from; i < m_lines.size(); ++i) {
            if (matches(m_lines[i].text)) {
                found = i;
                return true;
            }
        }
        from = m_lines.size();
        return m_process.state() == QProcess::NotRunning;
    };
    waitUntil(look, patience);
    return found;
}

QString TimedLines::joined() const
{
    QStringList texts;
    for (const Line& line : m_lines) {
        texts << line.text;
    }
    return texts.join(u'\n');
}

} // namespace sayloom
