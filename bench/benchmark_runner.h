// What the main of every benchmark program ends with: Google Benchmark's own
// options read, the benchmarks run and written in the format asked for. And
// the quick run, where each benchmark runs once and briefly: the test that
// every program runs whole and writes its table sets KAVREL_BENCH_QUICK=1.
#pragma once

#include <benchmark/benchmark.h>

namespace kavrel::bench {

// Returns the program's exit status; 1 on an option nobody knows.
int runBenchmarks(int argc, char** argv);

bool quick();
// A benchmark's own minimum time and iteration count, or in a quick run the
// least that still runs it.
double minTime(double seconds);
benchmark::IterationCount iterations(benchmark::IterationCount count);

} // namespace kavrel::bench
