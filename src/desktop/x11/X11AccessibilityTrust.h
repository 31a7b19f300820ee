#pragma once

#include "session/ports/AccessibilityTrust.h"

namespace sayloom {

// On X11 nothing needs granting: any client may read raw keys and post XTest events. Access counts as granted when
// the display offers both (XInput 2.2 and XTest). A Wayland session answers no even when XWayland is reachable,
// since XWayland shows an X client none of the keys typed into Wayland windows.
class X11AccessibilityTrust final : public AccessibilityTrust {
public:
    X11AccessibilityTrust() = default;
    X11AccessibilityTrust(const X11AccessibilityTrust&) = delete;
    X11AccessibilityTrust& operator=(const X11AccessibilityTrust&) = delete;

    bool isTrusted() const override;
    // X11 has no dialogue to show.
    bool isTrustedPrompting() override { return isTrusted(); }

private:
    // Once granted it stays so: the display's extensions do not go away.
    mutable bool m_granted = false;
};

} // namespace sayloom
