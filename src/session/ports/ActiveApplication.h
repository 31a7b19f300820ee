#pragma once

#include "session/ports/RunningApplication.h"

#include <optional>

namespace sayloom {

// The application that has the focus, this application itself, and bringing one to the front. Main thread only.
class ActiveApplication {
public:
    virtual ~ActiveApplication() = default;

    // Nothing when no application has the focus or it cannot be told.
    virtual std::optional<RunningApplication> frontmost() const = 0;
    virtual std::optional<RunningApplication> current() const = 0;
    virtual void activate(const RunningApplication& application) = 0;
};

} // namespace sayloom
