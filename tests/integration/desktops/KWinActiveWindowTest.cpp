#include "desktop/wayland/KWinActiveWindow.h"

#include "SessionBus.h"
#include "integration/support/ChildProcess.h"

#include <QDBusPendingCall>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <iostream>

namespace sayloom {
namespace {

using namespace Qt::Literals::StringLiterals;

// KWin's scripting service as far as Sayloom uses it: it takes one script and runs it.
class FakeScripting final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Scripting")

public:
    QString file;
    QStringList unloaded;

public Q_SLOTS:
    Q_SCRIPTABLE int loadScript(const QString& path, const QString&) { return file = path, 7; }
    Q_SCRIPTABLE bool unloadScript(const QString& plugin) { return unloaded << plugin, true; }
};

class FakeScript final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.kwin.Script")

public:
    int runs = 0;

public Q_SLOTS:
    Q_SCRIPTABLE void run() { ++runs; }
};

// A call the script makes, made by the test from `from` as KWin would make it.
bool deliver(QDBusConnection from, const QJsonArray& call)
{
    QDBusMessage message = QDBusMessage::createMethodCall(call[0].toString(), call[1].toString(), call[2].toString(),
                                                          call[3].toString());
    for (qsizetype i = 4; i < call.size(); ++i) {
        if (!call[i].isString()) {
            return false;
        }
        message << call[i].toString();
    }
    QDBusPendingCall reply = from.asyncCall(message);
    return waitUntil([&] { return reply.isFinished(); }, std::chrono::seconds(5)) && !reply.isError();
}

// The report the script makes to `destination`, with the window's fields.
QJsonArray report(const QString& destination, const QJsonArray& fields)
{
    QJsonArray call{destination, u"/app/sayloom/ActiveWindow"_s, u"app.sayloom.ActiveWindow"_s, u"Report"_s};
    for (const auto& field : fields) {
        call.append(field);
    }
    return call;
}

// Plasma 6 and Plasma 5 in miniature: the active window, and an activation signal the harness fires for Firefox,
// then for no window at all. KWin 5 hands some texts over as byte arrays, which only have toString().
constexpr const char* harness = R"js(
const callDBus = (...args) => console.log(JSON.stringify(args));
const signal = () => { const handlers = []; return { connect: (f) => handlers.push(f), fire: (w) => handlers.forEach((f) => f(w)) }; };
const bytes = (text) => ({ toString: () => text });
const konsole = { resourceClass: bytes("org.kde.konsole"), resourceName: bytes("konsole"),
                  desktopFileName: "org.kde.konsole", pid: 4242, caption: "~ : bash", internalId: bytes("{5c1e}") };
const firefox = { resourceClass: "firefox", resourceName: "firefox", desktopFileName: "", pid: 77, caption: "Mail",
                  internalId: "{f1}" };
const activated = signal();
const workspace = process.argv[3] === "6" ? { windowActivated: activated, activeWindow: konsole }
                                          : { clientActivated: activated, activeClient: konsole };
eval(require("fs").readFileSync(process.argv[2], "utf8"));
activated.fire(firefox);
activated.fire(null);
)js";

