// The load through BUFFALO (from the test data; skipped where absent) on the
// simulated evaluation board at 9600 bauds, timed in the chip's own time: a
// 2 KB program into RAM beside the wire's time for what was sent plus the
// monitor's own pause after the last record; 512 bytes into the EEPROM,
// erased or not, beside the programming time per byte plus the same.
#include "board/buffalo_board.h"
#include "board/monitor_load.h"

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

constexpr unsigned kBaud = 9600;

// The line in front of the board, counting what the host sends.
class CountingLine final : public Transport {
public:
    explicit CountingLine(Transport& board) : board_(board) {}
    std::size_t sent = 0;
    void open(const std::string& port, unsigned baud) override { board_.open(port, baud); }
    void write(std::span<const std::uint8_t> bytes) override {
        sent += bytes.size();
        board_.write(bytes);
    }
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override {
        return board_.read(into, timeout);
    }
    void close() override { board_.close(); }
    Duration now() const override { return board_.now(); }

private:
    Transport& board_;
};

// What the board says within `time`.
void listen(Transport& board, Duration time) {
    std::uint8_t buffer[256];
    const Duration end = board.now() + time;
    while (board.now() < end)
        board.read(buffer, end - board.now());
}

// The evaluation board with its monitor at the prompt, as after a user's
// first carriage return once its name was shown.
std::unique_ptr<test::SimulatedBoard> boardAtPrompt() {
    std::unique_ptr<test::SimulatedBoard> board = test::evaluationBoard();
    board->open("carte", kBaud);
    listen(*board, std::chrono::milliseconds(200));
    const std::uint8_t cr = '\r';
    board->write({&cr, 1});
    listen(*board, std::chrono::milliseconds(50));
    board->close();
    return board;
}

double seconds(Duration d) {
    return std::chrono::duration<double>(d).count();
}

struct Run {
    double took = 0; // simulated seconds, from the port's opening to the monitor's last word
    double wire = 0; // the characters sent, 10 bits each
    std::size_t eepromBytes = 0;
    bool ok = false;
    std::string message;
};

Run load(test::SimulatedBoard& board, const std::string& s19) {
    std::string error;
    const std::optional<S19Program> program = parseS19Program(s19, error);
    if (!program)
        return {0, 0, 0, false, error};
    MonitorSettings settings;
    settings.port = "carte";
    settings.baud = kBaud;
    MonitorLoad monitor(*program, settings);
    CountingLine line(board);
    const Duration start = board.now();
    const MonitorResult result = monitor.run(line);
    Run run;
    run.took = seconds(board.now() - start);
    run.wire = static_cast<double>(line.sent) * 10.0 / kBaud;
    run.ok = result.ok();
    run.message = result.message + " / " + result.answer;
    for (const S19Record& record : program->records)
        for (std::size_t k = 0; k < record.data.size(); ++k)
            if (record.address + k >= 0xB600 && record.address + k <= 0xB7FF)
                ++run.eepromBytes;
    return run;
}

void BM_MonitorLoadRam2K(benchmark::State& state) {
    // $2000: the external RAM of the evaluation board, clear of the monitor's
    // variables and of its flip-flop at $4000.
    const std::string s19 = test::greeter(0x2000, 2048);
    const MonitorTiming timing = monitorTimingFor(kBaud, 8'000'000);
    Run last;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<test::SimulatedBoard> board = boardAtPrompt();
        state.ResumeTiming();
        last = load(*board, s19);
        if (!last.ok) {
            state.SkipWithError(last.message.c_str());
            return;
        }
        state.SetIterationTime(last.took);
    }
    const double allowed = last.wire + seconds(timing.endPause);
    state.counters["simulated_s"] = last.took;
    state.counters["wire_s"] = last.wire;
    state.counters["monitor_pause_s"] = seconds(timing.endPause);
    // Aim: 1.10 at most. No pause is needed between characters or records
    // in RAM: the monitor takes each digit in about 100 E cycles of the
    // 2,083 a character lasts at 9600 bauds.
    state.counters["over_wire_and_pause"] = last.took / allowed;
}

// Arg 0: an erased EEPROM (each byte programmed, 10 ms); 1: programmed
// cells (each erased first, 10 ms more). The host cannot tell them apart
// without reading the cells, so its pace allows for both.
void BM_MonitorLoadEeprom512(benchmark::State& state) {
    const bool programmed = state.range(0) != 0;
    const std::string s19 = test::greeter(0xB600, 512);
    const MonitorTiming timing = monitorTimingFor(kBaud, 8'000'000);
    Run last;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<test::SimulatedBoard> board = boardAtPrompt();
        if (programmed)
            for (std::uint16_t a = 0xB600; a <= 0xB7FF; ++a)
                board->machine().load(a, 0x00);
        state.ResumeTiming();
        last = load(*board, s19);
        if (!last.ok) {
            state.SkipWithError(last.message.c_str());
            return;
        }
        state.SetIterationTime(last.took);
    }
    const double program = seconds(timing.eepromByte) / 2;
    const double base = last.wire + seconds(timing.endPause);
    state.counters["simulated_s"] = last.took;
    state.counters["wire_s"] = last.wire;
    state.counters["eeprom_bytes"] = static_cast<double>(last.eepromBytes);
    state.counters["pace_per_byte_ms"] = 1e3 * seconds(timing.eepromByte + timing.margin);
    // Against the programming alone (10 ms a byte), and against what the
    // monitor spends on a programmed cell (erase, then program).
    state.counters["over_program_and_wire"] =
        last.took / (base + program * static_cast<double>(last.eepromBytes));
    state.counters["over_erase_program_and_wire"] =
        last.took / (base + 2 * program * static_cast<double>(last.eepromBytes));
}
enum class Fault { None, CorruptRecord, CorruptAnswer, Silence, Vanished, Cancelled };

