#include "desktop/Launcher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace sayloom {

Launcher Launcher::system()
{
    return {
            .findProgram = [](const QString& program) { return QStandardPaths::findExecutable(program); },
            .startDetached = [](const QString& program,
                                const QStringList& arguments) { return QProcess::startDetached(program, arguments); },
            .openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); },
    };
}

} // namespace sayloom
