#include "SayloomProcess.h"

#include <QRegularExpression>

namespace sayloom {

using namespace Qt::StringLiterals;

SayloomProcess::Result SayloomProcess::run(const QStringList& arguments, const QString& dataHome,
                                           const QProcessEnvironment& environment)
{
    QProcess process;
    start(process, arguments, dataHome, environment);
    return finish(process);
}

void SayloomProcess::start(QProcess& process, const QStringList& arguments, const QString& dataHome,
                           const QProcessEnvironment& extra)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_DATA_HOME"_s, dataHome);
    environment.insert(u"XDG_CONFIG_HOME"_s, dataHome + u"/config"_s);
    environment.insert(u"LANG"_s, u"C.UTF-8"_s);
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    environment.remove(u"SAYLOOM_DEBUG"_s);
    environment.insert(extra);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(SAYLOOM_EXECUTABLE), arguments, QIODevice::ReadOnly);
}

SayloomProcess::Result SayloomProcess::finish(QProcess& process)
{
    // Large dictionaries take a while on a loaded machine; the limit only stops a hung run from blocking the suite.
    if (!process.waitForFinished(60'000)) {
        process.kill();
        process.waitForFinished();
        return {false, -1, {}, process.readAllStandardError()};
    }
    return {process.exitStatus() == QProcess::NormalExit, process.exitCode(), process.readAllStandardOutput(),
            process.readAllStandardError()};
}

QStringList SayloomProcess::linesWithoutTimings(const QByteArray& output, int& tookLines)
{
    static const QRegularExpression took(u"^took:     \\d+\\.\\d{6} seconds$"_s);
    QStringList lines = QString::fromUtf8(output).split(u'\n');
    if (lines.last().isEmpty()) {
        lines.removeLast();
    }
    tookLines = int(lines.removeIf([](const QString& line) { return took.match(line).hasMatch(); }));
    return lines;
}

} // namespace sayloom
