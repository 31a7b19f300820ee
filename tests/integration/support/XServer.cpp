#include "XServer.h"

#include "desktop/x11/X11Connection.h"

#include <QFile>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace sayloom {

XServer::XServer()
    : m_folder(QDir::tempPath() + u"/sayloom-x11-XXXXXX")
{
    for (QProcess* process : {&m_server, &m_windowManager}) {
        process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        process->setStandardErrorFile(QProcess::nullDevice());
    }
    m_windowManager.setStandardOutputFile(QProcess::nullDevice());
}

QProcessEnvironment XServer::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        environment.insert(QString::fromLatin1(name), m_folder.path());
    }
    for (const char* name : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "DBUS_SESSION_BUS_ADDRESS", "XAUTHORITY"}) {
        environment.remove(QString::fromLatin1(name));
    }
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return environment;
}

void XServer::useInThisProcess() const
{
    qputenv("DISPLAY", m_display.toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_folder.path()));
    }
    for (const char* name : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "XAUTHORITY"}) {
        qunsetenv(name);
    }
}

bool XServer::start(QString* error)
{
    const auto fail = [this, error](const QString& why) {
        stop();
        if (error) {
            *error = why;
        }
        return false;
    };
    // -displayfd: the server takes the first free display and writes its number to standard output.
    m_server.start(QStringLiteral("Xvfb"),
                   QStringLiteral("-displayfd 1 -screen 0 1280x800x24 -nolisten tcp").split(u' '));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!m_server.canReadLine() && m_server.waitForReadyRead(5000)) {
    }
    const QString number = QString::fromLatin1(m_server.readLine()).trimmed();
    if (!m_folder.isValid() || number.isEmpty()) {
        return fail(u"Xvfb did not start: " + m_server.errorString());
    }
    m_display = u':' + number;

    m_windowManager.setProcessEnvironment(environment());
    m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    const std::unique_ptr<X11Connection> connection = X11Connection::open(m_display.toLocal8Bit());
    while (connection && m_windowManager.state() != QProcess::NotRunning &&
           std::chrono::steady_clock::now() < deadline) {
        if (connection->hasWindowManager()) {
            return true;
        }
        QThread::msleep(20);
    }
    return fail(u"openbox did not take over the display: " + m_windowManager.errorString());
}

void XServer::stop()
{
    for (QProcess* process : {&m_windowManager, &m_server}) {
        process->terminate();
        if (!process->waitForFinished(3000)) {
            process->kill();
            process->waitForFinished(1000);
        }
    }
}

} // namespace sayloom
