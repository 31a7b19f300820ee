#include "desktop/FileActions.h"

#include <QCoroTask>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>

namespace sayloom {
namespace {

// A private session bus with no services to start: only what a test registers is there.
class PrivateBus final {
public:
    PrivateBus()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty() || !m_folder.isValid()) {
            return;
        }
        QFile config(m_folder.filePath(QStringLiteral("bus.conf")));
        if (!config.open(QIODevice::WriteOnly)) {
            return;
        }
        config.write("<busconfig><type>session</type><listen>unix:dir=" + m_folder.path().toUtf8() +
                     "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
                     "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        config.close();
        m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_daemon.start(QStringLiteral("dbus-daemon"), {u"--config-file=" + config.fileName(),
                                                       QStringLiteral("--nofork"), QStringLiteral("--print-address")});
        if (m_daemon.waitForReadyRead(5000)) {
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        }
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    ~PrivateBus()
    {
        for (const QString& name : std::as_const(m_connections)) {
            QDBusConnection::disconnectFromBus(name);
        }
        m_daemon.kill();
        m_daemon.waitForFinished(3000);
    }

    // A new connection to the bus under `name`; not connected when the bus did not start.
    QDBusConnection connect(const QString& name)
    {
        m_connections << name;
        return QDBusConnection::connectToBus(m_address.isEmpty() ? QStringLiteral("unix:path=/nonexistent") : m_address,
                                             name);
    }
    bool running() const { return !m_address.isEmpty(); }

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
    QStringList m_connections;
};

// Stands in for a file manager and records what it was asked to show.
class FakeFileManager final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;

public Q_SLOTS:
    Q_SCRIPTABLE void ShowItems(const QStringList& uris, const QString&) { shown << uris; }
};

struct Folder {
    QTemporaryDir root;
    QString file = root.filePath(QStringLiteral("My Words/Dictionary.txt"));
    QUrl folderUrl = QUrl::fromLocalFile(root.filePath(QStringLiteral("My Words")));

    Folder()
    {
        QDir().mkpath(root.filePath(QStringLiteral("My Words")));
        QFile(file).open(QIODevice::WriteOnly);
    }
};

Launcher recording(QList<QUrl>& opened)
{
    return {.findProgram = {}, .startDetached = {}, .openUrl = [&opened](const QUrl& url) {
                opened << url;
                return true;
            }};
}

TEST(FileActions, OpensTheFileWithItsApplication)
{
    QList<QUrl> opened;
    Folder folder;
    FileActions(recording(opened), QDBusConnection(QString())).open(folder.file);
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(folder.file)});
}

TEST(FileActions, WithoutAFileManagerOnTheBusTheFolderOpens)
{
    PrivateBus bus;
    Folder folder;
    const QString missing = folder.root.filePath(QStringLiteral("My Words/gone.txt"));
    // No bus at all, a bus without a file manager, and a missing file, which is never sent to the file manager.
    const QList<std::pair<QDBusConnection, QString>> cases{{QDBusConnection(QString()), folder.file},
                                                           {bus.connect(QStringLiteral("a")), folder.file},
                                                           {bus.connect(QStringLiteral("b")), missing}};
    for (const auto& [connection, path] : cases) {
        QList<QUrl> opened;
        FileActions actions(recording(opened), connection);
        EXPECT_FALSE(QCoro::waitFor(actions.reveal(path)));
        EXPECT_EQ(opened, QList<QUrl>{folder.folderUrl});
    }
}

TEST(FileActions, AFileManagerOnTheBusShowsTheFileSelected)
{
    PrivateBus bus;
    if (!bus.running()) {
        GTEST_SKIP() << "no dbus-daemon";
    }
    QDBusConnection service = bus.connect(QStringLiteral("file manager"));
    FakeFileManager fileManager;
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fileManager,
                                       QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    QList<QUrl> opened;
    Folder folder;
    FileActions actions(recording(opened), bus.connect(QStringLiteral("sayloom")));
    EXPECT_TRUE(QCoro::waitFor(actions.reveal(folder.file)));
    EXPECT_EQ(fileManager.shown, QStringList{QUrl::fromLocalFile(folder.file).toString(QUrl::FullyEncoded)});
    EXPECT_TRUE(opened.isEmpty());
}

} // namespace
} // namespace sayloom

#include "FileActionsTest.moc"
