#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

namespace sayloom {

// A private headless sway for tests and benchmarks: no outputs but a virtual one, no input devices, no XWayland, its
// own runtime folder (so its Wayland and IPC sockets meet no other session) and a configuration of its own. sway
// refuses to run as root, so under root it runs as nobody; it dies with this process, even when a crash ends it
// before `stop`.
class SwayServer final {
public:
    SwayServer();
    SwayServer(const SwayServer&) = delete;
    SwayServer& operator=(const SwayServer&) = delete;
    ~SwayServer() { stop(); }

    // Whether sway is installed; tests skip themselves without it.
    static bool isInstalled();

    // Starts sway and waits (at most a few seconds) until both its sockets are there; on failure `error` says why.
    bool start(QString* error = nullptr);
    // Asks sway to quit, and kills it when it does not.
    void stop();

    // Points WAYLAND_DISPLAY, XDG_RUNTIME_DIR and SWAYSOCK at this sway and forgets any X display.
    void useInThisProcess() const;
    // The environment for a program that should run on this sway (Qt programs on its Wayland platform).
    QProcessEnvironment environment() const;

    QString waylandDisplay() const { return m_waylandDisplay; }
    // The path of the Wayland socket, for a connection that names it.
    QString waylandSocket() const { return runtimeFolder() + u'/' + m_waylandDisplay; }
    QString ipcSocket() const { return m_ipcSocket; }

private:
    QString runtimeFolder() const;
    // Whether sway answers on its IPC socket.
    bool answers() const;

    QTemporaryDir m_folder;
    QProcess m_sway;
    QString m_waylandDisplay;
    QString m_ipcSocket;
};

} // namespace sayloom
