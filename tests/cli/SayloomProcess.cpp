#include "SayloomProcess.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

namespace sayloom {

QString SayloomProcess::executable()
{
    return QStringLiteral(SAYLOOM_EXECUTABLE);
}

SayloomProcess::Result SayloomProcess::run(const QStringList& arguments, const QString& dataHome,
                                           const QProcessEnvironment& extra)
{
    QProcess process;
    start(process, arguments, dataHome, extra);
    return finish(process);
}

void SayloomProcess::start(QProcess& process, const QStringList& arguments, const QString& dataHome,
                           const QProcessEnvironment& extra)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dataHome + QStringLiteral("/config"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.remove(QStringLiteral("SAYLOOM_DEBUG"));
    for (const QString& name : extra.keys()) {
        environment.insert(name, extra.value(name));
    }
    process.setProcessEnvironment(environment);
    process.setProgram(executable());
    process.setArguments(arguments);
    process.start(QIODevice::ReadOnly);
}

SayloomProcess::Result SayloomProcess::finish(QProcess& process)
{
    Result result;
    // Large dictionaries take a while on a loaded machine; the limit only stops a hung run from blocking the suite.
    if (!process.waitForFinished(60'000)) {
        process.kill();
        process.waitForFinished();
        result.standardError = process.readAllStandardError();
        return result;
    }
    result.exitedNormally = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    return result;
}

QStringList SayloomProcess::linesWithoutTimings(const QByteArray& output, int& tookLines)
{
    static const QRegularExpression took(QStringLiteral("^took:     \\d+\\.\\d{6} seconds$"));
    QStringList lines = QString::fromUtf8(output).split(u'\n');
    if (lines.last().isEmpty()) {
        lines.removeLast();
    }
    tookLines = int(lines.removeIf([](const QString& line) { return took.match(line).hasMatch(); }));
    return lines;
}

} // namespace sayloom
