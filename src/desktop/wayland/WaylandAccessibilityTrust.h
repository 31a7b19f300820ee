#pragma once

#include "session/ports/AccessibilityTrust.h"

#include <functional>

namespace sayloom {

// On Wayland, dictation needs two things no compositor grants through a dialogue: reading the keyboard devices (to
// see the trigger key in every application) and a way to type (the compositor's virtual keyboard, or /dev/uinput).
// Access counts as granted when both are there; each one missing is named, with the one-step setup that gives both.
class WaylandAccessibilityTrust final : public AccessibilityTrust {
public:
    using Probe = std::function<bool()>;

    // `setupCommand` is the command line the user runs once (empty when the setup script is not installed).
    WaylandAccessibilityTrust(Probe keyboardsReadable, Probe canType, QString setupCommand);
    WaylandAccessibilityTrust(const WaylandAccessibilityTrust&) = delete;
    WaylandAccessibilityTrust& operator=(const WaylandAccessibilityTrust&) = delete;

    bool isTrusted() const override;
    // Nothing to prompt with: the setup is a command the user runs knowingly.
    bool isTrustedPrompting() override { return isTrusted(); }
    QList<AccessGap> missing() const override;

private:
    Probe m_keyboardsReadable;
    Probe m_canType;
    QString m_setupCommand;
};

} // namespace sayloom
