#pragma once

#include "ui/WindowParts.h"

#include <QWidget>

#include <optional>

class QLabel;
class QListWidget;
class QMenuBar;
class QStackedWidget;
class QToolButton;

namespace sayloom {

class AppState;
class DictionaryView;
class HistoryView;
class HomeView;
class RecorderCommands;
class SettingsWindow;

// The window the user opens to look back: a sidebar with the screens and the session's status under it, and the
// chosen screen beside it. It keeps nothing but which screen is shown.
class MainWindow final : public QWidget {
    Q_OBJECT

public:
    // The sidebar's screens, in order.
    enum class SidebarItem { home, history, dictionary };

    explicit MainWindow(WindowParts parts, QWidget* parent = nullptr);
    ~MainWindow() override;

    static QString rawValue(SidebarItem item);
    static QString title(SidebarItem item);
    static QString symbol(SidebarItem item);

    std::optional<SidebarItem> selection() const;
    void select(SidebarItem item);

    // Shows this window, restored and in front.
    void present();

    // Shows the settings window and brings it to the front; there is only ever one, made on first use and gone
    // with this window. Ctrl+, here, and the tray's menu.
    void openSettings();
    // Nothing until the settings were first opened.
    SettingsWindow* settingsWindow() const { return m_settingsWindow; }

    HomeView* home() const { return m_home; }
    HistoryView* history() const { return m_history; }
    DictionaryView* dictionary() const { return m_dictionary; }
    QListWidget* sidebar() const { return m_sidebar; }
    QLabel* statusLine() const { return m_status; }
    QMenuBar* menuBar() const { return m_menuBar; }
    RecorderCommands* commands() const { return m_commands; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateStatus();
    void updateSymbols();

    WindowParts m_parts;
    AppState& m_state;
    QListWidget* m_sidebar;
    QLabel* m_status;
    QToolButton* m_settingsButton;
    QStackedWidget* m_screens;
    HomeView* m_home;
    HistoryView* m_history;
    DictionaryView* m_dictionary;
    RecorderCommands* m_commands;
    QMenuBar* m_menuBar;
    SettingsWindow* m_settingsWindow = nullptr;
};

} // namespace sayloom
