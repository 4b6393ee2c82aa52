// The main of the benchmarks that need nothing set up first (bench_<name>.cpp
// but bench_ui_<name>.cpp).
#include "benchmark_runner.h"

int main(int argc, char** argv) {
    return kavrel::bench::runBenchmarks(argc, argv);
}
