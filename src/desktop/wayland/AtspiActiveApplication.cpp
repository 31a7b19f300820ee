#include "desktop/wayland/AtspiActiveApplication.h"

#include "desktop/DesktopEntryNames.h"
#include "desktop/PasteKeys.h"
#include "desktop/wayland/WaylandLog.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QFileInfo>

namespace sayloom {

namespace {

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;

const QString registry = QStringLiteral("org.a11y.atspi.Registry");
const QString rootPath = QStringLiteral("/org/a11y/atspi/accessible/root");
const QString accessible = QStringLiteral("org.a11y.atspi.Accessible");

// AtspiStateType and AtspiRole values.
constexpr int stateActive = 1;
constexpr uint roleTerminal = 60;

// Finding the bus may start it (D-Bus activation of the bus launcher), which takes longer than a question on it.
constexpr std::chrono::milliseconds busLookupTimeout = 10s;

QDBusMessage methodCall(const QString& bus, const QString& path, const QString& method)
{
    return QDBusMessage::createMethodCall(bus, path, accessible, method);
}

bool isReply(const QDBusMessage& message)
{
    return message.type() == QDBusMessage::ReplyMessage && !message.arguments().isEmpty();
}

// The first argument of a reply as a(so), the way AT-SPI names objects.
template <typename Object>
QList<Object> objectsIn(const QDBusMessage& reply)
{
    QList<Object> objects;
    if (!isReply(reply) || !reply.arguments().constFirst().canConvert<QDBusArgument>()) {
        return objects;
    }
    const auto argument = reply.arguments().constFirst().value<QDBusArgument>();
    if (argument.currentSignature() != u"a(so)") {
        return objects;
    }
    argument.beginArray();
    while (!argument.atEnd()) {
        QString bus;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> bus >> path;
        argument.endStructure();
        objects.append(Object{bus, path.path()});
    }
    argument.endArray();
    return objects;
}

bool hasActiveState(const QDBusMessage& reply)
{
    if (!isReply(reply)) {
        return false;
    }
    const auto words = qdbus_cast<QList<uint>>(reply.arguments().constFirst());
    return !words.isEmpty() && (words.constFirst() & (1u << stateActive)) != 0;
}

QString ownIdentity()
{
    return QString::number(QCoreApplication::applicationPid());
}

} // namespace

// What is left of the answer's time; every call on the bus is given at most that.
class AtspiActiveApplication::Deadline {
public:
    Deadline()
        : m_end(std::chrono::steady_clock::now() + answerBudget)
    {
    }

    bool expired() const { return std::chrono::steady_clock::now() >= m_end; }

    // Milliseconds, at least 1: a timeout of 0 would not mean "none left" to every D-Bus library.
    int remaining() const
    {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_end - std::chrono::steady_clock::now());
        return std::max(1, int(left.count()));
    }

private:
    std::chrono::steady_clock::time_point m_end;
};

AtspiActiveApplication::AtspiActiveApplication(QDBusConnection sessionBus)
    : m_connectionName(u"sayloom-atspi-" + QString::number(quintptr(this), 16))
    , m_sessionBus(std::move(sessionBus))
{
    lookUpBus();
}

void AtspiActiveApplication::lookUpBus() const
{
    if (m_lookingUp || !m_sessionBus.isConnected()) {
        return;
    }
    // Asked without waiting: at the start of a session the bus may still be starting, which takes a while.
    m_lookingUp = true;
    auto* const watcher = new QDBusPendingCallWatcher(
            m_sessionBus.asyncCall(QDBusMessage::createMethodCall(u"org.a11y.Bus"_s, u"/org/a11y/bus"_s,
                                                                  u"org.a11y.Bus"_s, u"GetAddress"_s),
                                   int(busLookupTimeout.count())),
            const_cast<AtspiActiveApplication*>(this));
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusMessage reply = watcher->reply();
        const QString address = isReply(reply) ? reply.arguments().constFirst().toString() : QString();
        if (address.isEmpty()) {
            // A later question tries again.
            qCInfo(lcWayland, "No accessibility bus: %s", qUtf8Printable(reply.errorMessage()));
            m_lookingUp = false;
            return;
        }
        const_cast<AtspiActiveApplication*>(this)->joinBus(address);
    });
}

