// The simulator's speed on a compute loop (byte loads, MUL, 16-bit adds and
// stores, index counting, branches) at full speed: simulated E cycles per
// second and that as a multiple of the real chip's 2 MHz E clock, for the bare
// machine and for the session run in slices as the window runs it. The
// baseline runs the same loop in plain C++, for the cost of the work itself.
// The sim11 program, started as a process, beside the library running the
// same file for as many cycles in this process: on the loop, which leaves the
// SCI alone, and on a program that prints, its output into a file or on a
// terminal. Last, the pacing: a pin toggled every 500,000 E cycles in real
// time, its rate over ten seconds.
#include <benchmark/benchmark.h>

#include "benchmark_runner.h"

#include "sim11/machine.h"
#include "sim11/session.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef SIM11_EXECUTABLE
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#endif

namespace {

// At $2000 of an expanded-mode E9:
//   LDX #$0000 / LDY #$0100
//   LOOP LDAB 0,X / LDAA #7 / MUL / ADDD 2,X / STD 2,X / INX / DEY / BNE LOOP
//   BRA start
const std::uint8_t loop[] = {0xCE, 0x00, 0x00, 0x18, 0xCE, 0x01, 0x00, 0xE6, 0x00, 0x86, 0x07, 0x3D,
                             0xE3, 0x02, 0xED, 0x02, 0x08, 0x18, 0x09, 0x26, 0xF2, 0x20, 0xE9};
constexpr std::uint64_t cyclesPerRun =
    4'000'000; // two seconds of the chip, some 900,000 instructions

void BM_Sim11ComputeLoop(benchmark::State& state) {
    sim11::Machine m(sim11::Chip::E9, sim11::Mode::Expanded);
    for (unsigned k = 0; k < sizeof loop; ++k)
        m.load(static_cast<std::uint16_t>(0x2000 + k), loop[k]);
    m.regs().pc = 0x2000;
    std::uint64_t simulated = 0;
    for (auto _ : state) {
        const std::uint64_t before = m.cycles();
        m.run(before + cyclesPerRun);
        simulated += m.cycles() - before;
    }
    state.counters["E_cycles/s"] =
        benchmark::Counter(static_cast<double>(simulated), benchmark::Counter::kIsRate);
    state.counters["x2MHz"] =
        benchmark::Counter(static_cast<double>(simulated) / 2e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Sim11ComputeLoop)->Unit(benchmark::kMillisecond);

void rates(benchmark::State& state, std::uint64_t simulated) {
    state.counters["E_cycles/s"] =
        benchmark::Counter(static_cast<double>(simulated), benchmark::Counter::kIsRate);
    state.counters["x2MHz"] =
        benchmark::Counter(static_cast<double>(simulated) / 2e6, benchmark::Counter::kIsRate);
}

std::vector<sim11::Segment> loopImage() {
    return {{0x2000, std::vector<std::uint8_t>(std::begin(loop), std::end(loop))}};
}

// The session as the window runs it: slices of 33 ms of wall time, and between
// two slices a snapshot and a page of memory copied for the panes. With
// `hooks`, a listener on the pins, a watched range of RAM and a breakpoint
// that is never reached, as an open window has them.
void sessionSlices(benchmark::State& state, bool hooks) {
    sim11::Session session({sim11::Chip::E9, sim11::Mode::Expanded});
    std::string error;
    session.load(loopImage(), error);
    session.setStart(0x2000);
    session.reset();
    unsigned pinChanges = 0, writes = 0;
    if (hooks) {
        session.onPins = [&](sim11::Port, std::uint8_t) { ++pinChanges; };
        session.onMemoryWritten = [&](std::uint16_t, std::uint8_t) { ++writes; };
        session.watchMemory(0x0100, 0x01FF);
        session.setBreakpoint(0x3000);
    }
    std::array<std::uint8_t, 256> page{};
    std::uint64_t simulated = 0;
    for (auto _ : state) {
        const std::uint64_t before = session.cycles();
        session.begin(sim11::Session::Goal::Run);
        while (session.cycles() - before < cyclesPerRun) {
            session.runFor(std::chrono::milliseconds(33), cyclesPerRun - (session.cycles() - before));
            benchmark::DoNotOptimize(session.snapshot());
            session.peek(0x0000, page);
        }
        simulated += session.cycles() - before;
    }
    benchmark::DoNotOptimize(pinChanges + writes);
    rates(state, simulated);
}

void BM_Sim11Session(benchmark::State& state) {
    sessionSlices(state, false);
}
BENCHMARK(BM_Sim11Session)->Unit(benchmark::kMillisecond);

void BM_Sim11SessionWithWindowHooks(benchmark::State& state) {
    sessionSlices(state, true);
}
BENCHMARK(BM_Sim11SessionWithWindowHooks)->Unit(benchmark::kMillisecond);

// Two programs for the sim11 program beside the library, at $2000 of an
// expanded-mode E9: the compute loop, which leaves the SCI alone, and a
// greeting printed again and again at 9600 bauds:
//   LDAA #$30 / STAA $102B (BAUD) / LDAA #$08 / STAA $102D (SCCR2: TE)
//   MSG LDX #TEXT / NEXT LDAA 0,X / BEQ MSG
//   WAIT TST $102E (SCSR: TDRE is bit 7) / BPL WAIT / STAA $102F / INX / BRA NEXT
//   TEXT "Bonjour !", CR, LF, 0
std::vector<std::uint8_t> greeting() {
    std::vector<std::uint8_t> bytes = {0x86, 0x30, 0xB7, 0x10, 0x2B, 0x86, 0x08, 0xB7, 0x10, 0x2D,
                                       0xCE, 0x20, 0x1C, 0xA6, 0x00, 0x27, 0xF9, 0x7D, 0x10, 0x2E,
                                       0x2A, 0xFB, 0xB7, 0x10, 0x2F, 0x08, 0x20, 0xF1};
    for (const char c : std::string("Bonjour !\r\n"))
        bytes.push_back(static_cast<std::uint8_t>(c));
    bytes.push_back(0);
    return bytes;
}

// LOOP INX / DEY / BNE LOOP / BRA LOOP, loaded at $0000 by an E9's bootstrap
// loader: the $FF that sets its rate, then the program.
const std::vector<std::uint8_t> bootDownload = {0xFF, 0x08, 0x18, 0x09, 0x26, 0xFB, 0x20, 0xF9};

// What both sides run: a program at $2000 of an expanded-mode E9 from an S19
// file, its input empty; or the download above sent to the bootstrap loader
// by a host that keeps its line open afterwards, as a terminal or a
// downloader does. For sim11, its output into a file or on a terminal.
struct CliRun {
    std::vector<std::uint8_t> bytes;
    bool boot = false;
    bool terminal = false;
    // Twenty seconds of the chip, so that starting a process weighs little.
    std::uint64_t cycles = 40'000'000;
};

CliRun programRun(std::vector<std::uint8_t> bytes, bool terminal = false) {
    return {std::move(bytes), false, terminal};
}

// Fifty seconds of the chip: sim11 waits a quarter of a second for an answer
// after the download's last echo, as for any host in an exchange.
CliRun bootRun() {
    return {bootDownload, true, false, 100'000'000};
}

// The program's bytes at $2000 as an S19 file in the temporary folder.
std::filesystem::path writeS19(const char* name, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / name;
    std::ofstream out(file, std::ios::binary);
    unsigned sum = 0;
    auto put = [&](unsigned byte) {
        static const char digits[] = "0123456789ABCDEF";
        out << digits[byte >> 4 & 0xF] << digits[byte & 0xF];
        sum += byte;
    };
    for (std::size_t at = 0; at < bytes.size(); at += 32) {
        const std::size_t length = std::min<std::size_t>(32, bytes.size() - at);
        const unsigned address = 0x2000 + static_cast<unsigned>(at);
        sum = 0;
        out << "S1";
        put(static_cast<unsigned>(length + 3));
        put(address >> 8);
        put(address & 0xFF);
        for (std::size_t k = 0; k < length; ++k)
            put(bytes[at + k]);
        put(~sum & 0xFF);
        out << "\r\n";
    }
    out << "S9030000FC\r\n";
    return file;
}

// The library on the same program as sim11 below, in this process: a
// session made, the program loaded (or sent to the loader) and run for as
// many cycles, what the SCI sends kept in memory.
void BM_Sim11Cli_Baseline(benchmark::State& state, CliRun run) {
    const std::filesystem::path file = writeS19("bench_sim11_cli.s19", run.bytes);
    std::uint64_t simulated = 0;
    std::size_t sent = 0;
    for (auto _ : state) {
        sim11::Session session(
            {sim11::Chip::E9, run.boot ? sim11::Mode::Bootstrap : sim11::Mode::Expanded});
        std::string error, output;
        if (run.boot) {
            session.sciSend(std::string(run.bytes.begin(), run.bytes.end()));
        } else {
            if (!session.loadS19File(file.string(), error)) {
                state.SkipWithError(error.c_str());
                break;
            }
            session.setStart(0x2000);
            session.reset();
        }
        session.onTransmit = [&](std::uint8_t byte) { output.push_back(static_cast<char>(byte)); };
        session.run(run.cycles);
        simulated += session.cycles();
        sent = output.size();
    }
    std::filesystem::remove(file);
    rates(state, simulated);
    state.counters["sci_bytes"] = static_cast<double>(sent);
}
BENCHMARK_CAPTURE(BM_Sim11Cli_Baseline, loop,
                  programRun(std::vector<std::uint8_t>(std::begin(loop), std::end(loop))))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Sim11Cli_Baseline, greeting, programRun(greeting()))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// The same, beside the program showing its output on a terminal.
BENCHMARK_CAPTURE(BM_Sim11Cli_Baseline, greeting_terminal, programRun(greeting(), true))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Sim11Cli_Baseline, boot_loop_line_open, bootRun())
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#ifdef SIM11_EXECUTABLE
// Starts sim11 on `run`, waits for it; true when it ended well. No shell
// between. `cpuSeconds` grows by the processor time the process used,
// `shown` by the bytes it wrote.
bool runSim11(const CliRun& run, const std::filesystem::path& file,
              const std::filesystem::path& output, double& cpuSeconds, std::uint64_t& shown) {
    std::vector<std::string> args = {SIM11_EXECUTABLE, "--cycles", std::to_string(run.cycles)};
    for (const char* arg : run.boot ? std::vector<const char*>{"--mode", "boot"}
                                    : std::vector<const char*>{"--mode", "expanded", "--start",
                                                               "0x2000"})
        args.push_back(arg);
    if (!run.boot)
        args.push_back(file.string());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int master = -1, slave = -1, line[2] = {-1, -1};
    if (run.terminal) {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        // Held open here until the program has ended, so that the reader
        // sees the end of its output only then.
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0 && ptsname(master))
            slave = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0) {
            if (master >= 0)
                close(master);
            return false;
        }
    }
    if (run.boot && pipe2(line, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (run.boot)
        posix_spawn_file_actions_adddup2(&actions, line[0], 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::thread window;
    if (run.terminal) {
        posix_spawn_file_actions_adddup2(&actions, slave, 1);
        window = std::thread([master, &shown] {
            char buffer[4096];
            for (;;) {
                const ssize_t n = read(master, buffer, sizeof buffer);
                if (n > 0)
                    shown += static_cast<std::uint64_t>(n);
                else if (n == 0 || errno != EINTR)
                    break;
            }
        });
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    }
    pid_t pid = 0;
    const int started =
        posix_spawn(&pid, SIM11_EXECUTABLE, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (run.boot) {
        // The whole download at once, then the line stays open: the far end
        // is still there while the program runs.
        close(line[0]);
        if (started == 0 && write(line[1], run.bytes.data(), run.bytes.size()) < 0)
            kill(pid, SIGTERM);
    }
    int status = -1;
    rusage usage{};
    if (started == 0)
        while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
        }
    if (run.boot)
        close(line[1]);
    if (run.terminal) {
        close(slave);
        window.join();
        close(master);
    } else {
        std::error_code ignored;
        shown += std::filesystem::file_size(output, ignored);
    }
    cpuSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return started == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The sim11 program on the same program, started as a process: its start,
// the loading and its standard streams included. The process's own
// processor time is counted apart (cpu_ms).
void BM_Sim11Cli(benchmark::State& state, CliRun run) {
    const std::filesystem::path file = writeS19("bench_sim11_cli.s19", run.bytes);
    const std::filesystem::path output =
        std::filesystem::temp_directory_path() / "bench_sim11_cli.out";
    std::uint64_t simulated = 0, shown = 0;
    double cpu = 0;
    for (auto _ : state) {
        shown = 0;
        if (!runSim11(run, file, output, cpu, shown)) {
            state.SkipWithError("sim11 a échoué");
            break;
        }
        simulated += run.cycles;
    }
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    std::filesystem::remove(output, ignored);
    rates(state, simulated);
    // On a terminal each line feed comes out as CR LF.
    state.counters["sci_bytes"] = static_cast<double>(shown);
    state.counters["cpu_ms"] = benchmark::Counter(cpu * 1e3, benchmark::Counter::kAvgIterations);
}
BENCHMARK_CAPTURE(BM_Sim11Cli, loop,
                  programRun(std::vector<std::uint8_t>(std::begin(loop), std::end(loop))))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Sim11Cli, greeting, programRun(greeting()))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Sim11Cli, greeting_terminal, programRun(greeting(), true))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Sim11Cli, boot_loop_line_open, bootRun())
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
#endif

