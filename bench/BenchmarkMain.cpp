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
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace sayloom
