// A simulation as a window or the command line drives it: the machine and the
// program loaded into it, resets, run goals (step, step over, step out, run
// to, run), breakpoints and watchpoints, the hooks a window refreshes from,
// halts and the pacing to the E clock. Qt-free. One thread runs a session;
// any thread may ask it to halt, send it SCI bytes or change its input pins.
// What stands at the far end of the SCI runs beside it (host_link.h).
#pragma once

#include "sim11/machine.h"
#include "sim11/pacer.h"
#include "sim11/s19.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim11 {

// A run of bytes at an address, as an assembler or an S19 file gives them.
using Segment = S19Block;

// What is wired around the chip. The evaluation board ties OC5 (PA3) to XIRQ,
// which BUFFALO's trace and breakpoints rely on.
enum class Board { Chip, Evb };

struct Setup {
    Chip chip = Chip::E9;
    Mode mode = Mode::SingleChip;
    Board board = Board::Chip;
    friend bool operator==(const Setup&, const Setup&) = default;
};

// Why a run, a step or a slice came back.
enum class RunEnd {
    Done,          // the step, step over, step out or run to an address is complete
    Breakpoint,    // PC reached a breakpoint; its instruction has not run
    Watchpoint,    // an instruction read or wrote a watched address (see lastWatch())
    Stop,          // a STOP instruction (with S set it does not stop the clocks)
    CycleLimit,    // the cycles given to this call are spent
    TimeSlice,     // the wall-clock time given to runFor() is spent
    Halted,        // requestHalt()
    IllegalOpcode, // an opcode of no instruction, PC on it (see setStopOnIllegal)
    CopReset,      // the COP watchdog reset the chip (see setStopOnCopReset)
    Transmitted,   // a byte left the SCI (see setStopOnTransmit)
};

// What a watchpoint catches.
enum class Access : std::uint8_t { Read = 1, Write = 2, ReadWrite = 3 };

struct WatchHit {
    std::uint16_t address = 0;
    std::uint8_t value = 0;
    bool write = false;
};

// The machine as a window shows it, copied between two slices of a run.
struct Snapshot {
    Registers regs;
    std::uint64_t cycles = 0;              // E cycles since power-on
    double seconds = 0;                    // the same in simulated time
    std::array<std::uint8_t, 5> pins{};    // levels of ports A to E
    std::array<std::uint8_t, 5> outputs{}; // the pins the chip drives, per port
    bool stopped = false;                  // in STOP, clocks stopped
    bool waiting = false;                  // in WAI
    std::uint16_t registerBase = 0x1000, ramBase = 0, ramSize = 0;
};

// Something outside the chip that runs beside a session, between the slices
// of a run (the far end of the SCI, host_link.h): before each slice it takes
// in what arrived and says how the slice should go; after it, it may answer.
class RunCompanion {
public:
    virtual ~RunCompanion() = default;
    struct Slice {
        // Non-zero: the companion keeps the time this slice, this many
        // cycles, not paced to the wall clock.
        std::uint64_t ownCycles = 0;
        // A full-speed slice ends no later than this cycle.
        std::uint64_t until = ~0ull;
    };
    virtual Slice beforeSlice() = 0;
    // After a slice that ended with `halt`. It may turn an end it asked for
    // itself (Halt::Ended) into Halt::CycleLimit so that the run goes on;
    // `sessionEnded` says the session asked for that end too. True when the
    // pacing must start again from now.
    virtual bool afterSlice(Halt& halt, std::uint64_t sliceFrom, bool ownSlice,
                            bool sessionEnded) = 0;
    // The run must end now (the user interrupted it).
    virtual bool interrupted() const = 0;
};

class Session {
public:
    static constexpr std::uint64_t unlimited = ~0ull;