// The line in front of the board, failing once `records` records have gone.
class FaultyLine final : public Transport {
public:
    FaultyLine(Transport& board, Fault fault, std::size_t records)
        : board_(board), fault_(fault), at_(records) {}
    std::size_t records = 0;
    void open(const std::string& port, unsigned baud) override { board_.open(port, baud); }
    void write(std::span<const std::uint8_t> bytes) override {
        usable();
        std::string text(bytes.begin(), bytes.end());
        if (text.rfind("S1", 0) == 0 && ++records == at_ + 1 && fault_ == Fault::CorruptRecord)
            text[9] = text[9] == '0' ? '1' : '0'; // a data digit
        board_.write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override {
        usable();
        const std::size_t n = board_.read(into, timeout);
        if (fault_ == Fault::Silence && records > at_)
            return 0;
        // A letter of the monitor's last word garbled on its way back.
        if (fault_ == Fault::CorruptAnswer && records > 0)
            for (std::size_t i = 0; i < n; ++i)
                if (into[i] == 'o')
                    into[i] = 'O';
        return n;
    }
    void close() override { board_.close(); }
    Duration now() const override { return board_.now(); }

private:
    void usable() const {
        if (fault_ == Fault::Vanished && records > at_)
            throw PortError(PortFault::Vanished, "débranché");
    }
    Transport& board_;
    Fault fault_;
    std::size_t at_;
};

MonitorOutcome expected(Fault fault) {
    switch (fault) {
    case Fault::None:
        return MonitorOutcome::Loaded;
    case Fault::CorruptRecord:
        return MonitorOutcome::ChecksumRefused;
    case Fault::CorruptAnswer:
        return MonitorOutcome::MonitorError;
    case Fault::Silence:
        return MonitorOutcome::NoEnd;
    case Fault::Vanished:
        return MonitorOutcome::Vanished;
    case Fault::Cancelled:
        return MonitorOutcome::Cancelled;
    }
    return MonitorOutcome::Loaded;
}

using kavrel::bench::openDescriptors;
using kavrel::bench::status;

// A thousand loads through the monitor, each on a fresh board and on a
// thread of its own as the job runs it, one in five faulted: every outcome
// the one the fault calls for, told in French, none a success but the sound
// ones; what the process holds before and after.
void BM_MonitorThousandSessionsFaulted(benchmark::State& state) {
    std::string error;
    const std::optional<S19Program> program = parseS19Program(test::greeter(0x0100, 100), error);
    std::mt19937 random(2028);
    const int sessions = kavrel::bench::quick() ? 10 : 1000;
    long wrong = 0, loaded = 0, faulted = 0, falseSuccess = 0;
    const long fdBefore = openDescriptors(), threadsBefore = status("Threads");
    long rssAfterFirst = 0;
    for (auto _ : state) {
        for (int i = 0; i < sessions; ++i) {
            const Fault fault =
                random() % 5 == 0 ? static_cast<Fault>(1 + random() % 5) : Fault::None;
            const std::size_t at = random() % program->records.size();
            std::unique_ptr<test::SimulatedBoard> board = test::evaluationBoard();
            FaultyLine line(*board, fault, at);
            MonitorSettings settings;
            settings.port = "carte";
            MonitorLoad load(*program, settings);
            if (fault == Fault::Cancelled)
                load.onProgress = [&](std::size_t done, std::size_t) {
                    if (done == at + 1)
                        load.cancel();
                };
            MonitorResult result;
            std::thread worker([&] { result = load.run(line); });
            worker.join();
            if (result.outcome != expected(fault) || result.message.empty()) {
                ++wrong;
                state.SetLabel("faute " + std::to_string(static_cast<int>(fault)) + " : " +
                               result.message);
            }
            falseSuccess += result.ok() && fault != Fault::None ? 1 : 0;
            loaded += result.ok() ? 1 : 0;
            faulted += fault == Fault::None ? 0 : 1;
            if (i == 0)
                rssAfterFirst = status("VmRSS");
        }
    }
    state.counters["loaded"] = static_cast<double>(loaded);
    state.counters["faulted"] = static_cast<double>(faulted);
    state.counters["wrong_outcome"] = static_cast<double>(wrong);
    state.counters["false_success"] = static_cast<double>(falseSuccess);
    state.counters["fd_before"] = static_cast<double>(fdBefore);
    state.counters["fd_after"] = static_cast<double>(openDescriptors());
    state.counters["threads_before"] = static_cast<double>(threadsBefore);
    state.counters["threads_after"] = static_cast<double>(status("Threads"));
    state.counters["rss_kb_after_first"] = static_cast<double>(rssAfterFirst);
    state.counters["rss_kb_after"] = static_cast<double>(status("VmRSS"));
}

// Only where the test data holds the monitor: nothing to measure otherwise.
const bool registered = [] {
    if (!std::filesystem::exists(std::filesystem::path(KAVREL_TESTDATA_DIR) / "buffalo-34.asm"))
        return false;
    benchmark::RegisterBenchmark("BM_MonitorLoadRam2K", BM_MonitorLoadRam2K)
        ->UseManualTime()
        ->Iterations(kavrel::bench::iterations(3))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_MonitorLoadEeprom512", BM_MonitorLoadEeprom512)
        ->Arg(0)
        ->Arg(1)
        ->UseManualTime()
        ->Iterations(kavrel::bench::iterations(2))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_MonitorThousandSessionsFaulted",
                                 BM_MonitorThousandSessionsFaulted)
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
    return true;
}();

} // namespace
