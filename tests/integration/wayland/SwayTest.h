#pragma once

#include <QString>

namespace sayloom {
class SwayServer;
}

namespace sayloom::testing {

// The program's private sway, or nothing (with the reason in `swayMissing`) when sway is not installed.
extern SwayServer* sway;
extern QString swayMissing;

} // namespace sayloom::testing
