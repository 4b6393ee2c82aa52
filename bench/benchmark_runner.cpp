#include "benchmark_runner.h"

#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

namespace kavrel::bench {

namespace {

// Google Benchmark's CSV writer takes its columns from the first benchmark it
// is handed and aborts at a later one that has a counter of its own, so a
// program whose benchmarks count different things could not be written as
// CSV. Handed every run at the end, in one batch, it makes a column of every
// counter; a benchmark without one leaves its cell empty.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
class WholeCsvReporter final : public benchmark::CSVReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        runs_.insert(runs_.end(), runs.begin(), runs.end());
    }
    void Finalize() override {
        if (!runs_.empty())
            benchmark::CSVReporter::ReportRuns(runs_);
        runs_.clear();
    }

private:
    std::vector<Run> runs_;
};
#pragma GCC diagnostic pop

// The value of the last `--name=value` among the arguments; as Google
// Benchmark reads its flags, the last one given wins.
std::string_view flag(int argc, char** argv, std::string_view name) {
    std::string_view value;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg.size() > name.size() + 3 && arg.substr(0, 2) == "--" &&
            arg.substr(2, name.size()) == name && arg[name.size() + 2] == '=')
            value = arg.substr(name.size() + 3);
    }
    return value;
}

} // namespace

bool quick() {
    const char* value = std::getenv("KAVREL_BENCH_QUICK");
    return value && std::string_view(value) == "1";
}

double minTime(double seconds) {
    return quick() ? 0.001 : seconds;
}

benchmark::IterationCount iterations(benchmark::IterationCount count) {
    return quick() ? 1 : count;
}

int runBenchmarks(int argc, char** argv) {
    const bool csv = flag(argc, argv, "benchmark_format") == "csv";
    const bool csvFile = !flag(argc, argv, "benchmark_out").empty() &&
                         flag(argc, argv, "benchmark_out_format") == "csv";
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const auto display = csv ? std::make_unique<WholeCsvReporter>() : nullptr;
    const auto file = csvFile ? std::make_unique<WholeCsvReporter>() : nullptr;
    benchmark::RunSpecifiedBenchmarks(display.get(), file.get());
    benchmark::Shutdown();
    return 0;
}

} // namespace kavrel::bench