    explicit Session(Setup setup = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // --- the chip ---------------------------------------------------------
    const Setup& setup() const { return setup_; }
    // Another chip, mode or board: a new machine, the image loaded into it,
    // then a power-on reset. Breakpoints, watchpoints and hooks stay. False
    // (with the reason) when part of the image has no memory on the new chip.
    bool configure(const Setup& setup, std::string* error = nullptr);
    Machine& machine() { return *machine_; }
    const Machine& machine() const { return *machine_; }

    // --- the program ------------------------------------------------------
    // Adds segments to the image and stores them in the machine (RAM,
    // EEPROM, ROM, external memory; $103F is the CONFIG cell). False with a
    // French message when a byte falls where nothing is mapped.
    bool load(const std::vector<Segment>& segments, std::string& error);
    // The same from an S19 file; its S9 address becomes entry().
    bool loadS19File(const std::string& path, std::string& error);
    void clearImage();
    const std::vector<Segment>& image() const { return image_; }
    std::optional<std::uint16_t> entry() const { return entry_; }
    // Where every reset starts instead of the reset vector.
    void setStart(std::optional<std::uint16_t> start) { start_ = start; }
    std::optional<std::uint16_t> start() const { return start_; }

    // --- resets -----------------------------------------------------------
    // Power-on: the image stored again, cycles from zero, PC from the reset
    // vector (or the start address).
    void reset();
    // The RESET pin pressed: registers and peripherals as reset leaves
    // them, memory and cycle count kept.
    void pressReset();

    // --- running ----------------------------------------------------------
    // One instruction; an interrupt taken first stops on its handler's
    // first instruction. A WAI waits here for its interrupt.
    RunEnd step();
    // A JSR or BSR runs until it returns to the next instruction; any other
    // instruction is one step.
    RunEnd stepOver(std::uint64_t maxCycles = unlimited);
    // Runs until the RTS or RTI of the current routine has executed.
    RunEnd stepOut(std::uint64_t maxCycles = unlimited);
    // Until PC reaches `address` (before its instruction) or another stop.
    RunEnd runTo(std::uint16_t address, std::uint64_t maxCycles = unlimited);
    RunEnd run(std::uint64_t maxCycles = unlimited);

    // In slices, for a window: begin a goal, then call runFor() until it
    // returns anything but TimeSlice (or CycleLimit, when given one). A
    // goal also forgets a halt requested before it. Step is step(): on a WAI
    // its slices wait for the interrupt while the inputs still come in.
    enum class Goal { Run, RunTo, Step, StepOver, StepOut };
    void begin(Goal goal, std::uint16_t address = 0);
    RunEnd runFor(std::chrono::nanoseconds wall, std::uint64_t maxCycles = unlimited);

    // Runs with `companion` beside it, from where the last goal left off,
    // until a stop, `maxCycles` or the companion's interruption.
    RunEnd runBeside(RunCompanion& companion, std::uint64_t maxCycles = unlimited);

    // From any thread: the run ends at the next instruction boundary.
    void requestHalt();

    // Full speed, or paced to the E clock so simulated time keeps to real time.
    void setRealTime(bool on) { realTime_ = on; }
    bool realTime() const { return realTime_; }
    void setEClock(double hertz);
    double eClock() const { return pacer_.eClock(); }

    // What ends a run besides breakpoints, watchpoints, STOP and halts. A
    // window stops on illegal opcodes and COP resets; the command line lets
    // the chip take them as it would.
    void setStopOnIllegal(bool on);
    void setStopOnCopReset(bool on);
    void setStopOnTransmit(bool on) { stopOnTransmit_ = on; }

    // --- breakpoints and watchpoints --------------------------------------
    void setBreakpoint(std::uint16_t address, bool on = true);
    bool breakpoint(std::uint16_t address) const;
    void clearBreakpoints();
    std::vector<std::uint16_t> breakpoints() const;
    // Stops after an instruction that reads or writes `address`; Access{}
    // (zero) clears it. Instruction fetches are not reads here.
    void setWatchpoint(std::uint16_t address, Access access);
    Access watchpoint(std::uint16_t address) const;
    void clearWatchpoints();
    const WatchHit& lastWatch() const { return lastWatch_; }

    // --- hooks (called on the thread that runs the session) --------------
    std::function<void(std::uint8_t)> onTransmit;
    std::function<void(Port, std::uint8_t levels)> onPins;
    std::function<void(std::uint16_t address, std::uint8_t value)> onMemoryWritten;
    // The range onMemoryWritten reports (both ends included); several may be set.
    void watchMemory(std::uint16_t from, std::uint16_t to);
    void clearMemoryWatches();

    // --- inputs (any thread; they take effect at the next run, step or
    //     snapshot) ---------------------------------------------------------
    void sciSend(const std::string& bytes);
    void sciSend(std::uint8_t byte);
    // Line: a byte per character time as on a wire (the default); Paced: a
    // typist who waits until the program asks for input.
    void setFeed(Feed feed);
    // The terminal's rate; 0 follows the program's BAUD setting. At another
    // rate the bytes arrive as the receiver samples them (garbled, framing error).
    void setHostBaud(unsigned baud);
    void setPortInputs(Port port, std::uint8_t levels); // A (inputs only), C, D, E
    void setAnalog(int channel, std::uint8_t value);
    void setAnalogVolts(int channel, double volts, double vrh = 5.0, double vrl = 0.0);
    void setIrqLine(bool asserted);
    void setXirqLine(bool asserted);

    // --- looking (thread that runs the session) ---------------------------
    Snapshot snapshot();
    std::uint8_t peek(std::uint16_t address) const { return machine_->peek(address); }
    // Copies memory from `from` on (wrapping at $FFFF), without side effects.
    void peek(std::uint16_t from, std::span<std::uint8_t> out) const;
    // An edit while stopped: a register as the CPU would write it, any other
    // byte stored wherever the map puts it. False where nothing is mapped.
    bool poke(std::uint16_t address, std::uint8_t value);
    Registers& regs() { return machine_->regs(); }
    std::uint64_t cycles() const { return machine_->cycles(); }
    double seconds() const { return static_cast<double>(machine_->cycles()) / pacer_.eClock(); }

private:
    struct Inbox;

    void installHooks();
    void syncHooks();
    void rebuildTraps();
    bool storeSegment(const Segment& segment, std::string& error);
    void post(std::function<void()> action);
    void applyInputs();
    void endGoal();
    RunEnd translate(Halt halt) const;
    RunEnd runCore(std::uint64_t maxCycles, std::optional<Pacer::Clock::time_point> deadline,
                   RunCompanion* companion);
    RunEnd stepCore(std::uint64_t stopAt, std::optional<Pacer::Clock::time_point> deadline);

    Setup setup_;
    std::unique_ptr<Machine> machine_;
    std::vector<Segment> image_;
    std::optional<std::uint16_t> entry_, start_;

    bool realTime_ = false;
    bool stopOnIllegal_ = false, stopOnCopReset_ = false, stopOnTransmit_ = false;
    Feed feed_ = Feed::Line;
    unsigned hostBaud_ = 0;
    Pacer pacer_;
    bool paceAnchored_ = false;
    Machine::Connection pinsConnection_ = 0;
    bool endedByHook_ = false; // a hook of the session ended the slice

    Goal goal_ = Goal::Run;
    std::optional<std::uint16_t> tempBreak_; // RunTo's address, StepOver's return
    std::uint16_t goalSp_ = 0;

    std::vector<std::uint16_t> breakpoints_;
    Machine::AddressSet readWatches_{}, writeWatches_{}, memoryWatches_{};
    WatchHit lastWatch_;
    RunEnd hookEnd_ = RunEnd::Halted;

    std::unique_ptr<Inbox> inbox_;
};

} // namespace sim11
