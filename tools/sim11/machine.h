// A 68HC11 and the chip around it, counted in E cycles: the CPU, the memory
// map of the A1, E1 and E9 parts in their three modes, and the peripherals
// programs poll (SCI, timer, RTI, pulse accumulator, ports, A/D, COP,
// EEPROM programming), plus the bootstrap mode's loader. One source file per
// block of the chip; register_map.h says which block owns each register. No
// I/O of its own: the host feeds the SCI and takes what it transmits.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace sim11 {

enum class Chip { A1, E1, E9 };
enum class Mode { SingleChip, Expanded, Bootstrap };

struct Registers {
    std::uint8_t a = 0, b = 0;
    std::uint8_t ccr = 0xD0;
    std::uint16_t x = 0, y = 0, sp = 0, pc = 0;
    std::uint16_t d() const { return static_cast<std::uint16_t>(a << 8 | b); }
    void setD(std::uint16_t v) {
        a = static_cast<std::uint8_t>(v >> 8);
        b = static_cast<std::uint8_t>(v);
    }
};

namespace ccr {
inline constexpr std::uint8_t S = 0x80, X = 0x40, H = 0x20, I = 0x10, N = 0x08, Z = 0x04, V = 0x02,
                              C = 0x01;
}

// Why run() came back.
enum class Halt {
    CycleLimit,
    Stop,       // a STOP instruction
    Requested,  // requestHalt()
    Breakpoint, // PC on a breakpoint, its instruction not run
    Access,     // onAccess asked to stop after the instruction
    Illegal,    // an illegal opcode, PC on it (with setStopOnIllegal)
    CopReset,   // the COP reset the chip (with setStopOnCopReset)
    Returned,   // the RTS or RTI that setReturnWatch() waits for has run
    Ended,      // endRun() from a hook
};

enum class Port { A, B, C, D, E };

// How bytes from the host enter the receiver. Line: one per character time
// as on a wire, a byte arriving while RDRF is still set overruns. Paced: a
// typist at a terminal, who sends the next byte only while the program asks
// for input (it keeps polling the receiver, or has its interrupt enabled),
// once it has read the previous one and has been silent for twenty character
// times (or after two thousand character times of output), so a scripted
// session is lost neither in a banner nor in a long silent operation.
enum class Feed { Line, Paced };

// Interrupt vectors, as their address in the normal map.
namespace vector {
inline constexpr std::uint16_t SCI = 0xFFD6, SPI = 0xFFD8, PAI = 0xFFDA, PAOV = 0xFFDC,
                               TOF = 0xFFDE, TOC5 = 0xFFE0, TOC4 = 0xFFE2, TOC3 = 0xFFE4,
                               TOC2 = 0xFFE6, TOC1 = 0xFFE8, TIC3 = 0xFFEA, TIC2 = 0xFFEC,
                               TIC1 = 0xFFEE, RTI = 0xFFF0, IRQ = 0xFFF2, XIRQ = 0xFFF4,
                               SWI = 0xFFF6, ILLEGAL = 0xFFF8, COP = 0xFFFA, CLOCK = 0xFFFC,
                               RESET = 0xFFFE;
}

struct TraceEntry {
    std::uint16_t pc;
    Registers before;     // registers before the instruction
    std::uint64_t cycles; // E cycles elapsed before it
};

class Machine {
public:
    Machine(Chip chip = Chip::E9, Mode mode = Mode::SingleChip);
    // The memory map points into the machine's own arrays: no copies.
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    Chip chip() const { return chip_; }
    Mode mode() const { return mode_; }

    // Power-on reset: registers, peripherals and the map as the chip leaves
    // them; memory contents (RAM, EEPROM, ROM) are kept.
    void reset();
    // The same, with the cycle count from zero.
    void powerOn();
    // The RESET pin pulled low then released: a reset through the reset vector,
    // the cycle count going on.
    void pressReset() { chipReset(vector::RESET); }

    // Runs until `cycles()` reaches `limit`, a STOP instruction, or another
    // reason of Halt. An instruction is never cut: the count may pass the limit.
    Halt run(std::uint64_t limit);
    // One instruction, or one interrupt entry, or one wait step.
    Halt step();
    // Safe from any thread: the run ends at the next instruction boundary.
    void requestHalt() {
        haltRequested_.store(true, std::memory_order_relaxed);
        attentionAt_.store(0, std::memory_order_relaxed);
    }
    void cancelHalt() { haltRequested_.store(false, std::memory_order_relaxed); }
    bool haltRequested() const { return haltRequested_.load(std::memory_order_relaxed); }
    // From a hook on the running thread: the run ends with Halt::Ended once
    // the current instruction is done.
    void endRun() { end(Halt::Ended); }

