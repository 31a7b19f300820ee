#include "desktop/wayland/WaylandAccessibilityTrust.h"

namespace sayloom {

WaylandAccessibilityTrust::WaylandAccessibilityTrust(Probe keyboardsReadable, Probe canType, QString setupCommand)
    : m_keyboardsReadable(std::move(keyboardsReadable))
    , m_canType(std::move(canType))
    , m_setupCommand(std::move(setupCommand))
{
}

bool WaylandAccessibilityTrust::isTrusted() const
{
    return m_keyboardsReadable() && m_canType();
}

QList<AccessGap> WaylandAccessibilityTrust::missing() const
{
    QList<AccessGap> gaps;
    const bool readable = m_keyboardsReadable();
    if (!readable) {
        gaps.append({QStringLiteral("Sayloom can't read the keyboard"),
                     QStringLiteral("It reads the keyboard devices to notice the dictation key in every application. "
                                    "That lets a program see every key; Sayloom acts only on the dictation key and "
                                    "stores nothing.")});
    }
    if (!m_canType()) {
        gaps.append({QStringLiteral("Sayloom can't type"),
                     QStringLiteral("It types the paste keys through a virtual keyboard (/dev/uinput), so the text "
                                    "lands where your cursor is.")});
    }
    if (gaps.isEmpty()) {
        return gaps;
    }
    // One command gives both; only joining the input group waits for the next login.
    QString fix = m_setupCommand.isEmpty()
                          ? QStringLiteral("Open Settings to see how to set it up.")
                          : QStringLiteral("To set it up, run \u201c%1\u201d in a terminal once").arg(m_setupCommand);
    if (!m_setupCommand.isEmpty()) {
        fix += readable ? QStringLiteral(".") : QStringLiteral(", then log out and in again.");
    }
    gaps.last().reason += u' ' + fix;
    return gaps;
}

} // namespace sayloom
