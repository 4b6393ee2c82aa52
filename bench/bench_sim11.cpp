// The simulator's speed on a compute loop (byte loads, MUL, 16-bit adds and
// stores, index counting, branches) at full speed: simulated E cycles per
// second and that as a multiple of the real chip's 2 MHz E clock, for the bare
// machine, for the session run in slices as the window runs it, and for the
// sim11 program. The baseline runs the same loop in plain C++, for the cost
// of the work itself. Last, the pacing: a pin toggled every 500,000 E cycles
// in real time, its rate over ten seconds.
#include <benchmark/benchmark.h>

#include "benchmark_runner.h"

#include "sim11/machine.h"
#include "sim11/session.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

#ifdef SIM11_EXECUTABLE
// The program, started as a process on an S19 file of the loop: its start and
// loading included, on a run long enough for them to matter little.
void BM_Sim11Cli(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path file = fs::temp_directory_path() / "bench_sim11_loop.s19";
    {
        std::string record = "S1";
        const unsigned count = sizeof loop + 3;
        unsigned sum = count + 0x20 + 0x00;
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", count);
        record += hex;
        record += "2000";
        for (const std::uint8_t b : loop) {
            std::snprintf(hex, sizeof hex, "%02X", b);
            record += hex;
            sum += b;
        }
        std::snprintf(hex, sizeof hex, "%02X", ~sum & 0xFF);
        record += hex;
        std::ofstream(file, std::ios::binary) << record << "\r\nS9030000FC\r\n";
    }
    constexpr std::uint64_t cycles = 40'000'000;
    const std::string command = std::string("\"") + SIM11_EXECUTABLE +
                                "\" --mode expanded --start 0x2000 --cycles " +
                                std::to_string(cycles) + " \"" + file.string() +
                                "\" < /dev/null > /dev/null";
    std::uint64_t simulated = 0;
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("sim11 a échoué");
            break;
        }
        simulated += cycles;
    }
    std::error_code ignored;
    fs::remove(file, ignored);
    rates(state, simulated);
}
BENCHMARK(BM_Sim11Cli)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
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
