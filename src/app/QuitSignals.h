#pragma once

#include <QObject>

class QSocketNotifier;

namespace sayloom {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, a service manager, Ctrl+C in a terminal) into an ordinary quit of the
// event loop, so the application ends the way its Quit command does: the take is cancelled and every store is left
// whole. A signal handler may do almost nothing, so it only writes a byte into a pipe that the event loop reads.
class QuitSignals final : public QObject {
    Q_OBJECT

public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

signals:
    void quitRequested(int signal);

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace sayloom
