#include "desktop/DesktopFileActions.h"

#include "desktop/DesktopLog.h"

#include <QCoroDBusPendingCall>
#include <QDBusMessage>
#include <QFileInfo>

namespace sayloom {

namespace {

// A file manager that is not running yet is started by the bus first, which can take a few seconds; past this the
// folder opens instead.
constexpr int answerMilliseconds = 10'000;

} // namespace

DesktopFileActions::DesktopFileActions(Launcher launcher, QDBusConnection bus)
    : m_launcher(std::move(launcher))
    , m_bus(std::move(bus))
{
}

bool DesktopFileActions::open(const QString& path) const
{
    return m_launcher.openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

QCoro::Task<bool> DesktopFileActions::reveal(const QString& path) const
{
    // Copies, so the answer may arrive after this object is gone.
    const Launcher launcher = m_launcher;
    QDBusConnection bus = m_bus;
    const QFileInfo file(path);
    if (file.exists() && bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
                QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
                QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << QStringList{QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded)} << QString();
        const QDBusMessage reply = co_await bus.asyncCall(call, answerMilliseconds);
        if (reply.type() == QDBusMessage::ReplyMessage) {
            co_return true;
        }
        qCDebug(lcDesktop, "The file manager did not show the file: %s", qUtf8Printable(reply.errorMessage()));
    }
    const QFileInfo folder(file.absolutePath());
    if (folder.isDir()) {
        launcher.openUrl(QUrl::fromLocalFile(folder.absoluteFilePath()));
    }
    co_return false;
}

} // namespace sayloom
