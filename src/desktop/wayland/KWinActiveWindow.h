#pragma once

#include "session/ports/ActiveApplication.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QObject>
#include <QTemporaryFile>

#include <chrono>
#include <memory>

namespace sayloom {

class DesktopEntryNames;

// The window with the focus on KDE Plasma. KWin tells no ordinary client, but it runs scripts: a small one, loaded
// through KWin's scripting service, reports every activation (and the active window at once) back to an object of
// ours on the session bus; `frontmost` answers from the last report. Works with Plasma 5.27 and 6. Reports from
// anyone but KWin are ignored. The script is unloaded again when this goes.
class KWinActiveWindow final : public QObject, public ActiveApplication, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.sayloom.ActiveWindow")

public:
    // Starts loading the script; until KWin answers, and without KWin, nothing has the focus.
    explicit KWinActiveWindow(QDBusConnection sessionBus = QDBusConnection::sessionBus());
    KWinActiveWindow(const KWinActiveWindow&) = delete;
    KWinActiveWindow& operator=(const KWinActiveWindow&) = delete;
    ~KWinActiveWindow() override;

    std::optional<RunningApplication> frontmost() const override;
    std::optional<RunningApplication> current() const override;
    // Runs a second script that makes the application's last active window the active one, and completes once KWin
    // reports it active, or after `activationTimeout`.
    QCoro::Task<void> activate(RunningApplication application) override;

    static constexpr std::chrono::milliseconds activationTimeout{250};

    // Where the script reports, and the name KWin knows it by.
    static constexpr const char* objectPath = "/app/sayloom/ActiveWindow";
    static constexpr const char* pluginName = "app.sayloom.ActiveWindow";

public Q_SLOTS:
    // One activation, as the script reports it: all texts, empty when KWin has no active window.
    Q_SCRIPTABLE void Report(const QString& resourceClass, const QString& resourceName, const QString& desktopFileName,
                             const QString& pid, const QString& caption, const QString& internalId);

private:
    QCoro::Task<void> loadScript();
    // Loads and runs a script file; KWin's name on the bus when it ran, else empty.
    QCoro::Task<QString> runScript(QString path, QString plugin);

    QDBusConnection m_bus;
    std::unique_ptr<DesktopEntryNames> m_names;
    QTemporaryFile m_script;
    QDBusServiceWatcher m_watcher;
    // KWin's unique name on the bus once it has taken the script; reports come from there only.
    QString m_kwin;
    std::optional<RunningApplication> m_active;
    // The window each application last had active, by the identity frontmost() gave it.
    QHash<QString, QString> m_windows;
};

} // namespace sayloom
