#pragma once

#include <QList>
#include <QString>

namespace sayloom {

// One thing the desktop still needs before dictation can watch the key or type, in the user's words: what is
// missing, and why it is needed and how to give it.
struct AccessGap {
    QString title;
    QString reason;
    friend bool operator==(const AccessGap&, const AccessGap&) = default;
};

// Whether this process may watch keys everywhere and type into other windows.
class AccessibilityTrust {
public:
    virtual ~AccessibilityTrust() = default;

    virtual bool isTrusted() const = 0;
    // Also asks the desktop to show its own request for access; the answer is the same as isTrusted().
    virtual bool isTrustedPrompting() = 0;
    // What is missing, where access is made of more than one grant (reading the keyboards and typing, on Wayland).
    // Empty when nothing is missing, or where the one word "Accessibility" says it all.
    virtual QList<AccessGap> missing() const { return {}; }
};

} // namespace sayloom
