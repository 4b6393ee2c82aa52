// The blocks of the 68HC11, one class each, one source file each. Every
// block owns its registers and its state; a neighbour asks it, never looks
// into it. Private to the machine's sources.
#pragma once

#include "block.h"

#include <array>
#include <deque>
#include <string>
#include <vector>

namespace sim11 {

// Which memory answers at each address, for the mode, CONFIG, INIT and the
// EEPROM latch: internal RAM, ROM, the boot ROM, the EEPROM, the external
// memory of expanded mode and the devices placed on it. Owns INIT.
class MemoryMap final : public Block {
public:
    MemoryMap(Machine& machine, const Variant& variant);
    void reset() override;
    std::uint8_t peek(unsigned offset) const override;
    void write(unsigned offset, std::uint8_t value) override;

    // Fills the bus's fetch and plain write maps; `devices` marks the
    // 64-byte blocks where a device sits on the external bus.
    void build(const std::array<std::uint8_t, 1024>& devices);
    // Accesses the maps send to the slow path (registers excluded).
    std::uint8_t peekAt(std::uint16_t address) const;
    void writeAt(std::uint16_t address, std::uint8_t value);
    bool external(std::uint16_t address) const; // the external bus answers here
    bool load(std::uint16_t address, std::uint8_t value);
    bool inRam(std::uint16_t address) const {
        return address >= ramBase() && address < ramBase() + ram_.size();
    }
    std::uint16_t ramSize() const { return static_cast<std::uint16_t>(ram_.size()); }

private:
    std::vector<std::uint8_t> ram_;
    std::vector<std::uint8_t> rom_;           // internal ROM, empty where the part has none
    std::vector<std::uint8_t> external_;      // expanded mode: 64K of RAM on the bus
    std::array<std::uint8_t, 192> bootRom_{}; // $BF40-$BFFF
    std::array<std::uint8_t, 64> ffBlock_{};
    std::array<std::uint8_t, 64> sinkBlock_{};
    std::uint16_t romBase_ = 0;
    std::uint8_t init_ = 0x01;
};

// Ports B, C, D and E, their directions and PIOC. Port A is the timer's.
class Ports final : public Block {
public:
    explicit Ports(Machine& machine);
    void reset() override;
    std::uint8_t peek(unsigned offset) const override;
    void write(unsigned offset, std::uint8_t value) override;

    std::uint8_t pins(Port port) const;    // B, C, D, E
    std::uint8_t outputs(Port port) const; // B, C, D, E
    void setInputs(Port port, std::uint8_t levels);

private:
    std::uint8_t pioc_ = 0x03, portB_ = 0, portC_ = 0, portCL_ = 0, ddrC_ = 0;
    std::uint8_t portD_ = 0, ddrD_ = 0;
    std::uint8_t inC_ = 0, inD_ = 0, inE_ = 0; // driven from outside
};

// The free-running counter and its prescaler, the input captures and output
// compares with the port A pins they use, the overflow, the real-time
// interrupt and the pulse accumulator on PA7.
class Timer final : public Block {
public:
    explicit Timer(Machine& machine);
    void reset() override;
    void event() override;
    std::uint8_t read(unsigned offset) override;
    std::uint8_t peek(unsigned offset) const override;
    void write(unsigned offset, std::uint8_t value) override;

    std::uint8_t portAPins() const;
    std::uint8_t portAOutputs() const;
    void setPortAInputs(std::uint8_t levels);
    // PA3 may read the XIRQ line (the evaluation board): it changed.
    void portAChanged(std::uint8_t before);
    // Interrupt flags that are enabled: TFLG1 & TMSK1, and TFLG2's top half
    // & TMSK2.
    std::uint8_t pending1() const { return tflg1_ & tmsk1_; }
    std::uint8_t pending2() const { return static_cast<std::uint8_t>(tflg2_ & tmsk2_ & 0xF0); }
    // The loader's compare: TOC1 set as its ROM sets it.
    std::uint8_t tmsk2() const { return tmsk2_; }

private:
    std::uint16_t tcntAt(std::uint64_t t) const;
    std::uint64_t whenTcntReaches(std::uint16_t value) const;
    std::uint16_t compareValue(int oc) const;
    void outputCompare(int index);
    void setPrescale(unsigned prescale);
    void syncPulseAccumulator();
    void paEdge(bool level);
    void setPortAOutput(std::uint8_t bits, std::uint8_t mask);
    void reschedule();

