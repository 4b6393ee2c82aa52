// The talker on the simulated chip at 9600 bauds, in the chip's own time:
// the 256 bytes of the memory pane and one step, each beside the wire's time
// of the bytes it exchanged; and a thousand debugging sessions in a row, each
// faulted (a corrupted byte, silence, a vanished port, a program that
// overwrites the talker), every outcome checked, with the process's
// descriptors, threads and memory around them.
#include "asmhc11/assembler.h"
#include "board/faulty_line.h"
#include "board/simulated_board.h"
#include "board/talker.h"

#include <benchmark/benchmark.h>

#include "benchmark_runner.h"
#include "process_usage.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

namespace {

using namespace kavrel::board;
using kavrel::board::test::FaultyLine;
using kavrel::board::test::SimulatedBoard;

constexpr unsigned kBaud = 9600;

// Counts what crosses the line, both ways.
class CountingLine final : public Transport {
public:
    explicit CountingLine(Transport& board) : board_(board) {}
    std::size_t bytes = 0;

    void open(const std::string& port, unsigned baud) override { board_.open(port, baud); }
    void write(std::span<const std::uint8_t> b) override {
        bytes += b.size();
        board_.write(b);
    }
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override {
        const std::size_t n = board_.read(into, timeout);
        bytes += n;
        return n;
    }
    void setBaud(unsigned baud) override { board_.setBaud(baud); }
    void close() override { board_.close(); }
    Duration now() const override { return board_.now(); }

private:
    Transport& board_;
};

double seconds(Duration d) {
    return std::chrono::duration<double>(d).count();
}

double wireSeconds(std::size_t bytes) {
    return static_cast<double>(bytes) * 10.0 / kBaud;
}

TalkerSettings settings() {
    TalkerSettings s;
    s.port = "simulateur";
    s.family = Family::E;
    s.loadBaud = 7812; // the E loader's fast rate at 8 MHz
    s.baud = kBaud;
    return s;
}

void load(Talker& talker, const char* source) {
    const asmhc11::Result result = asmhc11::assembleSource(source, asmhc11::Mode::S19);
    for (const asmhc11::Segment& s : result.segments())
        talker.write(s.address, s.bytes);
}

void BM_TalkerMemoryPane(benchmark::State& state) {
    SimulatedBoard board(sim11::Chip::E9);
    CountingLine line(board);
    Talker talker(line, settings());
    talker.connect();
    double worst = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        line.bytes = 0;
        const Duration start = board.now();
        const std::vector<std::uint8_t> pane = talker.read(0x0000, 256);
        const double took = seconds(board.now() - start);
        benchmark::DoNotOptimize(pane.data());
        state.SetIterationTime(took);
        worst = std::max(worst, took);
        bytes = line.bytes;
    }
    // The 256 bytes alone on the wire, and all that crossed it for them.
    state.counters["wire_256_s"] = wireSeconds(256);
    state.counters["exchanged_bytes"] = static_cast<double>(bytes);
    state.counters["worst_over_wire_256"] = worst / wireSeconds(256);
}
BENCHMARK(BM_TalkerMemoryPane)
    ->UseManualTime()
    ->Iterations(kavrel::bench::iterations(10))
    ->Unit(benchmark::kMillisecond);

void BM_TalkerStep(benchmark::State& state) {
    SimulatedBoard board(sim11::Chip::E9);
    CountingLine line(board);
    Talker talker(line, settings());
    talker.connect();
    load(talker, " ORG $0000\nBOUCLE INCA\n BNE BOUCLE\n BRA BOUCLE\n");
    double worstBeyond = 0, wire = 0;
    for (auto _ : state) {
        line.bytes = 0;
        const Duration start = board.now();
        const TalkerStop stop = talker.step();
        benchmark::DoNotOptimize(stop.registers.pc);
        const double took = seconds(board.now() - start);
        state.SetIterationTime(took);
        wire = wireSeconds(line.bytes);
        worstBeyond = std::max(worstBeyond, took - wire);
    }
    state.counters["wire_s"] = wire;
    // The aim: 50 ms at most beyond the wire.
    state.counters["worst_beyond_wire_ms"] = worstBeyond * 1000;
}
BENCHMARK(BM_TalkerStep)
    ->UseManualTime()
    ->Iterations(kavrel::bench::iterations(20))
    ->Unit(benchmark::kMillisecond);

