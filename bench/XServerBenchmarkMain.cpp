#include "BenchmarkMain.h"
#include "integration/support/XServer.h"

#include <QApplication>

#include <cstdio>

// The main of the benchmark programs that draw or type on X11: a private X server for the whole program, started
// before the application object so that Qt connects to it. Without Xvfb the benchmarks are skipped.
int main(int argc, char** argv)
{
    sayloom::XServer server;
    QString error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "benchmarks on X11 skipped: %s\n", error.toLocal8Bit().constData());
        return 0;
    }
    server.useInThisProcess();
    QApplication application(argc, argv);
    return sayloom::runRegisteredBenchmarks(argc, argv);
}