// Real time: PB0 toggled every 500,000 E cycles (four per second at 2 MHz: a
// 2 Hz blink), run in slices as the window runs it for ten seconds of wall time.
void BM_Sim11RealTimeBlink(benchmark::State& state) {
    // LOOP COM $1004 / LDX #50000 / W DEX (3) / NOP (2) / NOP (2) / BNE W (3) / BRA LOOP
    const std::vector<std::uint8_t> blink = {0x73, 0x10, 0x04, 0xCE, 0xC3, 0x50, 0x09,
                                             0x01, 0x01, 0x26, 0xFB, 0x20, 0xF3};
    for (auto _ : state) {
        sim11::Session session({sim11::Chip::E9, sim11::Mode::Expanded});
        std::string error;
        session.load({{0x2000, blink}}, error);
        session.setStart(0x2000);
        session.reset();
        session.setRealTime(true);
        std::vector<std::chrono::steady_clock::time_point> toggles;
        session.onPins = [&](sim11::Port port, std::uint8_t) {
            if (port == sim11::Port::B)
                toggles.push_back(std::chrono::steady_clock::now());
        };
        session.begin(sim11::Session::Goal::Run);
        const auto start = std::chrono::steady_clock::now();
        const auto end = start + std::chrono::seconds(kavrel::bench::quick() ? 1 : 10);
        while (std::chrono::steady_clock::now() < end)
            session.runFor(std::chrono::milliseconds(33));
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (toggles.size() < 2) {
            state.SkipWithError("la broche n'a pas changé deux fois");
            break;
        }
        // From the first toggle to the last, in wall time: whole periods only.
        const double span =
            std::chrono::duration<double>(toggles.back() - toggles.front()).count();
        state.counters["blink_Hz"] = static_cast<double>(toggles.size() - 1) / 2.0 / span;
        state.counters["sim_s_per_wall_s"] = session.seconds() / wall;
    }
}
BENCHMARK(BM_Sim11RealTimeBlink)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

