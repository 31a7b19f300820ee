#pragma once

#include <QString>

#include <benchmark/benchmark.h>
#include <chrono>
#include <functional>

namespace sayloom {

// The shared body of every benchmark program's main: an application object for the event loops that watches,
// network replies and coroutines need, logging rules that keep per-iteration log lines from burying the results,
// then Google Benchmark with the command line. Returns the exit status.
int runBenchmarks(int argc, char** argv, const QString& loggingRules = {});

// Google Benchmark with the command line, for programs that make an application object of their own (a display's
// QGuiApplication, say). Returns the exit status.
int runRegisteredBenchmarks(int argc, char** argv);

// For benchmarks that time one take by hand per repetition: 40 repetitions in milliseconds, reported as their mean,
// median and spread. Use with Apply().
void timedTakes(benchmark::internal::Benchmark* benchmark);

// Runs the event loop busily (a timing must not wait for a timer's slack) until `done`; false after `patience`.
bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds patience = std::chrono::seconds(2));

} // namespace sayloom
