#include "ManualClock.h"
#include "overlay/OverlayController.h"
#include "overlay/OverlayView.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QWindow>

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <xcb/xcb.h>

namespace sayloom {
namespace {

using namespace std::chrono_literals;

// A private X display with openbox managing it and an xmessage window holding the focus, as the user's window
// would when the pill appears.
class PrivateDesktop {
public:
    QString error;
    QString display;

    PrivateDesktop()
    {
        for (const char* tool : {"Xvfb", "openbox", "xmessage"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                error = QString::fromLatin1(tool) + QStringLiteral(" is not installed");
                return;
            }
        }
        for (int number = 87; number < 120 && display.isEmpty(); ++number) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))) {
                continue;
            }
            start(m_server, QStringLiteral("Xvfb"),
                  {QStringLiteral(":%1").arg(number), QStringLiteral("-screen"), QStringLiteral("0"),
                   QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
            if (waitUntil([&] { return QFile::exists(socket) || m_server->state() == QProcess::NotRunning; }) &&
                m_server->state() == QProcess::Running) {
                display = QStringLiteral(":%1").arg(number);
            }
        }
        if (display.isEmpty()) {
            error = QStringLiteral("no X display could be started");
            return;
        }
        m_connection = xcb_connect(display.toLatin1().constData(), nullptr);
        start(m_windowManager, QStringLiteral("openbox"), {});
        QThread::msleep(500);
        start(m_focusHolder, QStringLiteral("xmessage"), {QStringLiteral("I have the focus")});
        if (!waitUntil([&] { return activeWindow() != XCB_NONE; })) {
            error = QStringLiteral("the window manager gave no window the focus");
        }
    }

    ~PrivateDesktop()
    {
        if (m_connection) {
            xcb_disconnect(m_connection);
        }
        for (auto* process : {&m_focusHolder, &m_windowManager, &m_server}) {
            if (*process) {
                (*process)->kill();
                (*process)->waitForFinished(2000);
            }
        }
    }

    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root; }

    xcb_window_t focus() const
    {
        xcb_get_input_focus_reply_t* reply =
                xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr);
        const xcb_window_t window = reply ? reply->focus : XCB_NONE;
        free(reply);
        return window;
    }

    // The window the window manager made active (_NET_ACTIVE_WINDOW), once it has handed out the focus.
    xcb_window_t activeWindow() const
    {
        static constexpr char name[] = "_NET_ACTIVE_WINDOW";
        xcb_intern_atom_reply_t* atom =
                xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, sizeof name - 1, name), nullptr);
        xcb_window_t window = XCB_NONE;
        if (atom) {
            xcb_get_property_reply_t* property = xcb_get_property_reply(
                    m_connection, xcb_get_property(m_connection, 0, root(), atom->atom, XCB_ATOM_WINDOW, 0, 1),
                    nullptr);
            if (property && xcb_get_property_value_length(property) == sizeof(xcb_window_t)) {
                window = *static_cast<xcb_window_t*>(xcb_get_property_value(property));
            }
            free(property);
        }
        free(atom);
        return window;
    }

    bool overrideRedirect(xcb_window_t window) const
    {
        xcb_get_window_attributes_reply_t* reply =
                xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, window), nullptr);
        const bool result = reply && reply->override_redirect;
        free(reply);
        return result;
    }

    static bool waitUntil(const std::function<bool()>& done)
    {
        const QDeadlineTimer deadline(5s);
        while (!done()) {
            if (deadline.hasExpired()) {
                return false;
            }
            QCoreApplication::processEvents();
            QThread::msleep(20);
        }
        return true;
    }

private:
    void start(std::unique_ptr<QProcess>& process, const QString& program, const QStringList& arguments)
    {
        process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!display.isEmpty()) {
            environment.insert(QStringLiteral("DISPLAY"), display);
        }
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(program, arguments);
        process->waitForStarted(5000);
    }

    std::unique_ptr<QProcess> m_server;
    std::unique_ptr<QProcess> m_windowManager;
    std::unique_ptr<QProcess> m_focusHolder;
    xcb_connection_t* m_connection = nullptr;
};

TEST(OverlayOnX11, ShowingThePillLeavesTheFocusInTheUsersWindow)
{
    PrivateDesktop desktop;
    if (!desktop.error.isEmpty()) {
        GTEST_SKIP() << qPrintable(desktop.error);
    }
    const xcb_window_t focused = desktop.focus();

    qputenv("DISPLAY", desktop.display.toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    int argc = 1;
    char name[] = "overlay_x11_tests";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    testing::ManualClock clock;
    {
        OverlayController overlay(clock);
        overlay.show(OverlayMode::listening(false));
        const auto window = static_cast<xcb_window_t>(overlay.view().winId());
        ASSERT_TRUE(PrivateDesktop::waitUntil([&] { return overlay.view().windowHandle()->isExposed(); }));
        // Time for a focus change to arrive, had the pill asked for one.
        PrivateDesktop::waitUntil([] { return false; });
        EXPECT_EQ(desktop.focus(), focused);
        EXPECT_TRUE(desktop.overrideRedirect(window)) << "managed windows join the focus chain and the taskbar";

        overlay.show(OverlayMode::message(QStringLiteral("Copied to clipboard")));
        overlay.hide(0ms);
        clock.advance(180ms);
        EXPECT_FALSE(overlay.isPanelVisible());
        EXPECT_EQ(desktop.focus(), focused);
    }
}

} // namespace
} // namespace sayloom
