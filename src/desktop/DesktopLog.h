#pragma once

#include <QLoggingCategory>

namespace sayloom {

// The desktop parts' log: cues, permissions, launch at login, opening files. Debug messages are off by default.
Q_DECLARE_LOGGING_CATEGORY(lcDesktop)

} // namespace sayloom
