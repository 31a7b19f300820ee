#include "desktop/wayland/KWinActiveWindow.h"

#include "base/DetachedTask.h"
#include "desktop/DesktopEntryNames.h"
#include "desktop/PasteKeys.h"
#include "desktop/wayland/WaylandLog.h"

#include <QCoreApplication>
#include <QCoroDBusPendingCall>
#include <QCoroTimer>
#include <QDBusMessage>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QStandardPaths>

namespace sayloom {

namespace {

using namespace Qt::Literals::StringLiterals;

const QString kwinService = u"org.kde.KWin"_s;
const QString scriptingInterface = u"org.kde.kwin.Scripting"_s;
constexpr int answerMilliseconds = 2000;

// Plasma 6 calls windows what Plasma 5 called clients; the properties read here kept their names. KWin 5 gives some
// of them as byte arrays, hence toString(). Everything goes as text, which needs no guess at how KWin converts a
// JavaScript number for D-Bus.
constexpr const char* scriptTemplate = R"js(// Tells Sayloom which window is active, on every activation.
(function () {
    var text = function (value) {
        return value === undefined || value === null ? "" : value.toString();
    };
    var report = function (window) {
        if (!window) {
            callDBus(@SERVICE@, @PATH@, @INTERFACE@, "Report", "", "", "", "", "", "");
            return;
        }
        callDBus(@SERVICE@, @PATH@, @INTERFACE@, "Report", text(window.resourceClass), text(window.resourceName),
                 text(window.desktopFileName), text(window.pid), text(window.caption), text(window.internalId));
    };
    if (workspace.windowActivated !== undefined) {
        workspace.windowActivated.connect(report);
        report(workspace.activeWindow);
    } else {
        workspace.clientActivated.connect(report);
        report(workspace.activeClient);
    }
})();
)js";

// Makes the window with the given internal id the active one; scripts are not held back by focus-stealing prevention.
constexpr const char* activationTemplate = R"js((function () {
    var windows = workspace.windowList !== undefined ? workspace.windowList() : workspace.clientList();
    for (var i = 0; i < windows.length; ++i) {
        if (windows[i].internalId.toString() === @WINDOW@) {
            if (workspace.windowActivated !== undefined) {
                workspace.activeWindow = windows[i];
            } else {
                workspace.activeClient = windows[i];
            }
        }
    }
})();
)js";

const QString activationPlugin = u"app.sayloom.Activate"_s;

// `text` as a JavaScript string literal.
QString quoted(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString ownIdentity()
{
    return QString::number(QCoreApplication::applicationPid());
}

} // namespace

KWinActiveWindow::KWinActiveWindow(QDBusConnection sessionBus)
    : m_bus(std::move(sessionBus))
    , m_names(std::make_unique<DesktopEntryNames>())
{
    if (!m_bus.isConnected()) {
        return;
    }
    if (!m_bus.registerObject(QString::fromLatin1(objectPath), this, QDBusConnection::ExportScriptableSlots)) {
        qCWarning(lcWayland, "Cannot offer KWin a place to report the active window");
        return;
    }
    // KWin reads the file itself, as the same user; a folder of the user's own keeps others from swapping it.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    m_script.setFileTemplate(QDir(folder.isEmpty() ? QDir::tempPath() : folder).filePath(u"sayloom-kwin-XXXXXX.js"_s));
    if (!m_script.open()) {
        qCWarning(lcWayland, "Cannot write the KWin script: %s", qUtf8Printable(m_script.errorString()));
        return;
    }
    QString script = QString::fromLatin1(scriptTemplate);
    script.replace(u"@SERVICE@"_s, quoted(m_bus.baseService()))
            .replace(u"@PATH@"_s, quoted(QString::fromLatin1(objectPath)))
            .replace(u"@INTERFACE@"_s, quoted(u"app.sayloom.ActiveWindow"_s));
    m_script.write(script.toUtf8());
    m_script.flush();

    // A KWin that restarts (after a crash, or a new session's) has forgotten the script.
    m_watcher.setConnection(m_bus);
    m_watcher.addWatchedService(kwinService);
    connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this,
            [this] { runDetached(loadScript(), "Loading the KWin script"); });
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        m_kwin.clear();
        m_active.reset();
    });
    runDetached(loadScript(), "Loading the KWin script");
}

KWinActiveWindow::~KWinActiveWindow()
{
    if (!m_bus.isConnected()) {
        return;
    }
    m_bus.unregisterObject(QString::fromLatin1(objectPath));
    if (!m_kwin.isEmpty()) {
        // Sent and not waited for: the script's reports would only find no object now.
        QDBusMessage unload =
                QDBusMessage::createMethodCall(kwinService, u"/Scripting"_s, scriptingInterface, u"unloadScript"_s);
        unload << QString::fromLatin1(pluginName);
        m_bus.send(unload);
    }
}

QCoro::Task<void> KWinActiveWindow::loadScript()
{
    QPointer<KWinActiveWindow> self(this);
    QCoro::Task<QString> running = runScript(m_script.fileName(), QString::fromLatin1(pluginName));
    const QString kwin = co_await std::move(running);
    if (self && !kwin.isEmpty()) {
        m_kwin = kwin;
    }
}

