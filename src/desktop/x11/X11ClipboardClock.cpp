#include "desktop/x11/X11ClipboardClock.h"

#include "desktop/x11/X11Connection.h"

#include <QCoreApplication>
#include <QCoroSignal>

namespace sayloom {

namespace {
// Qt takes the notice in within a millisecond on an idle machine; past this the claim goes ahead regardless.
constexpr std::chrono::milliseconds patience{50};
} // namespace

X11ClipboardClock::X11ClipboardClock(QObject* parent)
    : QObject(parent)
    , m_connection(X11Connection::open())
{
    if (m_connection) {
        m_atom = m_connection->atom("_SAYLOOM_TIME");
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
}

X11ClipboardClock::~X11ClipboardClock()
{
    if (m_connection && QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool X11ClipboardClock::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType == "xcb_generic_event_t") {
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
            reinterpret_cast<const xcb_property_notify_event_t*>(event)->atom == m_atom) {
            emit noticed();
        }
    }
    return false;
}

QCoro::Task<void> X11ClipboardClock::freshen()
{
    if (!m_connection || !m_connection->isUsable()) {
        co_return;
    }
    auto notice = qCoro(this, &X11ClipboardClock::noticed, patience);
    m_connection->announceTime();
    co_await std::move(notice);
}

} // namespace sayloom
