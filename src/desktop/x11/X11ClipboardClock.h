#pragma once

#include <QAbstractNativeEventFilter>
#include <QCoroTask>
#include <QObject>

#include <cstdint>
#include <memory>

namespace sayloom {

class X11Connection;

// Brings Qt's idea of the X server's time up to date before the clipboard is claimed. Qt claims it with the last
// server time it has heard of, and a program in the background hears little: often exactly the time at which the
// previous owner claimed it. An owner that sees no later time ignores its loss, and a Qt program then goes on
// offering a stale list of formats, so that it pastes the wrong thing or nothing. Here the server announces its
// time (a notice on the root window, which Qt watches) and the claim waits until Qt has taken the notice in.
class X11ClipboardClock final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    // Without a reachable X server it does nothing.
    explicit X11ClipboardClock(QObject* parent = nullptr);
    X11ClipboardClock(const X11ClipboardClock&) = delete;
    X11ClipboardClock& operator=(const X11ClipboardClock&) = delete;
    ~X11ClipboardClock() override;

    // Completes once Qt has heard the server's current time, or after a short while.
    QCoro::Task<void> freshen();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void noticed();

private:
    std::unique_ptr<X11Connection> m_connection;
    std::uint32_t m_atom = 0;
};

} // namespace sayloom
