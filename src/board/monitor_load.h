#pragma once

#include "board/transport.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The load through a board's monitor (BUFFALO's `LOAD T`): the monitor's
// prompt, its command, then the S1 records typed as a terminal would send
// them, each byte bound for the EEPROM given the time the monitor takes to
// program it, and the monitor's last word ("done", or what went wrong).
// Plain C++, run on a worker thread; cancel() from any thread.
namespace kavrel::board {

// The S19 file, as far as the monitor takes it.
struct S19Record {
    std::uint16_t address = 0;
    std::vector<std::uint8_t> data;
    std::string text; // the record as sent: "S1..." without its line end
    int line = 0;     // in the file, from 1
};

struct S19Program {
    std::vector<S19Record> records; // the S1 records, in the file's order
    std::string end;                // the S9 record sent last ("S9030000FC" when the file has none)
    std::uint16_t entry = 0;        // where G starts it
    std::size_t bytes = 0;          // data bytes in all
};

// Reads S19 text: S1 records kept, S0 and S5 left out (the monitor ignores
// them), S9 for the start. Where the S9 gives $0000 and no record loads
// there, the program starts at its first record. Empty with a French
// message naming the line for a bad record, records the monitor cannot
// take (S2, S3), or a file without data.
std::optional<S19Program> parseS19Program(std::string_view text, std::string& error);

// What the host knows of the board's memory: anything not listed is sent
// and left to the monitor to refuse.
struct MemoryRegion {
    // Monitor: the RAM the monitor keeps for itself (variables, stack,
    // interrupt table): a load there would overwrite it under its feet.
    enum class Kind { Ram, Registers, Eeprom, Rom, Nothing, Monitor };
    Kind kind = Kind::Ram;
    std::uint16_t from = 0, to = 0; // both included
};

struct MonitorBoard {
    std::string name;                 // as the dialog lists it
    std::vector<MemoryRegion> memory; // the EEPROM's range among them
    std::uint16_t config = 0x103F;    // CONFIG: the monitor erases then programs it too
    double crystalHz = 8'000'000;     // E = crystal / 4
};

// The boards with a monitor in ROM that the dialog offers: the evaluation
// boards' 68HC11E9 and 68HC11A8 (BUFFALO at $E000, its RAM from $002D to
// $00FF), memory outside the chip unknown.
const std::vector<MonitorBoard>& monitorBoards();

struct MonitorSettings {
    std::string port; // as the user named it; the messages repeat it
    unsigned baud = 9600;
    std::string command = "LOAD T";
    MonitorBoard board = monitorBoards().front();
    // Leaves the port open after a load that succeeded, for the terminal
    // and the G that starts the program.
    bool keepOpen = false;
};

// The pace of a load, from the speed and the crystal.
struct MonitorTiming {
    Duration character{}; // one frame of 10 bits
    Duration answer{};    // beyond the wire, what an adapter and the system may add
    Duration quiet{};     // silence after '>' that makes it a prompt
    // One EEPROM byte as the monitor writes it: a byte erase then its
    // programming, each 20,000 E cycles (10 ms at E = 2 MHz).
    Duration eepromByte{};
    Duration margin{};   // added to eepromByte for the monitor's own steps
    Duration endPause{}; // the monitor's wait after the S9 record (1 s at 2 MHz)
};
MonitorTiming monitorTimingFor(unsigned baud, double crystalHz);

enum class MonitorOutcome {
    Loaded,
    Refused,         // the file cannot be loaded: nothing was sent
    PortFailed,      // could not open or set the port
    NoPrompt,        // no monitor prompt
    CommandRefused,  // the monitor did not take the command
    RomRefused,      // a record bound for ROM
    NoMemory,        // a record bound for addresses without memory
    WriteRefused,    // the monitor could not write an address (EEPROM...)
    ChecksumRefused, // the monitor found a record's checksum wrong
    MonitorError,    // the monitor said something else than "done"
    NoEnd,           // the monitor said nothing after the last record
    Vanished,        // the port went away
    Cancelled,
};

struct MonitorResult {
    MonitorOutcome outcome = MonitorOutcome::Loaded;
    std::string message;   // French, for the user
    std::size_t sent = 0;  // records handed to the line
    std::size_t total = 0; // records of the load
    std::string answer;    // the monitor's words after the last record, on one line
    std::string lastWords; // the same as they came, its prompt included, NULs left out
    std::optional<std::uint16_t> address; // the address refused
    bool ok() const { return outcome == MonitorOutcome::Loaded; }
};

class MonitorLoad {
public:
    MonitorLoad(S19Program program, MonitorSettings settings);

    // Records handed to the line, out of the load's; called on the thread
    // that runs the load, with (0, total) first.
    std::function<void(std::size_t done, std::size_t total)> onProgress;

    // The whole load on `transport`, opened here and closed before it
    // returns (unless keepOpen and loaded). Never throws for a fault of the
    // board or the port: the result says what happened.
    MonitorResult run(Transport& transport);

    // From any thread: the load ends within a few character times, then
    // brings the monitor back to its prompt (about a second, its own pause).
    void cancel() { cancelled_.store(true); }
    // The same without waiting for the monitor: nobody is left to use it.
    void abandon() {
        abandoned_.store(true);
        cancelled_.store(true);
    }

    const S19Program& program() const { return program_; }
    const MonitorSettings& settings() const { return settings_; }

private:
    S19Program program_;
    MonitorSettings settings_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> abandoned_{false};
};

// "G 0100": what starts a program at `address` from the monitor's prompt.
std::string goCommand(std::uint16_t address);

struct StartResult {
    bool ok = false;
    std::string message;       // French
    std::string programOutput; // what came after the monitor repeated the command
};

// Types goCommand(address) on a transport left open at the monitor's
// prompt, and waits for the monitor to repeat it: the program then runs.
StartResult startProgram(Transport& transport, std::uint16_t address, const std::string& port,
                         unsigned baud, const std::atomic<bool>& cancelled);

} // namespace kavrel::board
