#include "XServer.h"

#include "desktop/x11/X11Connection.h"

#include <QFile>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int answerMilliseconds = 5000;

} // namespace

XServer::XServer()
    : m_folder(QDir::tempPath() + u"/sayloom-x11-XXXXXX")
{
    for (QProcess* process : {&m_server, &m_windowManager}) {
        process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }
    m_server.setStandardErrorFile(QProcess::nullDevice());
    m_windowManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
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
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("XDG_SESSION_TYPE");
    qunsetenv("XAUTHORITY");
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
    if (!m_folder.isValid()) {
        return fail(QStringLiteral("no temporary folder"));
    }
    // -displayfd: the server takes the first free display and writes its number to standard output.
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                    QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_server.waitForStarted(answerMilliseconds)) {
        return fail(u"Xvfb did not start: " + m_server.errorString());
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(answerMilliseconds);
    while (!m_server.canReadLine() && Clock::now() < deadline && m_server.state() == QProcess::Running) {
        m_server.waitForReadyRead(100);
    }
    const QString number = QString::fromLatin1(m_server.readLine()).trimmed();
    if (number.isEmpty()) {
        return fail(QStringLiteral("Xvfb named no display"));
    }
    m_display = u':' + number;

    m_windowManager.setProcessEnvironment(environment());
    m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!m_windowManager.waitForStarted(answerMilliseconds)) {
        return fail(u"openbox did not start: " + m_windowManager.errorString());
    }
    const std::unique_ptr<X11Connection> connection = X11Connection::open(m_display.toLocal8Bit());
    while (connection && Clock::now() < deadline && m_windowManager.state() == QProcess::Running) {
        if (connection->hasWindowManager()) {
            return true;
        }
        QThread::msleep(20);
    }
    return fail(QStringLiteral("openbox did not take over the display in time"));
}

void XServer::stop()
{
    for (QProcess* process : {&m_windowManager, &m_server}) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(3000)) {
                process->kill();
                process->waitForFinished(3000);
            }
        }
    }
}

bool XServer::run(const QString& program, const QStringList& arguments) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(answerMilliseconds)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace sayloom