QCoro::Task<QString> KWinActiveWindow::runScript(QString path, QString plugin)
{
    QPointer<KWinActiveWindow> self(this);
    // A copy left by a Sayloom that ended without unloading it would make KWin refuse this one.
    QDBusMessage unload =
            QDBusMessage::createMethodCall(kwinService, u"/Scripting"_s, scriptingInterface, u"unloadScript"_s);
    unload << plugin;
    co_await m_bus.asyncCall(unload, answerMilliseconds);
    if (!self) {
        co_return QString();
    }
    QDBusMessage load =
            QDBusMessage::createMethodCall(kwinService, u"/Scripting"_s, scriptingInterface, u"loadScript"_s);
    load << path << plugin;
    const QDBusMessage loaded = co_await m_bus.asyncCall(load, answerMilliseconds);
    if (!self) {
        co_return QString();
    }
    const int id = loaded.arguments().value(0, -1).toInt();
    if (loaded.type() != QDBusMessage::ReplyMessage || id < 0) {
        qCInfo(lcWayland, "KWin did not take the script %s: %s", qUtf8Printable(plugin),
               qUtf8Printable(loaded.errorMessage()));
        co_return QString();
    }
    // Plasma 5.27 and 6 keep scripts under /Scripting; older releases kept them at the root.
    const QString paths[] = {u"/Scripting/Script"_s + QString::number(id), u'/' + QString::number(id)};
    for (const QString& script : paths) {
        const QDBusMessage ran = co_await m_bus.asyncCall(
                QDBusMessage::createMethodCall(kwinService, script, u"org.kde.kwin.Script"_s, u"run"_s),
                answerMilliseconds);
        if (!self) {
            co_return QString();
        }
        if (ran.type() == QDBusMessage::ReplyMessage) {
            co_return loaded.service();
        }
    }
    qCInfo(lcWayland, "KWin did not run the script %s", qUtf8Printable(plugin));
    co_return QString();
}

void KWinActiveWindow::Report(const QString& resourceClass, const QString& resourceName, const QString& desktopFileName,
                              const QString& pid, const QString& caption, const QString& internalId)
{
    // Any program on the session bus could call this; only KWin knows.
    if (calledFromDBus() && message().service() != m_kwin) {
        qCWarning(lcWayland, "Ignored an active-window report from %s", qUtf8Printable(message().service()));
        return;
    }
    if (resourceClass.isEmpty() && resourceName.isEmpty() && internalId.isEmpty()) {
        m_active.reset();
        return;
    }
    RunningApplication application;
    bool isNumber = false;
    const qint64 process = pid.toLongLong(&isNumber);
    application.identity = isNumber && process > 0 ? QString::number(process) : u"kwin:" + internalId;

    // KWin names a Wayland window by its app id ("org.kde.konsole") and by its executable ("konsole"); a name the
    // paste-key table knows as a terminal wins, so terminals get their paste keys; else the first name stands.
    const QStringList names{resourceClass, resourceName, desktopFileName};
    const auto isTerminal = [](const QString& name) {
        const QByteArray key = name.toUtf8();
        return pasteKeysFor(key, key) != PasteKeys::controlV;
    };
    auto chosen = std::find_if(names.begin(), names.end(), isTerminal);
    if (chosen == names.end()) {
        chosen = std::find_if(names.begin(), names.end(), [](const QString& name) { return !name.isEmpty(); });
    }
    if (chosen != names.end()) {
        application.applicationId = *chosen;
    }
    application.displayName = m_names->nameFor({desktopFileName, resourceClass, resourceName});
    if (!application.displayName) {
        application.displayName = application.applicationId ? *application.applicationId : caption;
    }
    m_active = application;
    if (!internalId.isEmpty()) {
        // One entry per application that had the focus this session; a long session is trimmed now and then.
        if (m_windows.size() > 256) {
            m_windows.clear();
        }
        m_windows.insert(application.identity, internalId);
    }
}

std::optional<RunningApplication> KWinActiveWindow::frontmost() const
{
    return m_active;
}

std::optional<RunningApplication> KWinActiveWindow::current() const
{
    return RunningApplication{.identity = ownIdentity(),
                              .applicationId = QStringLiteral("app.sayloom.Sayloom"),
                              .displayName = QStringLiteral("Sayloom")};
}

QCoro::Task<void> KWinActiveWindow::activate(RunningApplication application)
{
    const QString window = m_windows.value(application.identity);
    if (m_kwin.isEmpty() || window.isEmpty()) {
        co_return;
    }
    QPointer<KWinActiveWindow> self(this);
    QTemporaryFile script(m_script.fileTemplate());
    if (!script.open() ||
        script.write(QString::fromLatin1(activationTemplate).replace(u"@WINDOW@"_s, quoted(window)).toUtf8()) < 0 ||
        !script.flush()) {
        co_return;
    }
    QCoro::Task<QString> running = runScript(script.fileName(), activationPlugin);
    const bool ran = !(co_await std::move(running)).isEmpty();
    const auto deadline = std::chrono::steady_clock::now() + activationTimeout;
    while (ran && self && !(m_active && m_active->identity == application.identity) &&
           std::chrono::steady_clock::now() < deadline) {
        co_await QCoro::sleepFor(std::chrono::milliseconds(4));
    }
    if (self) {
        QDBusMessage unload =
                QDBusMessage::createMethodCall(kwinService, u"/Scripting"_s, scriptingInterface, u"unloadScript"_s);
        unload << activationPlugin;
        m_bus.send(unload);
    }
}

} // namespace sayloom
