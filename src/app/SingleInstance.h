#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

namespace sayloom {

// Makes sure one Sayloom runs per user session. The first instance holds a lock file and listens on a local socket
// in the user's runtime folder; a later one finds the lock held, tells the first to show itself, and leaves. The
// lock (not the socket) decides, because the kernel drops it when its holder dies, so a crashed instance never
// locks the user out, and two instances started at once cannot both win.
class SingleInstance final : public QObject {
    Q_OBJECT

public:
    // `folder` is where the lock and the socket live; empty means the user's runtime folder.
    explicit SingleInstance(QString folder = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the one instance and listens for others; false when another holds the lock.
    bool claim();
    // Asks the running instance to show itself; true once it has confirmed. Waits a few seconds at most, as the
    // other may still be starting.
    bool handOver();

    QString socketPath() const;

signals:
    // Another start of the program asked to be shown.
    void activationRequested();

private:
    void serveConnection();

    QString m_folder;
    QLockFile m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace sayloom
