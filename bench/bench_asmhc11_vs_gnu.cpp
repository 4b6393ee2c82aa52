// asmhc11 against GNU's assembler on one generated 20,000-line program, both
// started as whole processes: asmhc11 writes its S19 and its listing, the GNU
// pair (m68hc11-as then m68hc11-objcopy -O srec) writes an object and S-records.
// Wall-clock time, and the processor time the processes used (user + system,
// shell included on both sides), which a busy machine disturbs less.
#include <benchmark/benchmark.h>

#include "benchmark_runner.h"

#include "generated_program.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>

namespace {

namespace fs = std::filesystem;

class Folder {
public:
    Folder() {
        std::random_device random;
        path_ = fs::temp_directory_path() / ("bench_asmhc11_" + std::to_string(random()));
        fs::create_directories(path_);
        const auto program = asmhc11::test::generateProgram(20000, 20261207);
        write("programme.asm", program.motorola);
        write("programme.s", program.gnu);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string file(const char* name) const { return (path_ / name).string(); }

private:
    void write(const char* name, const std::string& text) {
        std::ofstream(path_ / name, std::ios::binary) << text;
    }
    fs::path path_;
};

bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Processor time of the finished child processes so far, in seconds.
double childrenTime() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string gnuCommand(const Folder& folder) {
    return "m68hc11-as -o \"" + folder.file("programme.o") + "\" \"" + folder.file("programme.s") +
           "\" && m68hc11-objcopy -O srec \"" + folder.file("programme.o") + "\" \"" +
           folder.file("programme.srec") + "\"";
}

std::string asmhc11Command(const Folder& folder) {
    return "\"" ASMHC11_EXECUTABLE "\" \"" + folder.file("programme.asm") + "\"";
}

void processorTime(benchmark::State& state, const std::string& command) {
    if (!run(command)) {
        state.SkipWithError("la commande a échoué");
        return;
    }
    for (auto _ : state) {
        const double before = childrenTime();
        run(command);
        state.SetIterationTime(childrenTime() - before);
    }
}

void BM_Asmhc11Cpu_Baseline(benchmark::State& state) {
    const Folder folder;
    processorTime(state, gnuCommand(folder));
}
BENCHMARK(BM_Asmhc11Cpu_Baseline)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(kavrel::bench::minTime(2.0));

void BM_Asmhc11Cpu(benchmark::State& state) {
    const Folder folder;
    processorTime(state, asmhc11Command(folder));
}
BENCHMARK(BM_Asmhc11Cpu)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(kavrel::bench::minTime(2.0));

void BM_Asmhc11_Baseline(benchmark::State& state) {
    const Folder folder;
    const std::string as = "m68hc11-as -o \"" + folder.file("programme.o") + "\" \"" +
                           folder.file("programme.s") + "\"";
    const std::string objcopy = "m68hc11-objcopy -O srec \"" + folder.file("programme.o") +
                                "\" \"" + folder.file("programme.srec") + "\"";
    if (!run(as) || !run(objcopy)) {
        state.SkipWithError("binutils-m68hc1x absent ou en échec");
        return;
    }
    for (auto _ : state) {
        run(as);
        run(objcopy);
    }
}
BENCHMARK(BM_Asmhc11_Baseline)->Unit(benchmark::kMillisecond)->MinTime(kavrel::bench::minTime(2.0));

void BM_Asmhc11(benchmark::State& state) {
    const Folder folder;
    const std::string command =
        "\"" ASMHC11_EXECUTABLE "\" \"" + folder.file("programme.asm") + "\"";
    if (!run(command)) {
        state.SkipWithError("asmhc11 a trouvé des erreurs dans le programme produit");
        return;
    }
    for (auto _ : state)
        run(command);
}
BENCHMARK(BM_Asmhc11)->Unit(benchmark::kMillisecond)->MinTime(kavrel::bench::minTime(2.0));

} // namespace
