#pragma once

#include "app/AppParts.h"
#include "app/Desktop.h"
#include "desktop/Autostart.h"
#include "desktop/DesktopFileActions.h"
#include "session/AppState.h"

#include <QElapsedTimer>
#include <QObject>

#include <memory>

namespace sayloom {

class MainWindow;
class MenuBarMenu;

// The running application: the real parts, the one session over them, the tray and the main window. Built on the
// main thread of a QApplication connected to an X11 display (XWayland on a Wayland desktop).
class Application final : public QObject {
    Q_OBJECT

public:
    // `startedAt` runs from the process's start, for the log line that says how long start-up took.
    explicit Application(QElapsedTimer startedAt, QObject* parent = nullptr);
    ~Application() override;

    // Starts the session, then shows the tray icon, or the main window where the desktop has no tray.
    void start();
    // The main window, made on first use, shown and brought to the front.
    void showMainWindow();
    void showSettings();

private:
    MainWindow& mainWindow();
    void logPhase();
    void noteEngineStatus();

    QElapsedTimer m_startedAt;
    AppParts m_parts;
    std::unique_ptr<Desktop> m_desktop;
    AppState m_state;
    Autostart m_autostart;
    DesktopFileActions m_files;
    bool m_trayAvailable;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<MenuBarMenu> m_tray;
    bool m_ready = false;
};

} // namespace sayloom
