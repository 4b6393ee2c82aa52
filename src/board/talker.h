#pragma once

// The talker: a small program of Kavrel's own, loaded into the chip's RAM by
// the bootstrap load, that answers the host over the SCI while the user's
// program is stopped, and takes control back at breakpoints (SWI placed by
// the host, removed when it stops) and, where the program leaves the SCI to
// it, on a byte received while the program runs. This is the host's side:
// Qt-free, blocking, run on one worker thread at a time, over any Transport
// (a serial port, or the simulated chip in tests). Every fault of the line
// or the board is thrown as a TalkerError with a French message; nothing is
// ever told as done that the board did not confirm.
#include "board/boot_image.h"
#include "board/transport.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace kavrel::board {

struct TalkerRegisters {
    std::uint8_t a = 0, b = 0, ccr = 0;
    std::uint16_t x = 0, y = 0, sp = 0, pc = 0;
    bool operator==(const TalkerRegisters&) const = default;
};

enum class TalkerFault {
    NoAnswer,      // the talker never answered: not loaded, wrong speed, no board
    BadReply,      // an answer that is not the protocol's (a corrupted byte)
    StoppedAnswering, // answered, then fell silent (the program took the line, or overwrote the talker)
    Vanished,      // the port went away
    PortFailed,    // the port could not be opened or set
    LoadFailed,    // the bootstrap load of the talker failed (message says how)
    Refused,       // the request cannot be done: ROM, no memory there, the talker's own RAM
    VerifyFailed,  // a write or a programming read back different
    Cancelled,
};

class TalkerError : public std::runtime_error {
public:
    TalkerError(TalkerFault fault, const std::string& message)
        : std::runtime_error(message), fault_(fault) {}
    TalkerFault fault() const noexcept { return fault_; }

private:
    TalkerFault fault_;
};

// The talker as the bootstrap load sends it, for a family: the bytes from
// $0000, and the RAM the talker keeps for itself (code, variables, its stack),
// which a program must leave alone.
struct TalkerImage {
    std::vector<std::uint8_t> boot; // from $0000, as the loader takes them
    std::uint16_t first = 0, last = 0; // the talker's own RAM, inclusive
};
const TalkerImage& talkerImage(Family family);

// The SCI's BAUD value for `baud` with the E clock at `eClockHz`, within 3 %;
// nullopt where no setting comes that close.
std::optional<std::uint8_t> talkerBaudRegister(double eClockHz, unsigned baud);
// How long EPGM stays on for an EEPROM byte or erase: 10 ms with E at 2 MHz
// and above, 20 ms below, where the charge pump is slower.
Duration eepromProgramTime(double eClockHz);

struct TalkerSettings {
    std::string port; // as the user named it; the messages repeat it
    Family family = Family::E;
    double eClockHz = 2'000'000.0; // the board's crystal / 4: the EEPROM's time and the speeds
    unsigned loadBaud = 1200;      // the bootstrap load's speed, as for "Charger dans la carte"
    unsigned baud = 9600;          // the talker's speed once it runs
    bool resetByLines = false;     // DTR and RTS pulsed first (boards wired for it)
};

// Why a program handed to the talker stopped.
enum class TalkerStopReason { Breakpoint, Interrupted, Swi /* an SWI of the program's own */ };

struct TalkerStop {
    TalkerStopReason reason = TalkerStopReason::Breakpoint;
    TalkerRegisters registers; // pc on the instruction where it stopped
};

class Talker {
public:
    // The transport is the caller's; connect() opens it, close() closes it.
    Talker(Transport& transport, TalkerSettings settings);
    ~Talker();

    // Opens the port, loads the talker by the bootstrap load, brings the line
    // to the talker's speed and checks that it answers. `progress` (done,
    // total) during the load.
    void connect(const std::function<void(std::size_t, std::size_t)>& progress = {});
    void close();
    bool connected() const;

    // Memory, registers included ($1000-$103F at reset). Reads of more than
    // the talker's block are split. Throws Refused for the talker's own RAM.
    std::vector<std::uint8_t> read(std::uint16_t address, std::size_t count);
    // RAM and registers: written, then read back (a register that does not read
    // back what was written is not an error). EEPROM addresses go through
    // programEeprom. Throws Refused where the chip has ROM or nothing.
    void write(std::uint16_t address, std::span<const std::uint8_t> bytes);

    // The EEPROM's sequence, on the chip: BPROT cleared, each byte that needs
    // it erased (byte erase), programmed with EPGM for the programming time
    // at the board's E clock, read back. `progress` (done, total) in bytes.
    void programEeprom(std::uint16_t address, std::span<const std::uint8_t> bytes,
                       const std::function<void(std::size_t, std::size_t)>& progress = {});
    // CONFIG: erased (bulk erase on the A parts, where CONFIG goes with the
    // array; byte erase of CONFIG elsewhere) when a bit must go from 0 to 1,
    // programmed, read back from the cell (CONFIG itself changes at reset).
    void programConfig(std::uint8_t value);
    // The value CONFIG will have at the next reset, and the one in force.
    std::uint8_t configInForce();

    // The user's registers, as the program will resume with them.
    TalkerRegisters registers();
    void setRegisters(const TalkerRegisters& registers);

    // Starts the program at registers().pc with SWIs at `breakpoints` (their
    // bytes kept and put back when it stops). Returns once it runs.
    // Throws Refused for a breakpoint where an SWI cannot be written (ROM).
    void go(std::span<const std::uint16_t> breakpoints);
    // While it runs: waits at most `timeout` for a stop; the program's own
    // serial output that came meanwhile goes to `output`. nullopt: still running.
    std::optional<TalkerStop> waitStop(Duration timeout, std::vector<std::uint8_t>& output);
    // Sends the byte that stops a running program through the SCI's receive
    // interrupt. Throws Refused, with why, when the program has taken the
    // SCI or its interrupts (it then runs on).
    void interrupt();
    // One instruction: breakpoints on every address the instruction at pc can
    // go to next (from the instruction set's table), then go and wait.
    TalkerStop step();

    // From any thread: the call in progress ends within a few character
    // times with Cancelled.
    void cancel() { cancelled_.store(true); }

private:
    struct Impl;
    Transport& transport_;
    TalkerSettings settings_;
    std::atomic<bool> cancelled_{false};
    std::unique_ptr<Impl> impl_;
};

} // namespace kavrel::board
