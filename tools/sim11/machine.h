// A 68HC11 and the chip around it, counted in E cycles: the CPU, the memory
// map of the A1, E1 and E9 parts in their three modes, and the peripherals
// programs poll (SCI, timer, RTI, pulse accumulator, ports, A/D, COP,
// EEPROM programming), plus the bootstrap mode's loader. No I/O of its own:
// the host feeds the SCI and takes what it transmits.
#pragma once

#include <array>
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
enum class Halt { CycleLimit, Stop, Requested };

// How bytes from the host enter the receiver. Line: one per character time
// as on a wire, a byte arriving while RDRF is still set overruns. Paced: a
// typist at a terminal, who sends the next byte once the program has read the
// previous one and has then been silent for twenty character times (or after
// two thousand character times of output), so a scripted session is not lost in
// the middle of a banner.
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

    // Runs until `cycles()` reaches `limit`, a STOP instruction, or
    // requestHalt(). An instruction is never cut: the count may pass the limit.
    Halt run(std::uint64_t limit);
    // One instruction, or one interrupt entry, or one wait step.
    void step();
    void requestHalt() {
        haltRequested_ = true;
        attentionAt_ = 0;
    }

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
    // included; false where nothing is mapped.
    bool load(std::uint16_t address, std::uint8_t value);

    // Host side of the SCI.
    void sciFeed(std::uint8_t byte);
    void sciFeed(const std::string& bytes);
    std::size_t sciWaiting() const { return rxQueue_.size(); }
    void setFeed(Feed feed) { feed_ = feed; }
    std::function<void(std::uint8_t)> onTransmit;
    // E cycles per bit of the SCI at its current BAUD setting.
    std::uint32_t sciBitCycles() const;

    // Pins.
    void setIrqLine(bool asserted);
    void setXirqLine(bool asserted);
    void setPortAInputs(std::uint8_t levels);           // PA0-PA2 captures, PA7 pulse accumulator
    void setPortInputs(char port, std::uint8_t levels); // 'C', 'D', 'E'
    void setAnalog(int channel, std::uint8_t value);

    // Trace hook: called before each instruction.
    std::function<void(const TraceEntry&)> onTrace;

    // Where the current map puts the register block and RAM.
    std::uint16_t registerBase() const { return regBase_; }
    std::uint16_t ramBase() const { return ramBase_; }
    std::uint16_t ramSize() const { return static_cast<std::uint16_t>(ram_.size()); }

private:
    // --- memory map ---
    void rebuildMap();
    std::uint8_t slowRead(std::uint16_t address);
    void slowWrite(std::uint16_t address, std::uint8_t value);
    std::uint8_t readRegister(unsigned offset);
    std::uint8_t peekRegister(unsigned offset) const;
    void writeRegister(unsigned offset, std::uint8_t value);
    bool protectedWritable() const;
    bool eepromAddress(std::uint16_t address) const;
    void eepromWrite(std::uint16_t address, std::uint8_t value);
    void writePprog(std::uint8_t value);
    std::uint16_t vectorAddress(std::uint16_t normal) const;

    // --- time ---
    void service();  // due events, then the interrupt check
    void schedule(); // recomputes nextEvent_
    void wakeAttention() { attentionAt_ = 0; }
    bool takeInterrupt(); // true when one was taken
    void enterInterrupt(std::uint16_t vector, std::uint8_t setMask, unsigned cycles);
    void chipReset(std::uint16_t vector);

    // timer
    std::uint16_t tcntAt(std::uint64_t t) const;
    std::uint64_t whenTcntReaches(std::uint16_t value) const;
    void timerEvents();
    void outputCompare(int index);
    void setTimerPrescale(unsigned prescale);
    // pulse accumulator
    void syncPulseAccumulator();
    void paEdge(bool level);
    // SCI
    void sciService();
    void sciStartReceive();
    void sciTransferToShifter();
    unsigned sciFrameBits() const;
    // A/D
    void adStart();
    // loader
    void loaderStep();
    // ports
    std::uint8_t portAPins() const;
    void setPortAOutput(std::uint8_t bits, std::uint8_t mask);

    // --- CPU (cpu.cpp) ---
    template <bool Trace> Halt runLoop(std::uint64_t limit);
    void execute();
    void illegalOpcode(std::uint16_t at, bool prebyte);

    std::uint8_t rd(std::uint16_t a) {
        const std::uint8_t* p = readMap_[a >> 6];
        return p ? p[a & 63] : slowRead(a);
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
    std::uint64_t attentionAt_ = 0;
    std::uint64_t nextEvent_ = ~0ull;
    std::uint64_t resetAt_ = 0;
    bool haltRequested_ = false;
    bool stopHit_ = false;
    bool stopped_ = false;
    bool waiting_ = false;
    bool irqLine_ = false, xirqLine_ = false;
    bool irqEdge_ = false;

    // memory
    std::vector<std::uint8_t> ram_;
    std::vector<std::uint8_t> rom_; // internal ROM (E9), empty otherwise
    std::array<std::uint8_t, 512> eeprom_{};
    std::array<std::uint8_t, 192> bootRom_{}; // $BF40-$BFFF
    std::vector<std::uint8_t> external_;      // expanded mode: 64K of RAM on the bus
    std::array<std::uint8_t, 64> ffBlock_{};
    std::array<std::uint8_t, 64> sinkBlock_{};
    std::array<const std::uint8_t*, 1024> readMap_{};
    std::array<std::uint8_t*, 1024> writeMap_{};
    std::uint16_t regBase_ = 0x1000, ramBase_ = 0x0000;
    std::uint16_t romBase_ = 0;

    // registers kept as written
    std::array<std::uint8_t, 64> reg_{};
    std::uint8_t config_ = 0;     // CONFIG in force since reset
    std::uint8_t configNext_ = 0; // its EEPROM cell, for the next reset
    std::uint8_t tcntLowLatch_ = 0;
    std::uint8_t ticLowLatch_[3]{};

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
    std::uint64_t copAt_ = ~0ull;
    std::uint8_t copArm_ = 0; // $55 seen
    std::uint8_t portAOut_ = 0;
    std::uint8_t portAIn_ = 0;
    std::uint8_t portCIn_ = 0, portDIn_ = 0, portEIn_ = 0;
    std::array<std::uint8_t, 8> analog_{};
    // pulse accumulator (gated mode counts E/64 while the gate is open)
    std::uint64_t paSyncAt_ = 0;
    std::uint64_t paovAt_ = ~0ull;
    // A/D
    std::uint64_t adDoneAt_ = ~0ull;
    // SPI
    std::uint64_t spiDoneAt_ = ~0ull;

    // SCI
    Feed feed_ = Feed::Paced;
    std::deque<std::uint8_t> rxQueue_;
    std::uint64_t rxDoneAt_ = ~0ull;  // current incoming frame ends
    std::uint64_t rxIdleAt_ = ~0ull;  // IDLE rises if the line stays quiet
    std::uint64_t rxRetryAt_ = ~0ull; // a paced byte looks again for a pause
    std::uint64_t rxWaitSince_ = ~0ull;
    std::uint64_t txIdleSince_ = 0;
    std::uint64_t rxTakenAt_ = 0;
    std::uint8_t rxShift_ = 0;
    bool idleArmed_ = false;
    std::uint64_t txDoneAt_ = ~0ull; // shifter ends its frame
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
