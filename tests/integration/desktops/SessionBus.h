#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include <csignal>
#include <sys/prctl.h>

namespace sayloom {

// A private D-Bus session bus for one test, with the environment given to the services it starts on demand. It dies
// with this process.
class SessionBus final {
public:
    explicit SessionBus(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_daemon.setProcessEnvironment(environment);
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (m_daemon.waitForReadyRead(5000)) {
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        }
    }
    ~SessionBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // Empty when the daemon did not start.
    const QString& address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

} // namespace sayloom
