#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace sayloom {

// Whether our login session is the one in front on its seat, from logind. The keyboards belong to the seat, not to
// us: while another session (another user's, a text console) is in front, its keys are none of ours. Taken as active
// whenever logind cannot tell (no system bus, no session, a remote session).
class LogindSession final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool active READ isActive NOTIFY activeChanged)

public:
    explicit LogindSession(const QDBusConnection& systemBus, QObject* parent = nullptr);
    LogindSession(const LogindSession&) = delete;
    LogindSession& operator=(const LogindSession&) = delete;
    ~LogindSession() override;

    bool isActive() const { return m_active; }

Q_SIGNALS:
    void activeChanged(bool active);

private Q_SLOTS:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);

private:
    void follow(const QString& path);
    void readProperties();
    void setActive(bool active);

    QDBusConnection m_bus;
    QString m_path;
    bool m_remote = false;
    bool m_active = true;
};

} // namespace sayloom
