#include "desktop/wayland/SwayActiveWindow.h"

#include "desktop/DesktopEntryNames.h"
#include "desktop/wayland/WaylandLog.h"

#include <QCoreApplication>
#include <QCoroTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace sayloom {

namespace {

using Clock = std::chrono::steady_clock;

// The i3 IPC message types sway answers.
constexpr std::uint32_t runCommand = 0;
constexpr std::uint32_t getTree = 4;

constexpr char magic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr std::size_t headerSize = sizeof magic + 2 * sizeof(std::uint32_t);
// A tree of a few hundred windows is a few hundred kilobytes; a reply past this is not sway's.
constexpr std::uint32_t largestReply = 64 * 1024 * 1024;

constexpr std::chrono::milliseconds confirmationPoll{4};

// Waits until `fd` is ready for `events` or the deadline passes.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd ready{fd, events, 0};
        const int result = ::poll(&ready, 1, int(left));
        if (result > 0) {
            return true;
        }
        if (result < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool sendAll(int fd, const QByteArray& bytes, Clock::time_point deadline)
{
    for (qsizetype sent = 0; sent < bytes.size();) {
        const ssize_t count = ::send(fd, bytes.constData() + sent, std::size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (count > 0) {
            sent += count;
        } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!waitFor(fd, POLLOUT, deadline)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

bool receiveAll(int fd, char* into, std::size_t size, Clock::time_point deadline)
{
    for (std::size_t received = 0; received < size;) {
        const ssize_t count = ::recv(fd, into + received, size - received, 0);
        if (count > 0) {
            received += std::size_t(count);
        } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!waitFor(fd, POLLIN, deadline)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

// The focused node below `node`, depth first; windows float beside the tiled ones.
QJsonObject findFocused(const QJsonObject& node)
{
    if (node.value(u"focused").toBool()) {
        return node;
    }
    for (const char* children : {"nodes", "floating_nodes"}) {
        for (const QJsonValue& child : node.value(QLatin1String(children)).toArray()) {
            if (QJsonObject found = findFocused(child.toObject()); !found.isEmpty()) {
                return found;
            }
        }
    }
    return {};
}

QString ownIdentity()
{
    return QString::number(QCoreApplication::applicationPid());
}

} // namespace

SwayActiveWindow::SwayActiveWindow(QByteArray socket)
    : m_socket(socket.isEmpty() ? qgetenv("SWAYSOCK") : std::move(socket))
    , m_names(std::make_unique<DesktopEntryNames>())
{
}

SwayActiveWindow::~SwayActiveWindow() = default;

std::optional<QByteArray> SwayActiveWindow::ask(std::uint32_t type, const QByteArray& payload) const
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_socket.isEmpty() || std::size_t(m_socket.size()) >= sizeof address.sun_path) {
        return std::nullopt;
    }
    std::memcpy(address.sun_path, m_socket.constData(), std::size_t(m_socket.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    const auto closing = qScopeGuard([fd] { ::close(fd); });
    const auto deadline = Clock::now() + answerTimeout;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        !(errno == EINPROGRESS || errno == EAGAIN)) {
        return std::nullopt;
    }

    QByteArray message(magic, sizeof magic);
    const std::uint32_t header[2] = {std::uint32_t(payload.size()), type};
    message.append(reinterpret_cast<const char*>(header), sizeof header);
    message.append(payload);
    char reply[headerSize];
    if (!sendAll(fd, message, deadline) || !receiveAll(fd, reply, headerSize, deadline) ||
        std::memcmp(reply, magic, sizeof magic) != 0) {
        return std::nullopt;
    }
    std::uint32_t replyHeader[2];
    std::memcpy(replyHeader, reply + sizeof magic, sizeof replyHeader);
    if (replyHeader[0] > largestReply || replyHeader[1] != type) {
        return std::nullopt;
    }
    QByteArray body(static_cast<qsizetype>(replyHeader[0]), Qt::Uninitialized);
    if (!receiveAll(fd, body.data(), std::size_t(body.size()), deadline)) {
        return std::nullopt;
    }
    return body;
}

QJsonObject SwayActiveWindow::focusedWindow() const
{
    const std::optional<QByteArray> tree = ask(getTree, {});
    if (!tree) {
        return {};
    }
    QJsonObject focused = findFocused(QJsonDocument::fromJson(*tree).object());
    // A focused workspace or output means no window has the focus.
    const QString type = focused.value(u"type").toString();
    if (type != u"con" && type != u"floating_con") {
        return {};
    }
    return focused;
}

RunningApplication SwayActiveWindow::describe(const QJsonObject& node) const
{
    const QString appId = node.value(u"app_id").toString();
    const QJsonObject x11 = node.value(u"window_properties").toObject();
    const QString windowClass = x11.value(u"class").toString();
    const QString instance = x11.value(u"instance").toString();
    const qint64 pid = node.value(u"pid").toInteger();
    const qint64 id = node.value(u"id").toInteger();

    RunningApplication application;
    application.identity = pid > 0 ? QString::number(pid) : u"window:" + QString::number(id);
    if (!appId.isEmpty()) {
        application.applicationId = appId;
    } else if (!windowClass.isEmpty()) {
        application.applicationId = windowClass;
    }
    application.displayName = m_names->nameFor({appId, windowClass, instance});
    if (!application.displayName && !node.value(u"name").toString().isEmpty()) {
        application.displayName = node.value(u"name").toString();
    }
    application.window = std::uint64_t(id);
    return application;
}

std::optional<RunningApplication> SwayActiveWindow::frontmost() const
{
    const QJsonObject node = focusedWindow();
    if (node.isEmpty()) {
        return std::nullopt;
    }
    return describe(node);
}

std::optional<RunningApplication> SwayActiveWindow::current() const
{
    return RunningApplication{.identity = ownIdentity(),
                              .applicationId = QStringLiteral("app.sayloom.Sayloom"),
                              .displayName = QStringLiteral("Sayloom")};
}

QCoro::Task<void> SwayActiveWindow::activate(RunningApplication application)
{
    // The window when we know it, else any window of the process; the identity is a pid unless it names a window.
    QByteArray criteria;
    if (!isAvailable()) {
        co_return;
    }
    if (application.window) {
        criteria = "con_id=" + QByteArray::number(*application.window);
    } else if (bool isPid = false; application.identity.toLongLong(&isPid) > 0 && isPid) {
        criteria = "pid=" + application.identity.toLatin1();
    } else {
        co_return;
    }
    const std::optional<QByteArray> reply = ask(runCommand, '[' + criteria + "] focus");
    if (!reply) {
        qCWarning(lcWayland, "sway did not answer the request to focus a window");
        co_return;
    }
    // The window has gone: nothing will take the focus.
    if (!QJsonDocument::fromJson(*reply).array().at(0).toObject().value(u"success").toBool()) {
        co_return;
    }
    const auto isFront = [this, &application] {
        const QJsonObject node = focusedWindow();
        return !node.isEmpty() &&
               (application.window ? std::uint64_t(node.value(u"id").toInteger()) == *application.window
                                   : describe(node) == application);
    };
    const auto deadline = Clock::now() + activationTimeout;
    while (!isFront() && Clock::now() < deadline) {
        co_await QCoro::sleepFor(confirmationPoll);
    }
}

} // namespace sayloom