void AtspiActiveApplication::joinBus(const QString& address)
{
    QDBusConnection bus = QDBusConnection::connectToBus(address, m_connectionName);
    if (!bus.isConnected()) {
        qCWarning(lcWayland, "Cannot join the accessibility bus: %s", qUtf8Printable(bus.lastError().message()));
        QDBusConnection::disconnectFromBus(m_connectionName);
        return;
    }
    m_bus = bus;
    m_names = std::make_unique<DesktopEntryNames>();

    // Applications send events only while someone has asked the registry for them.
    bus.connect(QString(), QString(), u"org.a11y.atspi.Event.Object"_s, u"StateChanged"_s, this,
                SLOT(onStateChanged(QDBusMessage)));
    for (const QString& event : {u"object:state-changed:active"_s, u"object:state-changed:focused"_s}) {
        QDBusMessage registration = QDBusMessage::createMethodCall(registry, u"/org/a11y/atspi/registry"_s,
                                                                   u"org.a11y.atspi.Registry"_s, u"RegisterEvent"_s);
        registration << event;
        bus.asyncCall(registration);
    }
}

AtspiActiveApplication::~AtspiActiveApplication()
{
    if (m_bus) {
        QDBusConnection::disconnectFromBus(m_connectionName);
    }
}

void AtspiActiveApplication::onStateChanged(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() < 2) {
        return;
    }
    const QString detail = arguments[0].toString();
    const bool set = arguments[1].toInt() != 0;
    const Object object{message.service(), message.path()};
    if (detail == u"active") {
        if (set) {
            m_lastActive = object;
        } else if (m_lastActive == object) {
            m_lastActive.reset();
        }
    } else if (detail == u"focused" && set) {
        m_lastFocus = object;
    }
}

std::optional<AtspiActiveApplication::Object> AtspiActiveApplication::activeWindow(const Deadline& deadline) const
{
    if (m_lastActive) {
        const QDBusMessage state = m_bus->call(methodCall(m_lastActive->bus, m_lastActive->path, u"GetState"_s),
                                               QDBus::Block, deadline.remaining());
        if (hasActiveState(state)) {
            return m_lastActive;
        }
    }
    m_lastActive = walkForActiveWindow(deadline);
    return m_lastActive;
}

std::optional<AtspiActiveApplication::Object>
AtspiActiveApplication::walkForActiveWindow(const Deadline& deadline) const
{
    // Three rounds: the applications, their windows, the windows' states; the questions of a round go out together,
    // so the walk takes three answers' time however many applications there are.
    if (deadline.expired()) {
        return std::nullopt;
    }
    const QList<Object> applications = objectsIn<Object>(
            m_bus->call(methodCall(registry, rootPath, u"GetChildren"_s), QDBus::Block, deadline.remaining()));

    if (deadline.expired()) {
        return std::nullopt;
    }
    QList<QDBusPendingCall> windowLists;
    for (const Object& application : applications) {
        windowLists.append(m_bus->asyncCall(methodCall(application.bus, application.path, u"GetChildren"_s),
                                            deadline.remaining()));
    }
    QList<Object> windows;
    for (QDBusPendingCall& list : windowLists) {
        list.waitForFinished();
        windows.append(objectsIn<Object>(list.reply()));
    }

    if (deadline.expired()) {
        return std::nullopt;
    }
    QList<QDBusPendingCall> states;
    for (const Object& window : windows) {
        states.append(m_bus->asyncCall(methodCall(window.bus, window.path, u"GetState"_s), deadline.remaining()));
    }
    std::optional<Object> active;
    for (qsizetype i = 0; i < states.size(); ++i) {
        states[i].waitForFinished();
        if (!active && hasActiveState(states[i].reply())) {
            active = windows[i];
        }
    }
    return active;
}