using kavrel::bench::openDescriptors;
using kavrel::bench::status;

enum class Fault { CorruptByte, Silence, Vanished, Overwrite };

// A session on a fresh chip: connected, then the fault, then what a user
// does first (registers, the memory pane, a program run to a breakpoint).
// True when it ended in a TalkerError of the fault's kind, with a message.
bool faultedSession(Fault fault, std::size_t at) {
    SimulatedBoard board(sim11::Chip::E9);
    FaultyLine line(board);
    Talker talker(line, settings());
    talker.connect();
    switch (fault) {
    case Fault::CorruptByte:
        line.corruptAt = at % 10; // within the registers' answer
        break;
    case Fault::Silence:
        line.deafFrom = at % 10;
        break;
    case Fault::Vanished:
        line.vanishAfter = at % 3;
        break;
    case Fault::Overwrite:
        break;
    }
    line.arm();
    try {
        if (fault == Fault::Overwrite) {
            load(talker, " ORG $0000\n LDX #$0100\nL CLR 0,X\n INX\n CPX #$01C0\n BNE L\n SWI\n");
            talker.go({});
            std::vector<std::uint8_t> output;
            if (talker.waitStop(std::chrono::milliseconds(50), output))
                return false;
            talker.interrupt();
            return false;
        }
        talker.registers();
        talker.read(0x0000, 256);
        return false;
    } catch (const TalkerError& error) {
        if (std::string(error.what()).empty())
            return false;
        switch (fault) {
        case Fault::CorruptByte:
            return error.fault() == TalkerFault::BadReply;
        case Fault::Silence:
            return error.fault() == TalkerFault::StoppedAnswering ||
                   error.fault() == TalkerFault::BadReply;
        case Fault::Vanished:
            return error.fault() == TalkerFault::Vanished;
        case Fault::Overwrite:
            return error.fault() == TalkerFault::Refused;
        }
    }
    return false;
}

void BM_TalkerThousandFaultedSessions(benchmark::State& state) {
    std::mt19937 random(2026);
    const int sessions = kavrel::bench::quick() ? 20 : 1000;
    const long fdBefore = openDescriptors(), threadsBefore = status("Threads");
    const long rssBefore = status("VmRSS");
    long wrong = 0, rssAfterFirst = 0;
    for (auto _ : state) {
        for (int i = 0; i < sessions; ++i) {
            const auto fault = static_cast<Fault>(random() % 4);
            const std::size_t at = random() % 64;
            bool told = false;
            // On a thread of its own, as the debugging window runs it.
            std::thread worker([&] { told = faultedSession(fault, at); });
            worker.join();
            if (!told) {
                ++wrong;
                state.SetLabel("faute " + std::to_string(static_cast<int>(fault)) + " à " +
                               std::to_string(at));
            }
            if (i == 0)
                rssAfterFirst = status("VmRSS");
        }
    }
    state.counters["sessions"] = sessions;
    state.counters["wrong_outcome"] = static_cast<double>(wrong);
    state.counters["fd_before"] = static_cast<double>(fdBefore);
    state.counters["fd_after"] = static_cast<double>(openDescriptors());
    state.counters["threads_before"] = static_cast<double>(threadsBefore);
    state.counters["threads_after"] = static_cast<double>(status("Threads"));
    state.counters["rss_kb_before"] = static_cast<double>(rssBefore);
    state.counters["rss_kb_after_first"] = static_cast<double>(rssAfterFirst);
    state.counters["rss_kb_after"] = static_cast<double>(status("VmRSS"));
}
BENCHMARK(BM_TalkerThousandFaultedSessions)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
