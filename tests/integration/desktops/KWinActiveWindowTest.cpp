#include "desktop/wayland/KWinActiveWindow.h"

#include "SessionBus.h"
#include "integration/support/ChildProcess.h"

#include <QCoroTask>
#include <QDBusPendingCall>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <gtest/gtest.h>

namespace sayloom {
namespace {

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;

// KWin's scripting service as far as Sayloom uses it, at /Scripting and at the script's own path.
class FakeScripting final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Scripting")

public:
    QList<QByteArray> scripts;
    int unloads = 0;

public Q_SLOTS:
    Q_SCRIPTABLE int loadScript(const QString& path, const QString&)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? scripts << file.readAll(), 7 : -1;
    }
    Q_SCRIPTABLE bool unloadScript(const QString&) { return ++unloads, true; }
};

class FakeScript final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Script")

public:
    int runs = 0;

public Q_SLOTS:
    Q_SCRIPTABLE void run() { ++runs; }
};

// Plasma 6 (argument "6") and Plasma 5 in miniature: Konsole is active, then Firefox, then no window; or, with a third
// argument, the caption of the window active after the script. KWin 5 hands some texts over as byte arrays, which
// only have toString(). Each callDBus becomes a line of JSON.
constexpr const char* workspaces = R"js(
const callDBus = (...args) => console.log(JSON.stringify(args));
const handlers = [], activated = { connect: (f) => handlers.push(f) };
const bytes = (text) => ({ toString: () => text });
const konsole = { resourceClass: bytes("org.kde.konsole"), resourceName: bytes("konsole"),
                  desktopFileName: "org.kde.konsole", pid: 4242, caption: "~ : bash", internalId: bytes("{5c1e}") };
const firefox = { resourceClass: "firefox", resourceName: "firefox", pid: 77, caption: "Mail", internalId: "{f1}" };
const list = () => [konsole, firefox];
const workspace = process.argv[3] === "6" ? { windowActivated: activated, activeWindow: konsole, windowList: list }
                                          : { clientActivated: activated, activeClient: konsole, clientList: list };
eval(require("fs").readFileSync(process.argv[2], "utf8"));
if (process.argv[4]) {
    console.log(JSON.stringify([(workspace.activeWindow || workspace.activeClient).caption]));
} else {
    [firefox, null].forEach((window) => handlers.forEach((f) => f(window)));
}
)js";

// Makes a call the script made, as KWin would make it, from `from`.
bool deliver(QDBusConnection from, const QJsonArray& call)
{
    QDBusMessage message = QDBusMessage::createMethodCall(call[0].toString(), call[1].toString(), call[2].toString(),
                                                          call[3].toString());
    for (qsizetype i = 4; i < call.size(); ++i) {
        message << call[i].toString();
    }
    QDBusPendingCall reply = from.asyncCall(message);
    return waitUntil([&] { return reply.isFinished(); }, 5s) && !reply.isError();
}

// The script runs under node against each Plasma's workspace; a stand-in KWin on a private bus makes its calls.
TEST(KWinActiveWindow, FollowsWhatItsScriptReportsFromKWinOnly)
{
    const QString node = QStandardPaths::findExecutable(u"node"_s);
    QProcess daemon;
    const QString address = startSessionBus(daemon, QProcessEnvironment::systemEnvironment());
    if (node.isEmpty() || address.isEmpty()) {
        GTEST_SKIP() << "needs node and dbus-daemon";
    }
    QTemporaryFile harness, loaded;
    ASSERT_TRUE(harness.open() && harness.write(workspaces) > 0 && harness.flush());
    FakeScripting scripting;
    FakeScript script;
    QDBusConnection kwin = QDBusConnection::connectToBus(address, u"kwin"_s);
    ASSERT_TRUE(kwin.registerObject(u"/Scripting"_s, &scripting, QDBusConnection::ExportScriptableSlots) &&
                kwin.registerObject(u"/Scripting/Script7"_s, &script, QDBusConnection::ExportScriptableSlots) &&
                kwin.registerService(u"org.kde.KWin"_s));
    const auto runLoaded = [&](const QString& plasma, const QStringList& more = {}) {
        QProcess run;
        loaded.open() && loaded.resize(0) && loaded.write(scripting.scripts.back()) && loaded.flush();
        run.start(node, QStringList{harness.fileName(), loaded.fileName(), plasma} + more);
        EXPECT_TRUE(run.waitForFinished(10000) && run.exitCode() == 0) << run.readAllStandardError().toStdString();
        return run.readAllStandardOutput().trimmed().split('\n');
    };
    auto route = std::make_unique<KWinActiveWindow>(QDBusConnection::connectToBus(address, u"sayloom"_s));
    ASSERT_TRUE(waitUntil([&] { return script.runs == 1; }, 5s)) << "the script never ran";
    EXPECT_EQ(route->frontmost(), std::nullopt);

    QList<QJsonArray> calls;
    for (const QString& plasma : {u"6"_s, u"5"_s}) {
        calls.clear();
        QStringList seen;
        for (const QByteArray& line : runLoaded(plasma)) {
            calls << QJsonDocument::fromJson(line).array();
            EXPECT_TRUE(deliver(kwin, calls.back())) << line.toStdString();
            const auto found = route->frontmost();
            seen << (found ? found->identity + u' ' + found->applicationId.value_or(QString()) : u"nothing"_s);
        }
        // Konsole by the name the paste keys know it as a terminal by.
        EXPECT_EQ(seen, QStringList({u"4242 konsole"_s, u"77 firefox"_s, u"nothing"_s}))
                << "Plasma " << plasma.toStdString();
    }

    // Anyone but KWin is not believed.
    QDBusConnection stranger = QDBusConnection::connectToBus(address, u"stranger"_s);
    deliver(stranger, calls[0]);
    EXPECT_EQ(route->frontmost(), std::nullopt);

    // Activation runs a second script, which makes Firefox's window the active one under either Plasma.
    deliver(kwin, calls[0]);
    QCoro::waitFor(route->activate(RunningApplication{.identity = u"77"_s}));
    ASSERT_EQ(scripting.scripts.size(), 2);
    for (const QString& plasma : {u"6"_s, u"5"_s}) {
        EXPECT_EQ(runLoaded(plasma, {u"active"_s}).join().toStdString(), R"(["Mail"])") << plasma.toStdString();
    }

    const int unloads = scripting.unloads;
    route.reset();
    EXPECT_TRUE(waitUntil([&] { return scripting.unloads > unloads; }, 5s)) << "the script stays loaded";
    for (const QString& name : {u"kwin"_s, u"stranger"_s, u"sayloom"_s}) {
        QDBusConnection::disconnectFromBus(name);
    }
}

} // namespace
} // namespace sayloom

#include "KWinActiveWindowTest.moc"
