#pragma once

#include <chrono>
#include <functional>

namespace sayloom {

// Runs the event loop (this process's child processes are read meanwhile) until `done`, for at most `patience`.
// Sleeps while nothing happens, so it leaves the processor to the programs under test.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds patience);

} // namespace sayloom
