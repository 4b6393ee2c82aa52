// The simulator's speed on a compute loop (byte loads, MUL, 16-bit adds and
// stores, index counting, branches) at full speed: simulated E cycles per
// second and that as a multiple of the real chip's 2 MHz E clock. The
// baseline runs the same loop in plain C++, for the cost of the work itself.
#include <benchmark/benchmark.h>

#include "sim11/machine.h"

#include <cstdint>
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
