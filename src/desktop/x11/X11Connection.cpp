#include "desktop/x11/X11Connection.h"

#include <cstdlib>
#include <cstring>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

namespace sayloom {

Q_LOGGING_CATEGORY(lcX11, "app.sayloom.x11")

namespace {

template <typename Reply>
using ReplyPointer = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply>
ReplyPointer<Reply> owned(Reply* reply)
{
    return ReplyPointer<Reply>(reply, &std::free);
}

} // namespace

std::unique_ptr<X11Connection> X11Connection::open(const QByteArray& display)
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(display.isEmpty() ? nullptr : display.constData(), &screenNumber);
    if (const int error = xcb_connection_has_error(connection)) {
        qCWarning(lcX11, "Cannot reach the X server of \"%s\" (error %d)",
                  display.isEmpty() ? qgetenv("DISPLAY").constData() : display.constData(), error);
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<X11Connection>(new X11Connection(connection, screenNumber));
}

X11Connection::X11Connection(xcb_connection_t* connection, int screenNumber)
    : m_connection(connection)
    , m_screenNumber(screenNumber)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem > 0) {
        m_root = screens.data->root;
    }
}

X11Connection::~X11Connection()
{
    xcb_disconnect(m_connection);
}

bool X11Connection::isUsable() const
{
    return xcb_connection_has_error(m_connection) == 0 && m_root != XCB_NONE;
}

void X11Connection::flush() const
{
    xcb_flush(m_connection);
}

xcb_atom_t X11Connection::atom(const char* name)
{
    const QByteArray key(name);
    if (const auto found = m_atoms.constFind(key); found != m_atoms.constEnd()) {
        return found.value();
    }
    const auto reply =
            owned(xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, key.size(), name), nullptr));
    const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
    if (atom != XCB_NONE) {
        m_atoms.insert(key, atom);
    }
    return atom;
}

QByteArray X11Connection::property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) const
{
    if (window == XCB_NONE || property == XCB_NONE) {
        return {};
    }
    constexpr std::uint32_t longestInWords = 256 * 1024;
    const auto reply = owned(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, property, type, 0, longestInWords), nullptr));
    if (!reply || reply->type == XCB_NONE || (type != XCB_ATOM_ANY && reply->type != type)) {
        return {};
    }
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

std::optional<std::uint32_t> X11Connection::cardinal(xcb_window_t window, xcb_atom_t property) const
{
    const QByteArray bytes = this->property(window, property, XCB_ATOM_CARDINAL);
    if (bytes.size() < qsizetype(sizeof(std::uint32_t))) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.constData(), sizeof value);
    return value;
}

std::optional<xcb_window_t> X11Connection::windowProperty(xcb_window_t window, xcb_atom_t property) const
{
    const QByteArray bytes = this->property(window, property, XCB_ATOM_WINDOW);
    if (bytes.size() < qsizetype(sizeof(xcb_window_t))) {
        return std::nullopt;
    }
    xcb_window_t value = XCB_NONE;
    std::memcpy(&value, bytes.constData(), sizeof value);
    return value == XCB_NONE ? std::nullopt : std::optional(value);
}

xcb_window_t X11Connection::selectionOwner(xcb_atom_t selection) const
{
    const auto reply = owned(
            xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, selection), nullptr));
    return reply ? reply->owner : XCB_NONE;
}

std::pair<QByteArray, QByteArray> X11Connection::windowClass(xcb_window_t window) const
{
    const QList<QByteArray> parts = property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING).split('\0');
    return {parts.value(0), parts.value(1)};
}

bool X11Connection::hasWindowManager()
{
    // The manager names a check window of its own, which names itself again; a stale property from a manager
    // that has gone points at a window that no longer exists.
    const auto check = windowProperty(m_root, atom("_NET_SUPPORTING_WM_CHECK"));
    return check && windowProperty(*check, atom("_NET_SUPPORTING_WM_CHECK")) == check;
}

bool X11Connection::hasXInput2(std::uint8_t* opcode) const
{
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_connection, &xcb_input_id);
    if (!extension || !extension->present) {
        return false;
    }
    const auto reply = owned(
            xcb_input_xi_query_version_reply(m_connection, xcb_input_xi_query_version(m_connection, 2, 2), nullptr));
    if (!reply || reply->major_version < 2 || (reply->major_version == 2 && reply->minor_version < 2)) {
        return false;
    }
    if (opcode) {
        *opcode = extension->major_opcode;
    }
    return true;
}

bool X11Connection::hasXTest() const
{
    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(m_connection, &xcb_test_id);
    return extension && extension->present;
}

void X11Connection::announceTime()
{
    xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_root, atom("_SAYLOOM_TIME"), XCB_ATOM_INTEGER, 32, 0,
                        nullptr);
    // Any reply means the append before it has been carried out, and its notices sent.
    selectionOwner(XCB_ATOM_PRIMARY);
}

void X11Connection::fakeKey(xcb_keycode_t key, bool press) const
{
    xcb_test_fake_input(m_connection, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                        0);
}

} // namespace sayloom