    unsigned prescale_ = 1;
    std::uint64_t epoch_ = 0; // a cycle at which TCNT was countAtEpoch_
    std::uint16_t countAtEpoch_ = 0;
    std::uint8_t tcntLowLatch_ = 0;
    std::array<std::uint8_t, 6> capture_{};  // TIC1-TIC3
    std::array<std::uint8_t, 10> compare_{}; // TOC1-TOC4, TI4O5
    std::uint8_t cforc_ = 0, oc1m_ = 0, oc1d_ = 0, tctl1_ = 0, tctl2_ = 0;
    std::uint8_t tmsk1_ = 0, tflg1_ = 0, tmsk2_ = 0, tflg2_ = 0, pactl_ = 0, pacnt_ = 0;
    std::array<std::uint64_t, 5> ocAt_{}; // next match of TOC1..TOC5
    std::uint64_t tofAt_ = 0;
    std::uint64_t rtiAt_ = 0;
    std::uint8_t portAOut_ = 0;
    std::uint8_t portAIn_ = 0;
    // pulse accumulator (gated mode counts E/64 while the gate is open)
    std::uint64_t paSyncAt_ = 0;
    std::uint64_t paovAt_ = never;
};

// The SCI: the transmitter (its preamble, TDR and shifter, TDRE and TC), the
// receiver (one frame per character time, RDRF, overrun, IDLE, framing
// errors), and its two lines: bytes from the far end enter the receiver as a
// wire carries them, or as a typist sends them when asked.
class Sci final : public Block {
public:
    explicit Sci(Machine& machine);
    void reset() override;
    void event() override;
    std::uint8_t read(unsigned offset) override;
    std::uint8_t peek(unsigned offset) const override;
    void write(unsigned offset, std::uint8_t value) override;

    bool interruptPending() const;
    std::uint32_t bitCycles() const;
    unsigned frameBits() const { return (sccr1_ & 0x10) ? 11 : 10; }

    // The receive line.
    void feed(std::uint8_t byte);
    void feed(const std::string& bytes);
    std::size_t waiting() const { return rxQueue_.size(); }
    void setFeed(Feed feed) { feed_ = feed; }
    Feed feedMode() const { return feed_; }
    void setHostBaud(unsigned baud, double eClockHz);
    // The state of the line, as an adapter on it sees it: a byte from the
    // far end queued or on its way in; when what it sent will all be in;
    // one of its bytes' time on the line, in E cycles.
    bool lineBusy() const { return !rxQueue_.empty() || rxDoneAt_ != never; }
    std::uint64_t lineFreeAt() const;
    std::uint64_t hostFrameCycles() const;
    // The transmit side: a byte written to SCDR waits for the one going
    // out; a byte is going out, or waits to.
    bool transmitPending() const { return tdrFull_; }
    bool transmitting() const { return txShiftBusy_ || tdrFull_; }

    // The boot ROM's break: a frame of zeros when the shifter is free.
    bool shifterBusy() const { return txShiftBusy_; }
    void sendBreak();
    // Power-on forgets when the line last spoke.
    void powerOn();

private:
    void startReceive();
    void transferToShifter();
    std::uint8_t sampled(std::uint8_t byte, bool& framingError) const;
    bool askedForInput() const;
    void reschedule();

    std::uint8_t baud_ = 0, sccr1_ = 0, sccr2_ = 0, scsr_ = 0;
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
};

// The SPI, as far as a master's transfer: nothing drives MISO, so every byte
// received is $FF, after the eight bit times of the chosen rate.
class Spi final : public Block {
public:
    explicit Spi(Machine& machine);
    void reset() override;
    void event() override;
    std::uint8_t read(unsigned offset) override;
    std::uint8_t peek(unsigned offset) const override;
    void write(unsigned offset, std::uint8_t value) override;
    bool interruptPending() const { return (spsr_ & 0x80) && (spcr_ & 0x80); }
    std::uint8_t spcr() const { return spcr_; }

private:
    std::uint8_t spcr_ = 0x04, spsr_ = 0, spdr_ = 0;
    std::uint64_t doneAt_ = never;
};

// The A/D converter: four conversions of 32 E cycles each from one channel or
// from four, results in ADR1-ADR4, CCF set when the four are done, again and
// again in continuous mode (SCAN).
class AtoD final : public Block {
public:
    explicit AtoD(Machine& machine);
    void reset() override;
    void event() override;
    std::uint8_t peek(unsigned offset) const override;
    void write(unsigned offset, std::uint8_t value) override;
    void setInput(int channel, std::uint8_t value);

private:
    std::uint8_t adctl_ = 0;
    std::array<std::uint8_t, 4> results_{};
    std::array<std::uint8_t, 8> inputs_{};
    std::uint64_t doneAt_ = never;
};

// The EEPROM and CONFIG: programming and erasing through PPROG with the
// latch, the time the cells take at the crystal's rate, block protection
// (BPROT), and CONFIG, an EEPROM cell that takes effect at the next reset.
class Eeprom final : public Block {
public:
    Eeprom(Machine& machine, const Variant& variant);
    void reset() override;
    std::uint8_t peek(unsigned offset) const override;
    void write(unsigned offset, std::uint8_t value) override;

