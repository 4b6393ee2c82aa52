// The bootstrap download: a 256-byte load through the real serial port into
// sim11's loader on a pseudo-terminal, beside the wire's own time for the
// same bytes (the baseline); and a thousand loads in a row into the
// simulated chip, one in ten faulted at random, each checked for its
// outcome, with the process's descriptors, threads and memory around them.
#include "asmhc11/assembler.h"
#include "board/boot_image.h"
#include "board/bootstrap.h"
#include "board/simulated_board.h"

#ifdef KAVREL_BENCH_JOBS
#include "board/download_job.h"
#include "board/serial_link.h"

#include <QCoreApplication>
#endif
#ifdef KAVREL_BENCH_SIM11
#include "board/serial_transport.h"
#include "board/sim11_pty.h"
#endif

#include <benchmark/benchmark.h>

#include "benchmark_runner.h"
#include "process_usage.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

namespace {

using namespace kavrel::board;
using kavrel::board::test::SimulatedBoard;

// 256 bytes of program: a loop that greets on the SCI, then filler.
std::vector<std::uint8_t> program256() {
    asmhc11::Options options;
    options.mode = asmhc11::Mode::Boo;
    const auto result = asmhc11::assembleSource(
        "SCSR EQU $102E\nSCDR EQU $102F\n ORG $0000\nDEBUT LDX #TEXTE\n"
        "ENVOI LDAA 0,X\n BEQ FIN\nEMET LDAB SCSR\n BPL EMET\n STAA SCDR\n INX\n BRA ENVOI\n"
        "FIN BRA FIN\nTEXTE FCC \"Pret\"\n FCB 13,10,0\n RMB 256-*\n",
        options);
    std::vector<std::uint8_t> image = parseBootImage(result.boo, "bench.BOO");
    image.resize(256, 0x01);
    return image;
}

#ifdef KAVREL_BENCH_SIM11
// The bytes of a load on a wire at `baud`: the $FF and 256 bytes out, the
// last echo back, 10 bits each.
double wireSeconds(unsigned baud) {
    return (1 + 256 + 1) * 10.0 / baud;
}

// The chip on the other end of the pty at each speed: an A1 at 1200 bauds
// (its loader falls back from 7812 on the $FF it cannot read), and an E9
// behind a 9.8304 MHz crystal, whose loader's fast rate is then 9600.
struct PtyBoard {
    const char* chip;
    Family family;
    std::vector<std::string> options;
};

PtyBoard ptyBoard(unsigned baud) {
    if (baud == 9600)
        return {"E9", Family::E, {"--quartz", "9,8304", "--baud", "9600"}};
    return {"A1", Family::A, {"--baud", std::to_string(baud)}};
}

void BM_BoardLoadPty(benchmark::State& state) {
    const unsigned baud = static_cast<unsigned>(state.range(0));
    const PtyBoard chip = ptyBoard(baud);
    const std::vector<std::uint8_t> image = program256();
    double worst = 0, lastEchoAt = 0;
    for (auto _ : state) {
        // A fresh chip in its loader for each load; its start is not timed.
        test::Sim11OnPty board(KAVREL_BENCH_SIM11, chip.chip, chip.options);
        if (board.path().empty()) {
            state.SkipWithError("sim11 n'a pas ouvert de pseudo-terminal");
            return;
        }
        SerialTransport port;
        BootstrapDownload load(image, {board.path(), baud, chip.family, false});
        std::chrono::steady_clock::time_point lastEcho{};
        load.onProgress = [&](std::size_t done, std::size_t total) {
            if (done == total)
                lastEcho = std::chrono::steady_clock::now();
        };
        const auto start = std::chrono::steady_clock::now();
        const DownloadResult result = load.run(port);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        lastEchoAt = std::max(lastEchoAt, std::chrono::duration<double>(lastEcho - start).count());
        if (!result.ok()) {
            state.SkipWithError(result.message.c_str());
            return;
        }
        state.SetIterationTime(took.count());
        worst = std::max(worst, took.count());
    }
    state.counters["wire_s"] = wireSeconds(baud);
    // The slowest load over the wire's time: the target is 1.05 at most.
    state.counters["worst_over_wire"] = worst / wireSeconds(baud);
    // Of which the last echo: what follows is the family's closing pause.
    state.counters["last_echo_s"] = lastEchoAt;
}
BENCHMARK(BM_BoardLoadPty)
    ->Arg(1200)
    ->Arg(9600)
    ->UseManualTime()
    ->Iterations(kavrel::bench::iterations(3))
    ->Unit(benchmark::kMillisecond);

// The wire's own time: what a board that echoes at once would cost.
void BM_BoardLoadPty_Baseline(benchmark::State& state) {
    const unsigned baud = static_cast<unsigned>(state.range(0));
    for (auto _ : state)
        state.SetIterationTime(wireSeconds(baud));
    state.counters["wire_s"] = wireSeconds(baud);
}
BENCHMARK(BM_BoardLoadPty_Baseline)
    ->Arg(1200)
    ->Arg(9600)
    ->UseManualTime()
    ->Iterations(kavrel::bench::iterations(3))
    ->Unit(benchmark::kMillisecond);
#endif

enum class Fault { None, CorruptEcho, Silence, ClosedPort };

// A simulated A1 behind a line that fails once `at` echoes have come.
class FaultyLine final : public Transport {
public:
    FaultyLine(Fault fault, std::size_t at) : board_(sim11::Chip::A1), fault_(fault), at_(at) {}
    void open(const std::string& port, unsigned baud) override { board_.open(port, baud); }
    void write(std::span<const std::uint8_t> bytes) override {
        if (fault_ == Fault::ClosedPort && heard_ >= at_)
            throw PortError(PortFault::Vanished, "débranché");
        board_.write(bytes);
    }
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override {
        if (fault_ == Fault::ClosedPort && heard_ >= at_)
            throw PortError(PortFault::Vanished, "débranché");
        const std::size_t n = board_.read(into, timeout);
        if (fault_ == Fault::Silence && heard_ >= at_)
            return 0; // the chip's time went on; nothing reaches the host
        for (std::size_t i = 0; i < n; ++i, ++heard_)
            if (fault_ == Fault::CorruptEcho && heard_ == at_)
                into[i] ^= 0x10;
        return n;
    }
    void close() override { board_.close(); }
    Duration now() const override { return board_.now(); }

private:
    SimulatedBoard board_;
    Fault fault_;
    std::size_t at_;
    std::size_t heard_ = 0;
};

Outcome expected(Fault fault, std::size_t at) {
    switch (fault) {
    case Fault::None:
        return Outcome::Loaded;
    case Fault::CorruptEcho:
        return Outcome::WrongEcho;
    case Fault::Silence:
        return at == 0 ? Outcome::NoAnswer : Outcome::StoppedAnswering;
    case Fault::ClosedPort:
        return Outcome::Vanished;
    }
    return Outcome::Loaded;
}

using kavrel::bench::openDescriptors;
using kavrel::bench::status;

// What the process holds, before and after a run of loads.
struct Held {
    long descriptors = openDescriptors();
    long threads = status("Threads");
    long rssKb = status("VmRSS");

