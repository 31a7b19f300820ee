#include "app/Application.h"

#include "desktop/DesktopPermissions.h"
#include "ui/MainWindow.h"
#include "ui/MenuBarMenu.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSystemTrayIcon>

namespace sayloom {

namespace {

Q_LOGGING_CATEGORY(lcApp, "app.sayloom.app", QtInfoMsg)

const char* phaseName(AppState::Phase::Kind kind)
{
    switch (kind) {
    case AppState::Phase::Kind::idle:
        return "idle";
    case AppState::Phase::Kind::recording:
        return "recording";
    case AppState::Phase::Kind::transcribing:
        return "transcribing";
    case AppState::Phase::Kind::error:
        return "error";
    }
    return "";
}

} // namespace

Application::Application(QElapsedTimer startedAt, QObject* parent)
    : QObject(parent)
    , m_startedAt(startedAt)
    , m_desktop(Desktop::forSession(m_parts.clock(), m_parts.inputDevices(), m_parts.preferences()))
    , m_state(m_parts.sessionParts(m_desktop->parts()))
    , m_trayAvailable(QSystemTrayIcon::isSystemTrayAvailable())
{
    connect(&m_state, &AppState::phaseChanged, this, &Application::logPhase);
    connect(&m_state, &AppState::engineStatusChanged, this, &Application::noteEngineStatus);
}

Application::~Application()
{
    // The windows observe the session, so they go first.
    m_tray.reset();
    m_mainWindow.reset();
}

void Application::start()
{
    qCInfo(lcApp, "Desktop: %s", qUtf8Printable(m_desktop->description()));
    m_state.start();
    if (m_trayAvailable) {
        m_tray = std::make_unique<MenuBarMenu>(m_state, MenuBarMenu::Actions{.openWindow = [this] { showMainWindow(); },
                                                                             .openSettings = [this] { showSettings(); },
                                                                             .quit = [] { QCoreApplication::quit(); }});
        m_tray->show();
    } else {
        qCInfo(lcApp, "The desktop shows no tray icons; the main window stands in for the tray");
        showMainWindow();
    }
    noteEngineStatus();
}

void Application::showMainWindow()
{
    mainWindow().present();
}

void Application::showSettings()
{
    mainWindow().openSettings();
}

MainWindow& Application::mainWindow()
{
    if (!m_mainWindow) {
        m_mainWindow = std::make_unique<MainWindow>(WindowParts{.state = m_state,
                                                                .clock = m_parts.clock(),
                                                                .permissions = m_desktop->permissions(),
                                                                .inputDevices = m_parts.inputDevices(),
                                                                .loginItem = m_autostart,
                                                                .files = m_files,
                                                                .languageModel = &m_parts.languageModel(),
                                                                .speechEngine = &m_parts.speechEngine(),
                                                                .trayAvailable = m_trayAvailable});
    }
    return *m_mainWindow;
}

void Application::logPhase()
{
    const AppState::Phase& phase = m_state.phase();
    if (phase.is(AppState::Phase::Kind::error)) {
        qCDebug(lcApp, "phase error: %s", qUtf8Printable(phase.message()));
    } else {
        qCDebug(lcApp, "phase %s", phaseName(phase.kind()));
    }
}

void Application::noteEngineStatus()
{
    // Ready once the engine has had its say, either way: a failed engine is shown in the settings, and takes still
    // start and report it.
    const EngineStatus::Kind kind = m_state.engineStatus().kind();
    if (m_ready || (!m_tray && !m_mainWindow) ||
        (kind != EngineStatus::Kind::ready && kind != EngineStatus::Kind::failed)) {
        return;
    }
    m_ready = true;
    qCInfo(lcApp, "%s after %lld ms", qUtf8Printable(m_state.engineStatus().text()),
           static_cast<long long>(m_startedAt.elapsed()));
    qCInfo(lcApp, "ready");
}

} // namespace sayloom
