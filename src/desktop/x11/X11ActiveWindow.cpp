#include "desktop/x11/X11ActiveWindow.h"

#include "desktop/DesktopEntryNames.h"
#include "desktop/x11/X11Connection.h"

#include <QCoreApplication>
#include <QCoroTimer>

#include <cstdlib>
#include <cstring>

namespace sayloom {

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds confirmationPoll{4};

// What the session reads as this process.
QString ownIdentity()
{
    return QString::number(QCoreApplication::applicationPid());
}

} // namespace

X11ActiveWindow::X11ActiveWindow()
    : m_connection(X11Connection::open())
    , m_names(std::make_unique<DesktopEntryNames>())
{
}

X11ActiveWindow::~X11ActiveWindow() = default;

std::uint32_t X11ActiveWindow::activeWindow() const
{
    if (!m_connection || !m_connection->isUsable()) {
        return XCB_NONE;
    }
    if (m_connection->hasWindowManager()) {
        return m_connection->windowProperty(m_connection->root(), m_connection->atom("_NET_ACTIVE_WINDOW"))
                .value_or(XCB_NONE);
    }
    // No manager: the focus is a window of some client; its top-level window is the one below the root.
    xcb_connection_t* const c = m_connection->get();
    const auto focus = std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)>(
            xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr), &std::free);
    xcb_window_t window = focus ? focus->focus : XCB_NONE;
    while (window != XCB_NONE && window != XCB_INPUT_FOCUS_POINTER_ROOT && window != m_connection->root()) {
        const auto tree = std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)>(
                xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &std::free);
        if (!tree) {
            return XCB_NONE;
        }
        if (tree->parent == m_connection->root()) {
            return window;
        }
        window = tree->parent;
    }
    return XCB_NONE;
}

RunningApplication X11ActiveWindow::describe(std::uint32_t window) const
{
    const std::optional<std::uint32_t> pid = m_connection->cardinal(window, m_connection->atom("_NET_WM_PID"));
    const auto [instance, windowClass] = m_connection->windowClass(window);
    const QString gtkId = QString::fromUtf8(m_connection->property(window, m_connection->atom("_GTK_APPLICATION_ID"),
                                                                   m_connection->atom("UTF8_STRING")));
    const QString className = QString::fromLocal8Bit(windowClass);
    const QString instanceName = QString::fromLocal8Bit(instance);

    RunningApplication application;
    // A window without a process id (a client on another machine) stands for itself.
    application.identity = pid ? QString::number(*pid) : u"window:" + QString::number(window);
    if (!gtkId.isEmpty()) {
        application.applicationId = gtkId;
    } else if (!className.isEmpty()) {
        application.applicationId = className;
    }
    application.displayName = m_names->nameFor({gtkId, className, instanceName});
    if (!application.displayName && !className.isEmpty()) {
        application.displayName = className;
    }
    application.window = window;
    return application;
}

std::optional<RunningApplication> X11ActiveWindow::frontmost() const
{
    const xcb_window_t window = activeWindow();
    if (window == XCB_NONE) {
        return std::nullopt;
    }
    return describe(window);
}

std::optional<RunningApplication> X11ActiveWindow::current() const
{
    return RunningApplication{.identity = ownIdentity(),
                              .applicationId = QStringLiteral("app.sayloom.Sayloom"),
                              .displayName = QStringLiteral("Sayloom")};
}

std::uint32_t X11ActiveWindow::windowOfProcess(const QString& identity) const
{
    const QByteArray clients =
            m_connection->property(m_connection->root(), m_connection->atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
    const xcb_atom_t pidAtom = m_connection->atom("_NET_WM_PID");
    for (qsizetype offset = 0; offset + qsizetype(sizeof(xcb_window_t)) <= clients.size();
         offset += sizeof(xcb_window_t)) {
        xcb_window_t window = XCB_NONE;
        std::memcpy(&window, clients.constData() + offset, sizeof window);
        const std::optional<std::uint32_t> pid = m_connection->cardinal(window, pidAtom);
        if (pid && QString::number(*pid) == identity) {
            return window;
        }
    }
    return XCB_NONE;
}

QCoro::Task<void> X11ActiveWindow::activate(RunningApplication application)
{
    if (!m_connection || !m_connection->isUsable()) {
        co_return;
    }
    const xcb_window_t window =
            application.window ? xcb_window_t(*application.window) : windowOfProcess(application.identity);
    if (window == XCB_NONE) {
        co_return;
    }
    xcb_connection_t* const c = m_connection->get();
    if (m_connection->hasWindowManager()) {
        // Source 2 ("pager"): the user asked for this window, so the manager's focus-stealing rules let it through.
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = m_connection->atom("_NET_ACTIVE_WINDOW");
        message.data.data32[0] = 2;
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, m_connection->root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    } else {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    }
    m_connection->flush();

    const auto deadline = std::chrono::steady_clock::now() + activationTimeout;
    while (activeWindow() != window && std::chrono::steady_clock::now() < deadline) {
        co_await QCoro::sleepFor(confirmationPoll);
    }
}

} // namespace sayloom
