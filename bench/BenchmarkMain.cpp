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

} // namespace sayloom
