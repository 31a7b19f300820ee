#include "ui/MenuBarMenu.h"

#include "ui/RecorderCommands.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

namespace sayloom {

MenuBarMenu::MenuBarMenu(AppState& state, Actions actions, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_menu(new QMenu)
    , m_tray(new QSystemTrayIcon(this))
{
    m_menu->setTitle(QStringLiteral("Sayloom"));
    m_status = m_menu->addAction(QString());
    m_status->setEnabled(false);
    m_menu->addSeparator();
    m_toggleRecording = m_menu->addAction(QString(), &m_state, &AppState::toggleRecording);
    m_copyLast = m_menu->addAction(QStringLiteral("Copy Last Dictation"), this, &MenuBarMenu::copyLast);
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Open Sayloom"), this, actions.openWindow);
    QAction* settings = m_menu->addAction(QStringLiteral("Settings\u2026"), this, actions.openSettings);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_menu->addSeparator();
    QAction* quit = m_menu->addAction(QStringLiteral("Quit Sayloom"), this, actions.quit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    m_tray->setContextMenu(m_menu);
    // A click on the icon itself opens the window, as tray icons on Linux desktops do; the menu is a right click
    // away (and the only thing a click shows where the panel draws its own menus).
    connect(m_tray, &QSystemTrayIcon::activated, this, [openWindow = actions.openWindow](auto reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            openWindow();
        }
    });

    for (const auto signal : {&AppState::phaseChanged, &AppState::accessibilityGrantedChanged,
                              &AppState::microphoneGrantedChanged, &AppState::triggerChanged}) {
        connect(&m_state, signal, this, &MenuBarMenu::updateStatus);
    }
    connect(&m_state, &AppState::phaseChanged, this, &MenuBarMenu::updateIcon);
    connect(&m_state, &AppState::phaseChanged, this, &MenuBarMenu::updateRecording);
    connect(&m_state, &AppState::historyChanged, this, &MenuBarMenu::updateCopyLast);
    updateStatus();
    updateIcon();
    updateRecording();
    updateCopyLast();
}

MenuBarMenu::~MenuBarMenu()
{
    // A context menu is not owned by its tray icon.
    delete m_menu;
}

QString MenuBarMenu::statusLine(const AppState::Phase& phase, bool accessibilityGranted, bool microphoneGranted,
                                Trigger trigger)
{
    switch (phase.kind()) {
    case AppState::Phase::Kind::recording:
        return QStringLiteral("Recording\u2026");
    case AppState::Phase::Kind::transcribing:
        return QStringLiteral("Transcribing\u2026");
    case AppState::Phase::Kind::error:
        return phase.message();
    case AppState::Phase::Kind::idle:
        break;
    }
    if (accessibilityGranted && microphoneGranted) {
        return u"Ready \u00b7 hold " + displayName(trigger);
    }
    return QStringLiteral("Sayloom needs permissions");
}

QString MenuBarMenu::iconName(const AppState::Phase& phase)
{
    return phase.is(AppState::Phase::Kind::recording) ? QStringLiteral("app.sayloom.Sayloom-recording-symbolic")
                                                      : QStringLiteral("app.sayloom.Sayloom-symbolic");
}

void MenuBarMenu::show()
{
    m_tray->show();
}

void MenuBarMenu::updateStatus()
{
    const QString line =
            statusLine(m_state.phase(), m_state.accessibilityGranted(), m_state.microphoneGranted(), m_state.trigger());
    m_status->setText(line);
    m_tray->setToolTip(u"Sayloom \u2014 " + line);
}

void MenuBarMenu::updateIcon()
{
    const QString name = iconName(m_state.phase());
    if (name == m_iconName) {
        return;
    }
    m_iconName = name;
    // The theme's copy when the program is installed, so the panel can recolour it; else the one built in.
    m_tray->setIcon(QIcon::fromTheme(name, QIcon(u":/icons/" + name + u".svg")));
}

void MenuBarMenu::updateRecording()
{
    m_toggleRecording->setText(RecorderCommands::recordingTitle(m_state.phase()));
    m_toggleRecording->setEnabled(RecorderCommands::recordingEnabled(m_state.phase(), m_state.isTakeRunning()));
}

void MenuBarMenu::updateCopyLast()
{
    m_copyLast->setVisible(!m_state.history().isEmpty());
}

void MenuBarMenu::copyLast()
{
    if (m_state.history().isEmpty()) {
        return;
    }
    QGuiApplication::clipboard()->setText(m_state.history().first().text);
}

} // namespace sayloom
