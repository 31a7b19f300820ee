#include "desktop/wayland/LogindSession.h"

#include "desktop/wayland/WaylandLog.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace sayloom {

namespace {

const QString service = QStringLiteral("org.freedesktop.login1");
const QString sessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

} // namespace

LogindSession::LogindSession(const QDBusConnection& systemBus, QObject* parent)
    : QObject(parent)
    , m_bus(systemBus)
{
    if (!m_bus.isConnected()) {
        return;
    }
    // "auto" is the caller's session, or, for a program outside any (a user service), the user's graphical one.
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/login1"),
                                                       QStringLiteral("org.freedesktop.login1.Manager"),
                                                       QStringLiteral("GetSession"));
    call << QStringLiteral("auto");
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *finished;
        if (reply.isError()) {
            qCDebug(lcWayland) << "logind knows no session of ours:" << reply.error().message();
            return;
        }
        follow(reply.value().path());
    });
}

LogindSession::~LogindSession() = default;

void LogindSession::follow(const QString& path)
{
    m_path = path;
    m_bus.connect(service, m_path, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
                  SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
    readProperties();
}

void LogindSession::readProperties()
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, m_path, propertiesInterface, QStringLiteral("GetAll"));
    call << sessionInterface;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QVariantMap> reply = *finished;
        if (reply.isError()) {
            return;
        }
        // A remote session has no seat in front of it; the keyboards it can reach are the user's own choice.
        m_remote = reply.value().value(QStringLiteral("Remote")).toBool();
        setActive(reply.value().value(QStringLiteral("Active"), true).toBool());
    });
}

void LogindSession::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                      const QStringList& invalidated)
{
    if (interface != sessionInterface) {
        return;
    }
    if (changed.contains(QStringLiteral("Active"))) {
        setActive(changed.value(QStringLiteral("Active")).toBool());
    } else if (invalidated.contains(QStringLiteral("Active"))) {
        readProperties();
    }
}

void LogindSession::setActive(bool active)
{
    active = active || m_remote;
    if (active != m_active) {
        m_active = active;
        qCInfo(lcWayland, active ? "Our session is in front again; keyboards are read"
                                 : "Another session is in front; keyboards are not read meanwhile");
        Q_EMIT activeChanged(active);
    }
}

} // namespace sayloom
