#include "integration/support/XServer.h"
#include "overlay/OverlayController.h"
#include "overlay/OverlayView.h"
#include "support/FakeClock.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QWindow>

#include <functional>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

namespace sayloom {
namespace {

using namespace std::chrono_literals;

// A private X display with openbox managing it and an xmessage window holding the focus, as the user's window
// would when the pill appears.
class PrivateDesktop {
public:
    QString error;

    PrivateDesktop()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xmessage")).isEmpty()) {
            error = QStringLiteral("xmessage is not installed");
            return;
        }
        if (!m_server.start(&error)) {
            return;
        }
        m_server.useInThisProcess();
        m_connection = xcb_connect(nullptr, nullptr);
        m_focusHolder.setProcessEnvironment(m_server.environment());
        m_focusHolder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_focusHolder.start(QStringLiteral("xmessage"), {QStringLiteral("I have the focus")});
        if (!waitUntil([&] { return activeWindow() != XCB_NONE; })) {
            error = QStringLiteral("the window manager gave no window the focus");
        }
    }

    ~PrivateDesktop()
    {
        if (m_connection) {
            xcb_disconnect(m_connection);
        }
        m_focusHolder.kill();
        m_focusHolder.waitForFinished(2000);
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
    XServer m_server;
    QProcess m_focusHolder;
    xcb_connection_t* m_connection = nullptr;
};

TEST(OverlayOnX11, ShowingThePillLeavesTheFocusInTheUsersWindow)
{
    PrivateDesktop desktop;
    if (!desktop.error.isEmpty()) {
        GTEST_SKIP() << qPrintable(desktop.error);
    }
    const xcb_window_t focused = desktop.focus();

    int argc = 1;
    char name[] = "overlay_x11_tests";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    testing::FakeClock clock;
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