    void report(benchmark::State& state) const {
        const Held after;
        state.counters["fd_before"] = static_cast<double>(descriptors);
        state.counters["fd_after"] = static_cast<double>(after.descriptors);
        state.counters["threads_before"] = static_cast<double>(threads);
        state.counters["threads_after"] = static_cast<double>(after.threads);
        state.counters["rss_kb_before"] = static_cast<double>(rssKb);
        state.counters["rss_kb_after"] = static_cast<double>(after.rssKb);
    }
};

void BM_BoardThousandLoadsFaulted(benchmark::State& state) {
    const std::vector<std::uint8_t> image = program256();
    std::mt19937 random(2026);
    const int loads = kavrel::bench::quick() ? 20 : 1000;
    long wrong = 0, loaded = 0, faulted = 0;
    const Held before;
    long rssAfterFirst = 0;
    for (auto _ : state) {
        for (int i = 0; i < loads; ++i) {
            Fault fault = Fault::None;
            if (random() % 10 == 0)
                fault = static_cast<Fault>(1 + random() % 3);
            const std::size_t at = random() % 256; // an echo of the 256
            FaultyLine line(fault, at);
            BootstrapDownload load(image, {"simulateur", 7812, Family::A, false});
            DownloadResult result;
            // On a thread of its own, as the download job runs it.
            std::thread worker([&] { result = load.run(line); });
            worker.join();
            const bool right = result.outcome == expected(fault, at) && !result.message.empty();
            if (!right) {
                ++wrong;
                state.SetLabel("faute " + std::to_string(static_cast<int>(fault)) + " à " +
                               std::to_string(at) + " : " + result.message);
            }
            loaded += result.ok() ? 1 : 0;
            faulted += fault == Fault::None ? 0 : 1;
            if (i == 0)
                rssAfterFirst = status("VmRSS");
        }
    }
    state.counters["loaded"] = static_cast<double>(loaded);
    state.counters["faulted"] = static_cast<double>(faulted);
    state.counters["wrong_outcome"] = static_cast<double>(wrong);
    before.report(state);
    state.counters["rss_kb_after_first"] = static_cast<double>(rssAfterFirst);
}
BENCHMARK(BM_BoardThousandLoadsFaulted)->Iterations(1)->Unit(benchmark::kSecond);

#ifdef KAVREL_BENCH_JOBS
// The same thousand loads as the program runs them: each a download job on
// a thread of its own, and each load that worked handing its line over to a
// serial link (another thread), started and then closed as a terminal does.
void BM_BoardThousandJobsFaulted(benchmark::State& state) {
    static int argc = 1;
    static char name[] = "bench_board";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv); // lives as long as the program
    const std::vector<std::uint8_t> image = program256();
    std::mt19937 random(2027);
    const int loads = kavrel::bench::quick() ? 20 : 1000;
    long wrong = 0, loaded = 0, links = 0;
    const Held before;
    for (auto _ : state) {
        for (int i = 0; i < loads; ++i) {
            Fault fault = Fault::None;
            if (random() % 10 == 0)
                fault = static_cast<Fault>(1 + random() % 3);
            const std::size_t at = random() % 256;
            DownloadJob job(image, {"simulateur", 7812, Family::A, true},
                            [fault, at] { return std::make_unique<FaultyLine>(fault, at); });
            bool done = false, ok = false;
            SerialLink* link = nullptr;
            QObject::connect(&job, &DownloadJob::finished,
                             [&](bool success, const QString&, const QByteArray&, SerialLink* l) {
                                 done = true;
                                 ok = success;
                                 link = l;
                             });
            job.start();
            while (!done)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
            wrong += ok != (fault == Fault::None) ? 1 : 0;
            if (link) {
                ++links;
                link->start();
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
                delete link;
            }
            loaded += ok ? 1 : 0;
        }
        QCoreApplication::processEvents();
    }
    state.counters["loaded"] = static_cast<double>(loaded);
    state.counters["links"] = static_cast<double>(links);
    state.counters["wrong_outcome"] = static_cast<double>(wrong);
    before.report(state);
}
BENCHMARK(BM_BoardThousandJobsFaulted)->Iterations(1)->Unit(benchmark::kSecond);
#endif

} // namespace
