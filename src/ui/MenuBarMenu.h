#pragma once

#include "session/AppState.h"

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace sayloom {

// The tray icon and its menu: a status line, the recording command, the last dictation to copy, the windows and
// Quit. Everything follows the session as it changes; the icon turns into a record symbol while recording.
class MenuBarMenu final : public QObject {
    Q_OBJECT

public:
    struct Actions {
        std::function<void()> openWindow;
        std::function<void()> openSettings;
        std::function<void()> quit;
    };

    MenuBarMenu(AppState& state, Actions actions, QObject* parent = nullptr);
    ~MenuBarMenu() override;

    // The menu's first line: what the session is doing, or what it lacks.
    static QString statusLine(const AppState::Phase& phase, bool accessibilityGranted, bool microphoneGranted,
                              Trigger trigger);
    // The icon's name in the desktop's icon theme; the program carries its own copy.
    static QString iconName(const AppState::Phase& phase);

    // Puts the icon in the tray; does nothing where the desktop has none.
    void show();

    QSystemTrayIcon* trayIcon() const { return m_tray; }
    QMenu* menu() const { return m_menu; }
    QAction* toggleRecording() const { return m_toggleRecording; }
    QAction* copyLastDictation() const { return m_copyLast; }

private:
    void updateStatus();
    void updateIcon();
    void updateRecording();
    void updateCopyLast();
    void copyLast();

    AppState& m_state;
    QMenu* m_menu;
    QSystemTrayIcon* m_tray;
    QAction* m_status;
    QAction* m_toggleRecording;
    QAction* m_copyLast;
    QString m_iconName;
};

} // namespace sayloom
