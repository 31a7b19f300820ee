#include "SwayServer.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <grp.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace sayloom {

namespace {

// The user sway runs as when this process is root.
constexpr uid_t nobody = 65534;

} // namespace

SwayServer::SwayServer()
    : m_folder(QDir::tempPath() + u"/sayloom-sway-XXXXXX")
{
    m_sway.setProcessChannelMode(QProcess::MergedChannels);
    m_sway.setStandardOutputFile(m_folder.path() + u"/sway.log");
}

bool SwayServer::isInstalled()
{
    return !QStandardPaths::findExecutable(QStringLiteral("sway")).isEmpty();
}

QString SwayServer::runtimeFolder() const
{
    return m_folder.path() + u"/runtime";
}

QProcessEnvironment SwayServer::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "XAUTHORITY", "DBUS_SESSION_BUS_ADDRESS", "XDG_SESSION_TYPE"}) {
        environment.remove(QString::fromLatin1(name));
    }
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
    environment.insert(QStringLiteral("WAYLAND_DISPLAY"), m_waylandDisplay);
    environment.insert(QStringLiteral("SWAYSOCK"), m_ipcSocket);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    return environment;
}

void SwayServer::useInThisProcess() const
{
    const QProcessEnvironment own = environment();
    for (const char* name : {"XDG_RUNTIME_DIR", "WAYLAND_DISPLAY", "SWAYSOCK"}) {
        qputenv(name, QFile::encodeName(own.value(QString::fromLatin1(name))));
    }
    for (const char* name : {"DISPLAY", "XAUTHORITY"}) {
        qunsetenv(name);
    }
}

bool SwayServer::start(QString* error)
{
    const auto fail = [this, error](const QString& why) {
        stop();
        if (error) {
            *error = why;
        }
        return false;
    };
    if (!isInstalled()) {
        return fail(QStringLiteral("sway is not installed"));
    }
    const QString runtime = runtimeFolder();
    const QString configuration = m_folder.path() + u"/sway.conf";
    QFile config(configuration);
    if (!m_folder.isValid() || !QDir(m_folder.path()).mkpath(QStringLiteral("runtime")) ||
        !config.open(QIODevice::WriteOnly)) {
        return fail(QStringLiteral("no temporary folder"));
    }
    config.write("xwayland disable\n");
    config.close();
    const bool asNobody = ::geteuid() == 0;
    if (asNobody) {
        // nobody reads the configuration and owns the runtime folder; the sockets in it stay reachable for root.
        QFile::setPermissions(m_folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                       QFile::ReadOther | QFile::ExeOther);
        QFile::setPermissions(configuration, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        if (::chown(QFile::encodeName(runtime).constData(), nobody, nobody) != 0) {
            return fail(QStringLiteral("cannot hand the runtime folder to nobody"));
        }
    }
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH", QStringLiteral("/usr/bin:/bin")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("HOME"), m_folder.path());
    environment.insert(QStringLiteral("WLR_BACKENDS"), QStringLiteral("headless"));
    environment.insert(QStringLiteral("WLR_LIBINPUT_NO_DEVICES"), QStringLiteral("1"));
    environment.insert(QStringLiteral("WLR_RENDERER"), QStringLiteral("pixman"));
    m_sway.setProcessEnvironment(environment);
    m_sway.setChildProcessModifier([asNobody] {
        // The death signal is set after the change of user, which would clear it.
        if (asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
            ::_exit(127);
        }
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    m_sway.start(QStringLiteral("sway"), {QStringLiteral("-c"), configuration});
    if (!m_sway.waitForStarted(5000)) {
        return fail(u"sway did not start: " + m_sway.errorString());
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline && m_sway.state() == QProcess::Running) {
        const QDir folder(runtime);
        const QStringList displays = folder.entryList({QStringLiteral("wayland-*")}, QDir::Files | QDir::System)
                                             .filter(QStringLiteral(".lock"));
        const QStringList ipc = folder.entryList({QStringLiteral("sway-ipc.*.sock")}, QDir::System);
        if (!displays.isEmpty() && !ipc.isEmpty()) {
            m_waylandDisplay = displays.first().chopped(5);
            m_ipcSocket = folder.filePath(ipc.first());
            // The lock comes before the socket listens, and sway quits on SIGTERM only once its loop runs.
            if (folder.exists(m_waylandDisplay) && answers()) {
                return true;
            }
        }
        QThread::msleep(20);
    }
    QFile log(m_folder.path() + u"/sway.log");
    log.open(QIODevice::ReadOnly);
    return fail(u"sway did not come up: " + QString::fromLocal8Bit(log.readAll().right(2000)));
}

bool SwayServer::answers() const
{
    QProcess message;
    message.setProcessEnvironment(environment());
    message.setStandardOutputFile(QProcess::nullDevice());
    message.setStandardErrorFile(QProcess::nullDevice());
    message.start(QStringLiteral("swaymsg"), {QStringLiteral("-t"), QStringLiteral("get_version")});
    return message.waitForFinished(3000) && message.exitStatus() == QProcess::NormalExit && message.exitCode() == 0;
}

void SwayServer::stop()
{
    if (m_sway.state() == QProcess::NotRunning) {
        return;
    }
    m_sway.terminate();
    if (!m_sway.waitForFinished(3000)) {
        m_sway.kill();
        m_sway.waitForFinished(1000);
    }
}

} // namespace sayloom