    Registers& regs() { return r_; }
    const Registers& regs() const { return r_; }
    std::uint64_t cycles() const { return cycles_; }
    bool stopped() const { return stopped_; } // in STOP (S bit clear)
    bool waiting() const { return waiting_; } // in WAI

    // The bus as the CPU sees it (register side effects included).
    std::uint8_t read(std::uint16_t address);
    void write(std::uint16_t address, std::uint8_t value);
    // Without side effects, for the disassembler and the trace.
    std::uint8_t peek(std::uint16_t address) const;
    // Stores a byte of a program wherever the map puts it, ROM and EEPROM
    // included, and the CONFIG cell at $103F as a programmed part holds it
    // (in force from the next reset); false where nothing is mapped.
    bool load(std::uint16_t address, std::uint8_t value);

    // Breakpoints: run() stops before an instruction at a marked address,
    // except the one it starts on.
    void setBreakpoint(std::uint16_t address, bool on);
    bool breakpoint(std::uint16_t address) const {
        return (breaks_[address >> 6] >> (address & 63)) & 1;
    }
    void clearBreakpoints();
    // Ends the run with Halt::Returned after an RTS or RTI executed with SP at
    // or above `sp` (the routine that was running when SP was `sp` returns).
    void setReturnWatch(std::uint16_t sp) {
        returnWatch_ = true;
        returnSp_ = sp;
    }
    void clearReturnWatch() { returnWatch_ = false; }

    // Data accesses to marked addresses (instruction fetches excluded) are
    // reported to onAccess; it returns true to end the run after the
    // instruction (Halt::Access). Each set holds 65,536 bits.
    using AddressSet = std::array<std::uint64_t, 1024>;
    void setAccessTraps(const AddressSet& reads, const AddressSet& writes);
    std::function<bool(std::uint16_t address, std::uint8_t value, bool write)> onAccess;

    // What ends a run besides STOP: an illegal opcode (before it traps) and a
    // COP reset (after it). Off, the chip takes them as it would.
    void setStopOnIllegal(bool on) { stopOnIllegal_ = on; }
    void setStopOnCopReset(bool on) { stopOnCopReset_ = on; }

    // Host side of the SCI.
    void sciFeed(std::uint8_t byte);
    void sciFeed(const std::string& bytes);
    std::size_t sciWaiting() const { return rxQueue_.size(); }
    // A byte from the host queued or on its way into the receiver.
    bool sciLineBusy() const { return !rxQueue_.empty() || rxDoneAt_ != never; }
    // A byte written to SCDR waits for the one going out.
    bool sciTransmitPending() const { return tdrFull_; }
    // A byte is going out, or waits to.
    bool sciTransmitting() const { return txShiftBusy_ || tdrFull_; }
    // When the host's bytes already sent will all have arrived, on a wire.
    std::uint64_t sciLineFreeAt() const;
    // A host byte's time on the line, in E cycles.
    std::uint64_t sciHostFrameCycles() const { return sciHostFrame(); }
    void setFeed(Feed feed) { feed_ = feed; }
    Feed feed() const { return feed_; }
    // The host's rate; 0 follows the program's. At another rate each byte is
    // received as the chip samples it (a framing error when the stop bit is low).
    void setHostBaud(unsigned baud, double eClockHz = 2'000'000.0);
    std::function<void(std::uint8_t)> onTransmit;
    // E cycles per bit of the SCI at its current BAUD setting.
    std::uint32_t sciBitCycles() const;

    // Pins.
    void setIrqLine(bool asserted);
    void setXirqLine(bool asserted);
    void setPortAInputs(std::uint8_t levels);           // PA0-PA2 captures, PA7 pulse accumulator
    void setPortInputs(char port, std::uint8_t levels); // 'C', 'D', 'E'
    void setPortInputs(Port port, std::uint8_t levels); // A, C, D, E
    void setAnalog(int channel, std::uint8_t value);
    // OC5 (PA3) wired to XIRQ, as on the evaluation board.
    void setOc5ToXirq(bool wired);
    // The levels on a port's pins, and which of them the chip drives.
    std::uint8_t pins(Port port) const;
    std::uint8_t outputs(Port port) const;
    // Called when the levels of a port's pins change, whatever changed them.
    std::function<void(Port, std::uint8_t levels)> onPins;

    // Trace hook: called before each instruction.
    std::function<void(const TraceEntry&)> onTrace;

    // Where the current map puts the register block and RAM.
    std::uint16_t registerBase() const { return regBase_; }
    std::uint16_t ramBase() const { return ramBase_; }
    std::uint16_t ramSize() const { return static_cast<std::uint16_t>(ram_.size()); }

private:
    static constexpr std::uint64_t never = ~0ull;

