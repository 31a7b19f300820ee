#pragma once

#include <QProcess>

#include <csignal>
#include <sys/prctl.h>

namespace sayloom {

// Starts `daemon` as a private session bus whose services see `environment`; its address, or empty when it failed.
inline QString startSessionBus(QProcess& daemon, const QProcessEnvironment& environment)
{
    daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    daemon.setProcessEnvironment(environment);
    daemon.start(QStringLiteral("dbus-daemon"), QStringLiteral("--session --nofork --print-address").split(u' '));
    return daemon.waitForReadyRead(5000) ? QString::fromUtf8(daemon.readLine()).trimmed() : QString();
}

} // namespace sayloom