TEST(KWinActiveWindow, FollowsWhatItsScriptReportsFromKWinOnly)
{
    const SessionBus session;
    ASSERT_FALSE(session.address().isEmpty()) << "dbus-daemon did not start";
    FakeScripting scripting;
    FakeScript script;
    QDBusConnection kwin = QDBusConnection::connectToBus(session.address(), u"kwin"_s);
    QDBusConnection stranger = QDBusConnection::connectToBus(session.address(), u"stranger"_s);
    ASSERT_TRUE(kwin.registerObject(u"/Scripting"_s, &scripting, QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(kwin.registerObject(u"/Scripting/Script7"_s, &script, QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(kwin.registerService(u"org.kde.KWin"_s));
    {
        auto route = std::make_unique<KWinActiveWindow>(QDBusConnection::connectToBus(session.address(), u"sayloom"_s));
        ASSERT_TRUE(waitUntil([&] { return script.runs == 1; }, std::chrono::seconds(5))) << "the script never ran";
        const QString sayloom = QDBusConnection(u"sayloom"_s).baseService();
        EXPECT_EQ(route->frontmost(), std::nullopt);

        // What the script says for each of KWin's shapes, delivered from KWin, with what Sayloom makes of it:
        // Konsole by the name the paste keys know it as a terminal by, then Firefox, then nothing.
        const QString node = QStandardPaths::findExecutable(u"node"_s);
        QTemporaryDir folder;
        QFile harnessFile(folder.filePath(u"harness.js"_s));
        ASSERT_TRUE(harnessFile.open(QIODevice::WriteOnly));
        harnessFile.write(harness);
        harnessFile.close();
        const QJsonArray konsole{u"org.kde.konsole"_s, u"konsole"_s, u"org.kde.konsole"_s, u"4242"_s,
                                 u"~ : bash"_s,        u"{5c1e}"_s};
        const QJsonArray firefox{u"firefox"_s, u"firefox"_s, u""_s, u"77"_s, u"Mail"_s, u"{f1}"_s};
        const QJsonArray none{u""_s, u""_s, u""_s, u""_s, u""_s, u""_s};
        for (const QString& plasma : {u"6"_s, u"5"_s}) {
            QList<QJsonArray> calls;
            if (!node.isEmpty()) {
                QProcess run;
                run.start(node, {harnessFile.fileName(), scripting.file, plasma});
                ASSERT_TRUE(run.waitForFinished(10000) && run.exitCode() == 0)
                        << run.readAllStandardError().toStdString();
                for (const QByteArray& line : run.readAllStandardOutput().trimmed().split('\n')) {
                    calls << QJsonDocument::fromJson(line).array();
                }
            } else {
                // Without a JavaScript engine the script's calls are the ones it is meant to make.
                calls = {report(sayloom, konsole), report(sayloom, firefox), report(sayloom, none)};
            }
            ASSERT_EQ(calls.size(), 3) << "Plasma " << plasma.toStdString();
            std::vector<std::optional<RunningApplication>> seen;
            for (const QJsonArray& call : calls) {
                EXPECT_TRUE(deliver(kwin, call)) << QJsonDocument(call).toJson().toStdString();
                seen.push_back(route->frontmost());
            }
            ASSERT_TRUE(seen[0] && seen[1]) << "Plasma " << plasma.toStdString();
            EXPECT_EQ(seen[0]->identity, u"4242"_s);
            EXPECT_EQ(seen[0]->applicationId, u"konsole"_s);
            EXPECT_EQ(seen[1]->identity, u"77"_s);
            EXPECT_EQ(seen[1]->applicationId, u"firefox"_s);
            EXPECT_EQ(seen[2], std::nullopt);
        }
        if (node.isEmpty()) {
            std::cout << "node is not installed: the script itself was not run\n";
        }

        // Anyone else on the bus is not believed.
        ASSERT_TRUE(deliver(kwin, report(sayloom, firefox)));
        deliver(stranger, report(sayloom, konsole));
        ASSERT_TRUE(route->frontmost());
        EXPECT_EQ(route->frontmost()->identity, u"77"_s);

        const qsizetype unloadedBefore = scripting.unloaded.size();
        route.reset();
        EXPECT_TRUE(waitUntil([&] { return scripting.unloaded.size() > unloadedBefore; }, std::chrono::seconds(5)))
                << "the script stays loaded";
    }
    for (const QString& name : {u"kwin"_s, u"stranger"_s, u"sayloom"_s}) {
        QDBusConnection::disconnectFromBus(name);
    }
}

} // namespace
} // namespace sayloom

#include "KWinActiveWindowTest.moc"