    bool contains(std::uint16_t address) const {
        return (config_ & bits::EEON) && address >= 0xB600 && address < 0xB800;
    }
    bool latched() const { return latched_; }
    std::uint8_t config() const { return config_; }
    std::uint8_t cell(std::uint16_t address) const { return array_[address - 0xB600u]; }
    // What a read of the array gives: the cell, or while latched not the data.
    std::uint8_t read(std::uint16_t address) const;
    const std::uint8_t* row(unsigned block) const { return &array_[block * 64u]; }
    // A write of the CPU into the array: only a latched one counts.
    void arrayWrite(std::uint16_t address, std::uint8_t value);
    // A programmed part's contents, stored directly.
    void store(std::uint16_t address, std::uint8_t value) { array_[address - 0xB600u] = value; }
    void storeConfig(std::uint8_t value) { configNext_ = value; }
    std::uint8_t configCell() const { return configNext_; }
    void setEClock(double hertz) { eClockHz_ = hertz; }

private:
    void writePprog(std::uint8_t value);
    bool isProtected(std::uint16_t address) const;

    std::array<std::uint8_t, 512> array_{};
    std::uint8_t config_ = 0;     // CONFIG in force since reset
    std::uint8_t configNext_ = 0; // its EEPROM cell, for the next reset
    std::uint8_t bprot_ = 0, pprog_ = 0;
    bool latched_ = false;
    std::uint16_t address_ = 0;
    std::uint8_t data_ = 0;
    std::uint64_t programStart_ = 0;
    double eClockHz_ = 2'000'000.0;
};

// Resets, the COP watchdog, OPTION and HPRIO, the IRQ and XIRQ pins, and the
// choice and entry of the interrupt to take.
class Interrupts final : public Block {
public:
    explicit Interrupts(Machine& machine);
    void reset() override;
    void event() override; // the COP
    std::uint8_t peek(unsigned offset) const override;
    void write(unsigned offset, std::uint8_t value) override;

    bool takeInterrupt(); // true when one was taken
    void setIrq(bool asserted);
    void setXirq(bool asserted);
    bool irq() const { return irqLine_; }
    bool xirq() const { return xirqLine_; }
    bool xirqAsserted() const;
    void setOc5ToXirq(bool wired);
    bool oc5ToXirq() const { return oc5ToXirq_; }

private:
    void armCop();

    std::uint8_t option_ = 0x10, hprio_ = 0, test1_ = 0;
    std::uint64_t copAt_ = never;
    std::uint8_t copArm_ = 0; // $55 seen
    bool irqLine_ = false, xirqLine_ = false;
    bool irqEdge_ = false;
    bool oc5ToXirq_ = false;
};

// The bootstrap mode's loader, as the boot ROM runs it: a break on the SCI,
// the first byte choosing the rate (or the EEPROM), then bytes stored in RAM
// from $0000 and echoed, until 256 bytes (A1), or RAM full or four character
// times of silence (E parts); then a jump to $0000.
class Loader final : public Block {
public:
    Loader(Machine& machine, const Variant& variant);
    void reset() override;
    std::uint8_t peek(unsigned) const override { return 0; }
    void write(unsigned, std::uint8_t) override {}
    // One polling step of the ROM's loop, the CPU sitting at its entry.
    void step();

private:
    enum class State { Off, Start, Break, First, Loading };
    State state_ = State::Off;
    bool loadsRamFull_;
    std::uint64_t deadline_ = 0;
    std::uint32_t timeout_ = 0;
    std::uint16_t ptr_ = 0;
    bool echoPending_ = false;
    std::uint8_t echo_ = 0;
};

// The alarms of the parts outside the chip, on the last slot of the
// scheduler: served after the chip's own events. A reset of the chip keeps them.
class Alarms final : public Block {
public:
    explicit Alarms(Machine& machine) : Block(machine) { claimSlot(); }
    void reset() override { reschedule(); }
    void event() override;
    std::uint8_t peek(unsigned) const override { return 0; }
    void write(unsigned, std::uint8_t) override {}

    void add(Machine::Connection id, Machine::AlarmHandler handler);
    void set(Machine::Connection id, std::uint64_t at);
    void remove(Machine::Connection id);

private:
    void reschedule();
    struct Alarm {
        Machine::Connection id;
        Machine::AlarmHandler handler;
        std::uint64_t at;
    };
    std::vector<Alarm> alarms_;
};

} // namespace sim11
