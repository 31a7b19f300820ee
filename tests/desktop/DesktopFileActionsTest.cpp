#include "desktop/DesktopFileActions.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <gtest/gtest.h>
#include <sys/prctl.h>

namespace sayloom {
namespace {

using namespace Qt::Literals::StringLiterals;

// Stands in for a file manager and records what it was asked to show.
class FakeFileManager final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;

public Q_SLOTS:
    Q_SCRIPTABLE void ShowItems(const QStringList& uris, const QString&) { shown << uris; }
};

TEST(DesktopFileActions, AFileManagerOnTheBusShowsTheFileElseItsFolderOpens)
{
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkdir(u"My Words"_s));
    const QString file = root.filePath(u"My Words/Dictionary.txt"_s), missing = root.filePath(u"My Words/gone.txt"_s);
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    const QList<QUrl> folder{QUrl::fromLocalFile(root.filePath(u"My Words"_s))};
    QList<QUrl> opened;
    Launcher launcher;
    launcher.openUrl = [&opened](const QUrl& url) { return opened << url, true; };
    EXPECT_FALSE(QCoro::waitFor(DesktopFileActions(launcher, QDBusConnection(QString())).reveal(file)))
            << "no bus at all";
    EXPECT_EQ(opened, folder);

    // A private session bus with a file manager of our own on it.
    QProcess daemon;
    daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    daemon.start(u"dbus-daemon"_s,
                 {u"--session"_s, u"--nofork"_s, u"--print-address"_s, u"--address=unix:dir="_s + root.path()});
    if (!daemon.waitForReadyRead(5000)) {
        GTEST_SKIP() << "no dbus-daemon";
    }
    const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
    FakeFileManager fileManager;
    {
        QDBusConnection service = QDBusConnection::connectToBus(address, u"file manager"_s);
        QDBusConnection sayloom = QDBusConnection::connectToBus(address, u"sayloom"_s);
        ASSERT_TRUE(service.registerObject(u"/org/freedesktop/FileManager1"_s, &fileManager,
                                           QDBusConnection::ExportScriptableSlots));
        ASSERT_TRUE(service.registerService(u"org.freedesktop.FileManager1"_s));
        opened.clear();
        EXPECT_TRUE(QCoro::waitFor(DesktopFileActions(launcher, sayloom).reveal(file)));
        EXPECT_TRUE(opened.isEmpty());
        // The file manager is not asked about a file that is not there.
        EXPECT_FALSE(QCoro::waitFor(DesktopFileActions(launcher, sayloom).reveal(missing)));
        EXPECT_EQ(opened, folder);
        EXPECT_EQ(fileManager.shown, QStringList{QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)});
    }
    QDBusConnection::disconnectFromBus(u"file manager"_s);
    QDBusConnection::disconnectFromBus(u"sayloom"_s);
}

} // namespace
} // namespace sayloom

#include "DesktopFileActionsTest.moc"
