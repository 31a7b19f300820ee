#pragma once

#include <QString>

#include <optional>

namespace sayloom {

// Whether the desktop starts Sayloom when the user logs in.
class LoginItem {
public:
    virtual ~LoginItem() = default;

    // The real state, read afresh: what the desktop will do at the next login.
    virtual bool isEnabled() const = 0;
    // Turns launch at login on or off; on failure returns "Couldn't change login items: " and the reason, and
    // leaves the state as it was.
    virtual std::optional<QString> setEnabled(bool enabled) = 0;
};

} // namespace sayloom
