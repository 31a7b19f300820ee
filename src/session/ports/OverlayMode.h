#pragma once

#include <QString>

namespace sayloom {

// What the floating pill shows: recording (with a lock when hands-free), a short message, nothing, or the
// working indicator. Equal when the case and its payload are equal.
class OverlayMode {
public:
    enum class Kind { listening, message, hidden, processing };

    static OverlayMode listening(bool locked) { return OverlayMode(Kind::listening, locked, {}); }
    static OverlayMode message(QString text) { return OverlayMode(Kind::message, false, std::move(text)); }
    static OverlayMode hidden() { return OverlayMode(Kind::hidden, false, {}); }
    static OverlayMode processing() { return OverlayMode(Kind::processing, false, {}); }

    OverlayMode() = default;

    Kind kind() const { return m_kind; }
    // Only meaningful for listening.
    bool isLocked() const { return m_locked; }
    // Only meaningful for message.
    const QString& text() const { return m_text; }

    friend bool operator==(const OverlayMode&, const OverlayMode&) = default;

private:
    OverlayMode(Kind kind, bool locked, QString text)
        : m_kind(kind)
        , m_locked(locked)
        , m_text(std::move(text))
    {
    }

    Kind m_kind = Kind::hidden;
    bool m_locked = false;
    QString m_text;
};

} // namespace sayloom