    // --- memory map (memory_map.cpp) ---
    void rebuildMap();
    std::uint8_t slowRead(std::uint16_t address);
    void slowWrite(std::uint16_t address, std::uint8_t value);
    std::uint8_t slowFetch(std::uint16_t address);
    void trapped(std::uint16_t address, std::uint8_t value, bool write);
    std::uint16_t vectorAddress(std::uint16_t normal) const;
    bool protectedWritable() const;
    void writeInit(std::uint8_t value);

    // --- registers, dispatched by the block that owns them (registers.cpp) ---
    std::uint8_t readRegister(unsigned offset);
    std::uint8_t peekRegister(unsigned offset) const;
    void writeRegister(unsigned offset, std::uint8_t value);

    // --- EEPROM and CONFIG (eeprom.cpp) ---
    bool eepromAddress(std::uint16_t address) const;
    void eepromWrite(std::uint16_t address, std::uint8_t value);
    void eepromRegisterWrite(unsigned offset, std::uint8_t value);
    void writePprog(std::uint8_t value);

    // --- time and interrupts (interrupts.cpp) ---
    void service();  // due events, then the interrupt check
    void schedule(); // recomputes nextEvent_
    void wakeAttention() { attentionAt_.store(0, std::memory_order_relaxed); }
    void lowerAttention(std::uint64_t at);
    bool takeInterrupt(); // true when one was taken
    void enterInterrupt(std::uint16_t vector, std::uint8_t setMask, unsigned cycles);
    void chipReset(std::uint16_t vector);
    void interruptsRegisterWrite(unsigned offset, std::uint8_t value);
    bool xirqAsserted() const;
    void end(Halt why) {
        ended_ = true;
        endReason_ = why;
        wakeAttention();
    }

    // --- timer, port A and pulse accumulator (timer.cpp) ---
    std::uint8_t timerRead(unsigned offset);
    void timerWrite(unsigned offset, std::uint8_t value);
    std::uint16_t tcntAt(std::uint64_t t) const;
    std::uint64_t whenTcntReaches(std::uint16_t value) const;
    void timerEvents();
    void outputCompare(int index);
    void setTimerPrescale(unsigned prescale);
    void syncPulseAccumulator();
    void paEdge(bool level);
    std::uint8_t portAPins() const;
    std::uint8_t portAOutputs() const;
    void setPortAOutput(std::uint8_t bits, std::uint8_t mask);
    void portAChanged(std::uint8_t before);

    // --- parallel ports (ports.cpp) ---
    void portsWrite(unsigned offset, std::uint8_t value);
    void pinsMayHaveChanged();

    // --- SCI (sci.cpp) ---
    std::uint8_t sciRead(unsigned offset);
    void sciWrite(unsigned offset, std::uint8_t value);
    void sciService();
    void sciStartReceive();
    void sciTransferToShifter();
    unsigned sciFrameBits() const;
    std::uint64_t sciHostFrame() const;
    std::uint8_t sciSampled(std::uint8_t byte, bool& framingError) const;
    bool sciAskedForInput() const;

    // --- SPI (spi.cpp) ---
    std::uint8_t spiRead(unsigned offset);
    void spiWrite(unsigned offset, std::uint8_t value);

    // --- A/D (ad.cpp) ---
    void adWrite(unsigned offset, std::uint8_t value);
    void adStart();
    void adService();

    // --- bootstrap loader (loader.cpp) ---
    void loaderStep();

    // --- CPU (cpu.cpp) ---
    template <unsigned Features> Halt runLoop(std::uint64_t limit);
    Halt runAny(std::uint64_t limit);
    void execute();
    void illegalOpcode(std::uint16_t at, bool prebyte);

    std::uint8_t rd(std::uint16_t a) {
        const std::uint8_t* p = readMap_[a >> 6];
        return p ? p[a & 63] : slowRead(a);
    }
    std::uint8_t fetchByte(std::uint16_t a) {
        const std::uint8_t* p = fetchMap_[a >> 6];
        return p ? p[a & 63] : slowFetch(a);
    }
    void wr(std::uint16_t a, std::uint8_t v) {
        std::uint8_t* p = writeMap_[a >> 6];
        if (p)
            p[a & 63] = v;
        else
            slowWrite(a, v);
    }

    Chip chip_;
    Mode mode_;
    Registers r_;
    std::uint64_t cycles_ = 0;
    // The run loop looks up from its instructions when the count reaches this:
    // events, interrupts, halts. Another thread may set it to zero.
    std::atomic<std::uint64_t> attentionAt_{0};
    std::uint64_t nextEvent_ = never;
    std::uint64_t resetAt_ = 0;
    std::atomic<bool> haltRequested_{false};
    bool ended_ = false;
    Halt endReason_ = Halt::Stop;
    bool stopped_ = false;
    bool waiting_ = false;
    bool irqLine_ = false, xirqLine_ = false;
    bool irqEdge_ = false;
    bool oc5ToXirq_ = false;
    bool stopOnIllegal_ = false, stopOnCopReset_ = false;

