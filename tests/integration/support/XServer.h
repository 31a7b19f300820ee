#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace sayloom {

// A private X server for tests and benchmarks: Xvfb on a display number it picks itself (so parallel runs never
// meet), with openbox as the window manager, both with a home and configuration folder of their own (openbox takes
// openbox/rc.xml there before the system's). Both die with this process, even when a crash ends it before `stop`.
class XServer final {
public:
    XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    ~XServer() { stop(); }

    // Starts the server, then the window manager, and waits (at most a few seconds) until both answer; on failure
    // `error` says why.
    bool start(QString* error = nullptr);
    void stop();

    // Points DISPLAY at this server and forgets any Wayland session, so Qt and xcb in this process use it.
    void useInThisProcess() const;
    // The environment for a program that should run on this server.
    QProcessEnvironment environment() const;

private:
    QTemporaryDir m_folder;
    QProcess m_server;
    QProcess m_windowManager;
    QString m_display;
};

} // namespace sayloom
