// A 68HC11 counted in E cycles, built as the chip is: a CPU on a bus, and
// blocks that each own their registers and their state (memory map, ports,
// timer with port A and the pulse accumulator, SCI, SPI, A/D, EEPROM and
// CONFIG, interrupts, the bootstrap loader). A variant of the chip (A1, E1,
// E9) is a list of blocks and a memory map (variant.cpp). Each block claims
// its offsets in the register table and keeps one slot on the cycle
// scheduler; the machine itself holds only the CPU, the bus and the time.
//
// The outside of the chip connects through its lines, each event stamped
// with the chip's cycle: the pins of the five ports (outputs seen, inputs
// driven), IRQ, XIRQ and RESET, the SCI's transmitted and received bytes
// framed at the line's speed, and in expanded mode the address ranges where
// a device answers on the bus. Nothing pays for a line nobody connected.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
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

// The chip's control inputs, asserted low on the part.
enum class Signal { Irq, Xirq, Reset };

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

// A device outside the chip on the expanded-mode bus (an LCD at $B5F0, say):
// it answers the CPU's reads and writes of its range, at the cycle the
// instruction makes them.
class BusDevice {
public:
    virtual ~BusDevice() = default;
    virtual std::uint8_t read(std::uint16_t address, std::uint64_t cycle) = 0;
    virtual void write(std::uint16_t address, std::uint8_t value, std::uint64_t cycle) = 0;
    // What a read would give, without its side effects (the memory pane).
    virtual std::uint8_t peek(std::uint16_t address) const = 0;
    // A program's byte stored at `address` as Machine::load() stores it (a
    // ROM takes it, as if burnt). False: there is no memory there to hold it.
    virtual bool load(std::uint16_t address, std::uint8_t value) {
        (void)address;
        (void)value;
        return false;
    }
};

class Block;
class MemoryMap;
class Ports;
class Timer;
class Sci;
class Spi;
class AtoD;
class Eeprom;
class Interrupts;
class Loader;
class Alarms;
struct Variant;

class Machine {
public:
    Machine(Chip chip = Chip::E9, Mode mode = Mode::SingleChip);
    ~Machine();
    // The memory map points into the blocks' own arrays: no copies.
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
    void pressReset();

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
    // The CONFIG cell as programmed: what CONFIG becomes at the next reset.
    std::uint8_t configCell() const;

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

    // Trace hook: called before each instruction.
    std::function<void(const TraceEntry&)> onTrace;

    // --- lines -------------------------------------------------------------
    // A watcher stays connected until disconnect() with the number it got.
    using Connection = std::uint32_t;

    // The pins of the ports. A watcher hears every change of a port's levels,
    // whatever changed them, as it happens: one that drives input pins from
    // what it hears (a keypad's rows from its columns) gives the program the
    // level it reads on the board, in the same cycle.
    using PinsWatcher = std::function<void(Port, std::uint8_t levels, std::uint64_t cycle)>;
    Connection connectPins(PinsWatcher watcher);
    // Levels driven from outside; only the pins the chip does not drive read
    // them. Port A: PA0-PA2 captures, PA7 the pulse accumulator; B is output.
    void setPortInputs(Port port, std::uint8_t levels);
    void setPortAInputs(std::uint8_t levels) { setPortInputs(Port::A, levels); }
    std::uint8_t pins(Port port) const;    // the levels on a port's pins
    std::uint8_t outputs(Port port) const; // the pins the chip drives
    void setAnalog(int channel, std::uint8_t value);

    // IRQ, XIRQ and RESET (true: pulled low). RESET held keeps the chip in
    // reset; it starts from the reset vector when released.
    void setSignal(Signal signal, bool asserted);
    bool signal(Signal signal) const;
    void setIrqLine(bool asserted) { setSignal(Signal::Irq, asserted); }
    void setXirqLine(bool asserted) { setSignal(Signal::Xirq, asserted); }
    // OC5 (PA3) wired to XIRQ, as on the evaluation board.
    void setOc5ToXirq(bool wired);

    // The SCI's transmit line: each byte at the end of its frame.
    using ByteWatcher = std::function<void(std::uint8_t byte, std::uint64_t cycle)>;
    Connection connectTransmit(ByteWatcher watcher);
    // Its receive line: bytes queued by the far end, framed at its rate.
    void sciFeed(std::uint8_t byte);
    void sciFeed(const std::string& bytes);
    std::size_t sciWaiting() const; // queued, not yet on their way in
    void setFeed(Feed feed);
    Feed feed() const;
    // The far end's rate; 0 follows the program's. At another rate each byte
    // is received as the chip samples it (a framing error when the stop bit
    // is low).
    void setHostBaud(unsigned baud, double eClockHz = 2'000'000.0);
    // E cycles per bit of the SCI at its current BAUD setting.
    std::uint32_t sciBitCycles() const;

    // In expanded mode, `device` answers every access from `from` to `to`
    // (both included) instead of the external memory, until disconnect().
    // 0 in another mode, or where the range covers the registers or the
    // internal RAM.
    Connection attachDevice(std::uint16_t from, std::uint16_t to, BusDevice& device);