    // debugging
    AddressSet breaks_{};
    std::array<std::uint8_t, 1024> breakBlocks_{}; // a breakpoint in the block
    unsigned breakCount_ = 0;
    bool returnWatch_ = false;
    std::uint16_t returnSp_ = 0;
    AddressSet readTraps_{}, writeTraps_{};
    bool anyTraps_ = false;

    // memory
    std::vector<std::uint8_t> ram_;
    std::vector<std::uint8_t> rom_; // internal ROM (E9), empty otherwise
    std::array<std::uint8_t, 512> eeprom_{};
    std::array<std::uint8_t, 192> bootRom_{}; // $BF40-$BFFF
    std::vector<std::uint8_t> external_;      // expanded mode: 64K of RAM on the bus
    std::array<std::uint8_t, 64> ffBlock_{};
    std::array<std::uint8_t, 64> sinkBlock_{};
    // 64-byte blocks; null sends the access to the slow path. Fetches use
    // their own map so that data traps leave instruction fetches alone.
    std::array<const std::uint8_t*, 1024> fetchMap_{};
    std::array<const std::uint8_t*, 1024> readMap_{};
    std::array<std::uint8_t*, 1024> writeMap_{};
    std::array<std::uint8_t*, 1024> plainWriteMap_{}; // writeMap_ before traps
    std::uint16_t regBase_ = 0x1000, ramBase_ = 0x0000;

    // registers kept as written
    std::array<std::uint8_t, 64> reg_{};
    std::uint8_t config_ = 0;     // CONFIG in force since reset
    std::uint8_t configNext_ = 0; // its EEPROM cell, for the next reset
    std::uint8_t tcntLowLatch_ = 0;

    // EEPROM programming
    bool eeLatched_ = false;
    std::uint16_t eeAddress_ = 0;
    std::uint8_t eeData_ = 0;
    std::uint64_t eeProgramStart_ = 0;

    // timer
    unsigned prescale_ = 1;
    std::uint64_t timerEpoch_ = 0; // a cycle at which TCNT was tcntAtEpoch_
    std::uint16_t tcntAtEpoch_ = 0;
    std::uint64_t ocAt_[5]{}; // next match of TOC1..TOC5
    std::uint64_t tofAt_ = 0;
    std::uint64_t rtiAt_ = 0;
    std::uint64_t copAt_ = never;
    std::uint8_t copArm_ = 0; // $55 seen
    std::uint8_t portAOut_ = 0;
    std::uint8_t portAIn_ = 0;
    std::uint8_t portCIn_ = 0, portDIn_ = 0, portEIn_ = 0;
    std::array<std::uint8_t, 5> pinsSeen_{}; // levels last reported to onPins
    std::array<std::uint8_t, 8> analog_{};
    // pulse accumulator (gated mode counts E/64 while the gate is open)
    std::uint64_t paSyncAt_ = 0;
    std::uint64_t paovAt_ = never;
    // A/D
    std::uint64_t adDoneAt_ = never;
    // SPI
    std::uint64_t spiDoneAt_ = never;

    // SCI
    Feed feed_ = Feed::Paced;
    unsigned hostBaud_ = 0;
    double eClockHz_ = 2'000'000.0;
    std::deque<std::uint8_t> rxQueue_;
    std::uint64_t rxDoneAt_ = never;  // current incoming frame ends
    std::uint64_t rxIdleAt_ = never;  // IDLE rises if the line stays quiet
    std::uint64_t rxRetryAt_ = never; // a paced byte looks again for a pause
    std::uint64_t rxWaitSince_ = never;
    std::uint64_t txIdleSince_ = 0;
    std::uint64_t rxTakenAt_ = 0;
    std::array<std::uint64_t, 4> rxPolls_{}; // the last empty polls of SCSR
    unsigned rxPollNext_ = 0;
    std::uint8_t rxShift_ = 0;
    bool idleArmed_ = false;
    std::uint64_t txDoneAt_ = never; // shifter ends its frame
    bool txShiftBusy_ = false, txShiftData_ = false;
    std::uint8_t txShift_ = 0;
    bool tdrFull_ = false;
    std::uint8_t tdr_ = 0, rdr_ = 0;
    std::uint8_t scsrSeen_ = 0; // flags set at the last SCSR read

    // bootstrap loader
    enum class Loader { Off, Start, Break, First, Loading } loader_ = Loader::Off;
    std::uint64_t loaderDeadline_ = 0;
    std::uint32_t loaderTimeout_ = 0;
    std::uint16_t loaderPtr_ = 0;
    bool loaderEchoPending_ = false;
    std::uint8_t loaderEcho_ = 0;
};

const char* chipName(Chip chip);

} // namespace sim11
