// The command line of sim11: options, the lab board, loading and output, on
// a Session. The host's side of the SCI (standard streams, a pseudo-terminal)
// is given to the session's run, so the run is the same whatever the SCI is
// tied to. Part of the program, not of the library: it uses the lab board,
// which the library sits under.
#pragma once

#include "lab/lab_board.h"
#include "sim11/host_link.h"
#include "sim11/machine.h"
#include "sim11/session.h"

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim11 {

inline constexpr int exitOk = 0;
inline constexpr int exitUsage = 2; // bad usage, an unreadable file, a bad board file

struct Options {
    // Absent: the board's, else E9 in single-chip mode.
    std::optional<Chip> chip;
    std::optional<Mode> mode;
    // A shipped board's key ("chip", "evb", "tp", "monopuce") or a board file.
    std::string board = "chip";
    std::optional<std::uint16_t> start;
    std::optional<std::uint64_t> cycles;
    enum class Sci { Stdio, Pty } sci = Sci::Stdio;
    bool realtime = false;
    // The far end's speed on the line; 0: the program's own rate.
    unsigned baud = 0;
    // The crystal, in hertz: the E clock is a quarter of it. Absent: the
    // board's, else 8 MHz.
    std::optional<double> quartzHz;
    bool trace = false;
    bool show = false; // the board's LCDs and displays on standard error
    bool regs = false;
    bool help = false;
    std::vector<std::string> files;
};

// Reads argv[1..]; false with a French message on bad usage.
bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error);
const char* usageText();

// The board --board names, read and built; what the command line left out
// of the chip, the mode and the quartz is taken from it (else E9, single
// chip, 8 MHz), so `options` holds them all afterwards. Null with a French
// message (a board file's names its line).
std::unique_ptr<lab::LabBoard> openBoard(Options& options, std::string& error);
// The session's setup: the board's, with the command line's chip and mode.
Setup boardSetup(const Options& options, const lab::LabBoard& board);

// Loads every S19 file into the session, sets the start address, resets.
bool loadPrograms(const Options& options, Session& session, std::string& error);

// "A=.. B=.. X=.... Y=.... SP=.... PC=.... CCR=.. cycles=N"
std::string formatRegisters(const Machine& machine);
// One trace line: address, bytes, disassembly, registers, E cycles.
std::string formatTrace(const Machine& machine, const TraceEntry& entry);

// Runs until STOP, the cycle limit or `interrupted`; paces to the E clock
// when asked. With --show, the board's lines that changed are written on
// `err` every 10 ms of simulated time, and at the end. Returns the exit status.
int runSimulation(const Options& options, Session& session, SerialHost& host, std::ostream& err,
                  const std::atomic<bool>& interrupted, lab::LabBoard* board = nullptr);

// The whole program: options, files, the SCI on the standard streams or a
// pseudo-terminal (host.cpp, one part per system).
int runCommandLine(int argc, char** argv);

} // namespace sim11
