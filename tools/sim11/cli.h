// The command line of sim11: options, loading and output, on a Session. The
// host's side of the SCI (standard streams, a pseudo-terminal) is given to the
// session's run, so the run is the same whatever the SCI is tied to.
#pragma once

#include "sim11/machine.h"
#include "sim11/host_link.h"
#include "sim11/session.h"

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace sim11 {

inline constexpr int exitOk = 0;
inline constexpr int exitUsage = 2; // bad usage or an unreadable file

struct Options {
    Chip chip = Chip::E9;
    Mode mode = Mode::SingleChip;
    Board board = Board::Chip;
    std::optional<std::uint16_t> start;
    std::optional<std::uint64_t> cycles;
    enum class Sci { Stdio, Pty } sci = Sci::Stdio;
    bool realtime = false;
    // The far end's speed on the line; 0: the program's own rate.
    unsigned baud = 0;
    // The crystal, in hertz: the E clock is a quarter of it.
    double quartzHz = 8'000'000.0;
    bool trace = false;
    bool regs = false;
    bool help = false;
    std::vector<std::string> files;
};

// Reads argv[1..]; false with a French message on bad usage.
bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error);
const char* usageText();

// Loads every S19 file into the session, sets the start address, resets.
bool loadPrograms(const Options& options, Session& session, std::string& error);

// "A=.. B=.. X=.... Y=.... SP=.... PC=.... CCR=.. cycles=N"
std::string formatRegisters(const Machine& machine);
// One trace line: address, bytes, disassembly, registers, E cycles.
std::string formatTrace(const Machine& machine, const TraceEntry& entry);

// Runs until STOP, the cycle limit or `interrupted`; paces to the E clock
// when asked. Returns the exit status.
int runSimulation(const Options& options, Session& session, SerialHost& host, std::ostream& err,
                  const std::atomic<bool>& interrupted);

// The whole program: options, files, the SCI on the standard streams or a
// pseudo-terminal (host.cpp, one part per system).
int runCommandLine(int argc, char** argv);

} // namespace sim11
