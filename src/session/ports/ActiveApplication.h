#pragma once

#include "session/ports/RunningApplication.h"

#include <QCoroTask>

#include <optional>

namespace sayloom {

// The application that has the focus, this application itself, and bringing one to the front. Main thread only.
class ActiveApplication {
public:
    virtual ~ActiveApplication() = default;

    // Nothing when no application has the focus or it cannot be told.
    virtual std::optional<RunningApplication> frontmost() const = 0;
    virtual std::optional<RunningApplication> current() const = 0;
    // Brings the application's window to the front and completes once the desktop reports it active, or after a
    // short while when it does not; never fails.
    virtual QCoro::Task<void> activate(RunningApplication application) = 0;
};

} // namespace sayloom
