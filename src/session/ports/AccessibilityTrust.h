#pragma once

namespace sayloom {

// Whether this process may watch keys everywhere and type into other windows.
class AccessibilityTrust {
public:
    virtual ~AccessibilityTrust() = default;

    virtual bool isTrusted() const = 0;
    // Also asks the desktop to show its own request for access; the answer is the same as isTrusted().
    virtual bool isTrustedPrompting() = 0;
};

} // namespace sayloom
