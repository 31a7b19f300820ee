#pragma once

#include "integration/support/ChildProcess.h"
#include "integration/support/TestWindow.h"
#include "integration/support/XServer.h"

namespace sayloom::testing {

// The private X server all tests of this program run on, started by its main().
inline XServer* xServer = nullptr;

} // namespace sayloom::testing
