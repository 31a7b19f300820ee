#include "BenchmarkMain.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <benchmark/benchmark.h>

namespace sayloom {

int runBenchmarks(int argc, char** argv, const QString& loggingRules)
{
    QCoreApplication application(argc, argv);
    if (!loggingRules.isEmpty()) {
        QLoggingCategory::setFilterRules(loggingRules);
    }
    return runRegisteredBenchmarks(argc, argv);
}

int runRegisteredBenchmarks(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

void timedTakes(benchmark::internal::Benchmark* benchmark)
{
    benchmark->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->Repetitions(40)
            ->ReportAggregatesOnly(true);
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds patience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

} // namespace sayloom
