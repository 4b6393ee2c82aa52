// The main of the benchmarks that need a QApplication (bench_ui_*.cpp):
// offscreen unless a platform is asked for.
#include "benchmark_runner.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    return kavrel::bench::runBenchmarks(argc, argv);
}