// The same loop natively: as many iterations as the simulated run makes.
void BM_Sim11ComputeLoop_Baseline(benchmark::State& state) {
    std::vector<std::uint8_t> ram(0x10000, 0);
    constexpr std::uint64_t cyclesPerIteration = 4 + 2 + 10 + 6 + 5 + 3 + 4 + 3; // LDAB..BNE
    constexpr std::uint64_t iterations = cyclesPerRun / cyclesPerIteration;
    std::uint64_t simulated = 0;
    for (auto _ : state) {
        std::uint16_t x = 0, y = 0x100;
        for (std::uint64_t k = 0; k < iterations; ++k) {
            std::uint16_t d = static_cast<std::uint16_t>(ram[x] * 7);
            d = static_cast<std::uint16_t>(d + (ram[static_cast<std::uint16_t>(x + 2)] << 8 |
                                                ram[static_cast<std::uint16_t>(x + 3)]));
            ram[static_cast<std::uint16_t>(x + 2)] = static_cast<std::uint8_t>(d >> 8);
            ram[static_cast<std::uint16_t>(x + 3)] = static_cast<std::uint8_t>(d);
            ++x;
            if (--y == 0) {
                x = 0;
                y = 0x100;
            }
        }
        benchmark::DoNotOptimize(ram.data());
        benchmark::ClobberMemory();
        simulated += iterations * cyclesPerIteration;
    }
    state.counters["E_cycles/s"] =
        benchmark::Counter(static_cast<double>(simulated), benchmark::Counter::kIsRate);
    state.counters["x2MHz"] =
        benchmark::Counter(static_cast<double>(simulated) / 2e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Sim11ComputeLoop_Baseline)->Unit(benchmark::kMillisecond);

} // namespace
