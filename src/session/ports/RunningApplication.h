#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace sayloom {

// An application with windows on the desktop, as the session remembers the target of a take. Two values are the
// same application when their identities are equal; the names are only carried along.
struct RunningApplication {
    // Stable while the application runs (for example its process), never shown.
    QString identity;
    // The desktop's id of the application, when it has one.
    std::optional<QString> applicationId = {};
    // The name the user knows it by, when it has one.
    std::optional<QString> displayName = {};
    // The desktop's handle of the window that had the focus (an X11 window id), so activation and pasting reach
    // that very window; not part of the application's identity.
    std::optional<std::uint64_t> window = {};

    friend bool operator==(const RunningApplication& a, const RunningApplication& b)
    {
        return a.identity == b.identity;
    }
};

} // namespace sayloom
