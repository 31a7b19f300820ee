#include "app/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace sayloom {

namespace {

const QByteArray activateRequest = QByteArrayLiteral("activate\n");
const QByteArray acknowledgement = QByteArrayLiteral("ok\n");
constexpr int handOverMilliseconds = 5000;

QString runtimeFolder(const QString& folder)
{
    if (!folder.isEmpty()) {
        return folder;
    }
    // Qt checks the folder's owner and mode and falls back to a private folder of its own when XDG_RUNTIME_DIR is
    // unset.
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

} // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent)
    , m_folder(runtimeFolder(folder))
    , m_lock(QDir(m_folder).filePath(QStringLiteral("app.sayloom.Sayloom.lock")))
{
    // A lock is only stale when its holder is gone; a live instance never lets go of it, however long it runs.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::socketPath() const
{
    return QDir(m_folder).filePath(QStringLiteral("app.sayloom.Sayloom.socket"));
}

bool SingleInstance::claim()
{
    if (!m_lock.tryLock(0)) {
        return false;
    }
    // Whatever socket file is there belongs to an instance that is gone: the lock was free.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath())) {
        // Still the one instance; only the hand-over from later starts is lost, and they say so.
        qWarning("Can't listen for other starts of Sayloom: %s", qUtf8Printable(m_server->errorString()));
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::serveConnection);
    return true;
}

bool SingleInstance::handOver()
{
    const QDeadlineTimer deadline(handOverMilliseconds);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(int(deadline.remainingTime()))) {
            socket.write(activateRequest);
            if (socket.waitForBytesWritten(int(deadline.remainingTime())) &&
                socket.waitForReadyRead(int(deadline.remainingTime()))) {
                return socket.readAll().startsWith(acknowledgement);
            }
            return false;
        }
        // The first instance holds the lock but is not listening yet: it is still starting.
        QThread::msleep(100);
    }
    return false;
}

void SingleInstance::serveConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                // A request is one short line; anything longer is not one of ours.
                if (socket->bytesAvailable() > 64) {
                    socket->abort();
                }
                return;
            }
            if (socket->readLine() == activateRequest) {
                socket->write(acknowledgement);
                socket->flush();
                emit activationRequested();
            }
            socket->disconnectFromServer();
        });
    }
}

} // namespace sayloom