    // A part outside the chip that acts at a time of its own (a key's contact
    // bouncing): its handler is called once the count reaches the time set by
    // setAlarm(), between two instructions, with the cycle of the call. A new
    // time replaces the one set before; `never` cancels it. Resets of the
    // chip leave the alarms alone.
    using AlarmHandler = std::function<void(std::uint64_t cycle)>;
    Connection connectAlarm(AlarmHandler handler);
    void setAlarm(Connection alarm, std::uint64_t at);
    static constexpr std::uint64_t never = ~0ull;

    void disconnect(Connection connection);

    // Where the current map puts the register block and RAM.
    std::uint16_t registerBase() const { return regBase_; }
    std::uint16_t ramBase() const { return ramBase_; }
    std::uint16_t ramSize() const;

    // The blocks, for the library's own parts (the host adapter on the SCI).
    Sci& sci() { return *sci_; }
    const Sci& sci() const { return *sci_; }

private:
    friend class Block;
    friend class Alarms;

    // --- the bus (machine.cpp) ---
    std::uint8_t slowRead(std::uint16_t address);
    void slowWrite(std::uint16_t address, std::uint8_t value);
    std::uint8_t slowFetch(std::uint16_t address);
    void trapped(std::uint16_t address, std::uint8_t value, bool write);
    void rebuildMap();
    std::uint8_t readRegister(unsigned offset);
    std::uint8_t peekRegister(unsigned offset) const;
    void writeRegister(unsigned offset, std::uint8_t value);
    BusDevice* deviceAt(std::uint16_t address) const;

    // --- time, lines and resets (machine.cpp) ---
    void service(); // due events of every block, in the chip's order
    void schedule(unsigned slot, std::uint64_t at);
    void wakeAttention() { attentionAt_.store(0, std::memory_order_relaxed); }
    void lowerAttention(std::uint64_t at);
    void chipReset(std::uint16_t vector);
    void enterInterrupt(std::uint16_t vector, std::uint8_t setMask, unsigned cycles);
    std::uint16_t vectorAddress(std::uint16_t normal) const;
    bool protectedWritable() const;
    void pinsMayHaveChanged();
    void transmitted(std::uint8_t byte);
    void end(Halt why) {
        ended_ = true;
        endReason_ = why;
        wakeAttention();
    }

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
    const Variant* variant_;

    // the CPU and its time
    Registers r_;
    std::uint64_t cycles_ = 0;
    // The run loop looks up from its instructions when the count reaches this:
    // events, interrupts, halts. Another thread may set it to zero.
    std::atomic<std::uint64_t> attentionAt_{0};
    std::uint64_t resetAt_ = 0;
    std::atomic<bool> haltRequested_{false};
    bool ended_ = false;
    Halt endReason_ = Halt::Stop;
    bool stopped_ = false;
    bool waiting_ = false;
    bool resetHeld_ = false;
    bool stopOnIllegal_ = false, stopOnCopReset_ = false;

    // the cycle scheduler: one slot per timed block, served in their order
    static constexpr unsigned maxSlots = 8;
    std::array<std::uint64_t, maxSlots> due_{};
    std::array<Block*, maxSlots> timed_{};
    unsigned slots_ = 0;
    std::uint64_t nextEvent_ = never;

    // debugging
    AddressSet breaks_{};
    std::array<std::uint8_t, 1024> breakBlocks_{}; // a breakpoint in the block
    unsigned breakCount_ = 0;
    bool returnWatch_ = false;
    std::uint16_t returnSp_ = 0;
    AddressSet readTraps_{}, writeTraps_{};
    bool anyTraps_ = false;

    // the bus: 64-byte blocks; null sends the access to the slow path.
    // Fetches use their own map so that data traps leave instruction fetches
    // alone. The memory map block fills fetchMap_ and plainWriteMap_.
    std::array<const std::uint8_t*, 1024> fetchMap_{};
    std::array<const std::uint8_t*, 1024> readMap_{};
    std::array<std::uint8_t*, 1024> writeMap_{};
    std::array<std::uint8_t*, 1024> plainWriteMap_{}; // writeMap_ before traps
    std::uint16_t regBase_ = 0x1000, ramBase_ = 0x0000;
    std::array<Block*, 64> registerOwner_{};
    struct Device {
        std::uint16_t from, to;
        BusDevice* device;
        Connection id;
    };
    std::vector<Device> devices_;
    std::array<std::uint8_t, 1024> deviceBlocks_{}; // a device answers in the block

    // the lines' watchers
    struct PinsConnection {
        Connection id;
        PinsWatcher watcher;
    };
    struct ByteConnection {
        Connection id;
        ByteWatcher watcher;
    };
    std::vector<PinsConnection> pinWatchers_;
    std::vector<ByteConnection> transmitWatchers_;
    Connection nextConnection_ = 1;
    std::array<std::uint8_t, 5> pinsSeen_{}; // levels last reported

    // the blocks, in the order the chip serves their events
    std::vector<std::unique_ptr<Block>> blocks_;
    MemoryMap* map_ = nullptr;
    Ports* ports_ = nullptr;
    Timer* timer_ = nullptr;
    Sci* sci_ = nullptr;
    Spi* spi_ = nullptr;
    AtoD* ad_ = nullptr;
    Eeprom* eeprom_ = nullptr;
    Interrupts* interrupts_ = nullptr;
    Loader* loader_ = nullptr;
    Alarms* alarms_ = nullptr;
};

const char* chipName(Chip chip);

} // namespace sim11
