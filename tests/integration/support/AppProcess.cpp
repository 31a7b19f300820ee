#include "AppProcess.h"

#include "WaitUntil.h"

#include <csignal>
#include <sys/prctl.h>

namespace sayloom {

namespace {

const QString category = QStringLiteral("app.sayloom.app: ");
const QString phasePrefix = category + u"phase ";

} // namespace

AppProcess::AppProcess(const QString& program, const QProcessEnvironment& environment)
{
    m_process.setProgram(program);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // It dies with this process, even when a crash or a timeout ends the test before its end.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

AppProcess::~AppProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

void AppProcess::start()
{
    m_startedAt = Clock::now();
    m_process.start(QIODevice::ReadOnly);
}

std::optional<AppProcess::Clock::time_point> AppProcess::waitUntilReady(std::chrono::milliseconds patience)
{
    const QString ready = category + u"ready";
    const qsizetype line = m_output.waitFor([&](const QString& text) { return text.endsWith(ready); }, 0, patience);
    if (line < 0) {
        return std::nullopt;
    }
    return m_output.lines()[line].at;
}

bool AppProcess::isPlaceholder() const
{
    for (const TimedLines::Line& line : m_output.lines()) {
        if (line.text.contains(u"not built yet")) {
            return true;
        }
    }
    return false;
}

QStringList AppProcess::phases() const
{
    QStringList phases;
    for (const TimedLines::Line& line : m_output.lines()) {
        if (const qsizetype at = line.text.indexOf(phasePrefix); at >= 0) {
            phases << line.text.mid(at + phasePrefix.size());
        }
    }
    return phases;
}

QString AppProcess::waitForPhase(qsizetype index, std::chrono::milliseconds patience)
{
    waitUntil([&] { return phases().size() > index || m_process.state() == QProcess::NotRunning; }, patience);
    return phases().value(index);
}

std::optional<int> AppProcess::terminate(std::chrono::milliseconds patience)
{
    m_process.terminate();
    const bool ended = waitUntil([this] { return m_process.state() == QProcess::NotRunning; }, patience);
    if (!ended || m_process.exitStatus() != QProcess::NormalExit) {
        return std::nullopt;
    }
    return m_process.exitCode();
}

} // namespace sayloom