const AtspiActiveApplication::Application* AtspiActiveApplication::application(const QString& bus,
                                                                               const Deadline& deadline) const
{
    if (const auto known = m_applications.constFind(bus); known != m_applications.constEnd()) {
        return &known.value();
    }
    QDBusPendingCall pid = m_bus->asyncCall(QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                                           QStringLiteral("/org/freedesktop/DBus"),
                                                                           QStringLiteral("org.freedesktop.DBus"),
                                                                           QStringLiteral("GetConnectionUnixProcessID"))
                                                    << bus,
                                            deadline.remaining());
    QDBusPendingCall name = m_bus->asyncCall(
            QDBusMessage::createMethodCall(bus, rootPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                           QStringLiteral("Get"))
                    << accessible << QStringLiteral("Name"),
            deadline.remaining());
    pid.waitForFinished();
    name.waitForFinished();
    // Without its process the application cannot be told from another; try again next time.
    if (!isReply(pid.reply())) {
        return nullptr;
    }
    Application application;
    application.pid = pid.reply().arguments().constFirst().toLongLong();
    if (isReply(name.reply())) {
        application.name = name.reply().arguments().constFirst().value<QDBusVariant>().variant().toString();
    }
    // The executable's name finds an entry too where the toolkit named the application otherwise.
    const QString executable = QFileInfo(QStringLiteral("/proc/%1/exe").arg(application.pid)).symLinkTarget();
    application.displayName = m_names->nameFor({application.name, QFileInfo(executable).fileName()});
    if (!application.displayName && !application.name.isEmpty()) {
        application.displayName = application.name;
    }
    // A busy desktop starts and ends many applications; what is forgotten is asked again.
    if (m_applications.size() > 256) {
        m_applications.clear();
    }
    return &m_applications.insert(bus, application).value();
}

bool AtspiActiveApplication::focusIsTerminal(const QString& bus, const Deadline& deadline) const
{
    if (!m_lastFocus || m_lastFocus->bus != bus) {
        return false;
    }
    if (m_focusRole && m_focusRole->first == *m_lastFocus) {
        return m_focusRole->second;
    }
    const QDBusMessage role = m_bus->call(methodCall(m_lastFocus->bus, m_lastFocus->path, u"GetRole"_s), QDBus::Block,
                                          deadline.remaining());
    if (!isReply(role)) {
        return false;
    }
    m_focusRole = {*m_lastFocus, role.arguments().constFirst().toUInt() == roleTerminal};
    return m_focusRole->second;
}

std::optional<RunningApplication> AtspiActiveApplication::frontmost() const
{
    if (!m_bus) {
        lookUpBus();
        return std::nullopt;
    }
    const Deadline deadline;
    const std::optional<Object> window = activeWindow(deadline);
    if (!window) {
        return std::nullopt;
    }
    const Application* const found = application(window->bus, deadline);
    if (!found) {
        return std::nullopt;
    }
    RunningApplication result{.identity = QString::number(found->pid), .displayName = found->displayName};
    if (!found->name.isEmpty()) {
        result.applicationId = found->name;
    }
    // The table's keys are what a terminal is called; the terminal role says what it is. The generic id is the
    // Debian name of "the terminal" and pastes with Ctrl+Shift+V as nearly every terminal does.
    const QByteArray name = found->name.toUtf8();
    if (pasteKeysFor(name, name) == PasteKeys::controlV && focusIsTerminal(window->bus, deadline)) {
        result.applicationId = QString::fromLatin1(genericTerminalId);
    }
    return result;
}

std::optional<RunningApplication> AtspiActiveApplication::current() const
{
    return RunningApplication{.identity = ownIdentity(),
                              .applicationId = QStringLiteral("app.sayloom.Sayloom"),
                              .displayName = QStringLiteral("Sayloom")};
}

QCoro::Task<void> AtspiActiveApplication::activate(RunningApplication)
{
    co_return;
}

} // namespace sayloom
