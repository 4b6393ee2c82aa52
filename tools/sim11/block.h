// A block of the chip: it owns its registers and its state, claims its
// offsets in the register table and, when it has timed events, one slot on
// the cycle scheduler. What a block may ask of the machine (the time, the
// CPU's registers for the loader, the bus, its neighbours) goes through the
// helpers below. Private to the machine's sources.
#pragma once

#include "sim11/machine.h"

#include "chip_bits.h"
#include "variant.h"

namespace sim11 {

class Block {
public:
    explicit Block(Machine& machine) : m_(machine) {}
    virtual ~Block() = default;
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

    // The chip's reset: the block's registers and state as the part leaves
    // them (memories keep their contents).
    virtual void reset() {}
    // Its slot's time has come.
    virtual void event() {}
    // Its registers; offsets are those of the register block (0-63).
    virtual std::uint8_t read(unsigned offset) { return peek(offset); }
    virtual std::uint8_t peek(unsigned offset) const = 0;
    virtual void write(unsigned offset, std::uint8_t value) = 0;

protected:
    static constexpr std::uint64_t never = ~0ull;

    Machine& machine() { return m_; }
    const Machine& machine() const { return m_; }
    const Variant& variant() const;
    Mode mode() const { return m_.mode_; }

    // Time.
    std::uint64_t now() const { return m_.cycles_; }
    // Moves the clock (the loader's own loops; an event dated in the past).
    void setNow(std::uint64_t cycles) { m_.cycles_ = cycles; }
    void spend(unsigned cycles) { m_.cycles_ += cycles; }
    std::uint64_t sinceReset() const { return m_.cycles_ - m_.resetAt_; }
    std::uint64_t resetAt() const { return m_.resetAt_; }
    // The writes only allowed just after reset or in a special mode.
    bool protectedWritable() const { return m_.protectedWritable(); }
    // The run loop looks up at the next instruction (an interrupt flag rose).
    void wake() { m_.wakeAttention(); }
    // This block's one slot on the scheduler.
    void claimSlot() {
        slot_ = m_.slots_++;
        m_.timed_[slot_] = this;
    }
    void schedule(std::uint64_t at) { m_.schedule(slot_, at); }
    void end(Halt why) { m_.end(why); }

    // The register table.
    void claim(unsigned offset) { m_.registerOwner_[offset] = this; }
    std::uint8_t readRegister(unsigned offset) { return m_.readRegister(offset); }
    void writeRegister(unsigned offset, std::uint8_t value) { m_.writeRegister(offset, value); }

    // The CPU, for the blocks that act as it would (the loader, the resets).
    Registers& cpu() { return m_.r_; }
    bool& stoppedFlag() { return m_.stopped_; }
    void busWrite(std::uint16_t address, std::uint8_t value) { m_.wr(address, value); }
    void rebuildMap() { m_.rebuildMap(); }
    std::uint16_t registerBase() const { return m_.regBase_; }
    std::uint16_t ramBase() const { return m_.ramBase_; }
    void setBases(std::uint16_t registers, std::uint16_t ram) {
        m_.regBase_ = registers;
        m_.ramBase_ = ram;
    }
    void enterInterrupt(std::uint16_t vec, std::uint8_t setMask, unsigned cycles) {
        m_.enterInterrupt(vec, setMask, cycles);
    }
    void chipReset(std::uint16_t vec) { m_.chipReset(vec); }
    bool stopOnCopReset() const { return m_.stopOnCopReset_; }

    // The lines.
    bool pinsWatched() const { return !m_.pinWatchers_.empty(); }
    void pinsMayHaveChanged() { m_.pinsMayHaveChanged(); }
    void transmitted(std::uint8_t byte) { m_.transmitted(byte); }

    // The bus's maps, for the memory map block.
    std::array<const std::uint8_t*, 1024>& fetchMap() { return m_.fetchMap_; }
    std::array<std::uint8_t*, 1024>& plainWriteMap() { return m_.plainWriteMap_; }

    // The neighbours.
    MemoryMap& memoryMap() { return *m_.map_; }
    const MemoryMap& memoryMap() const { return *m_.map_; }
    Ports& ports() { return *m_.ports_; }
    const Ports& ports() const { return *m_.ports_; }
    Timer& timer() { return *m_.timer_; }
    const Timer& timer() const { return *m_.timer_; }
    Sci& sci() { return *m_.sci_; }
    const Sci& sci() const { return *m_.sci_; }
    Spi& spi() { return *m_.spi_; }
    AtoD& ad() { return *m_.ad_; }
    Eeprom& eeprom() { return *m_.eeprom_; }
    const Eeprom& eeprom() const { return *m_.eeprom_; }
    Interrupts& interrupts() { return *m_.interrupts_; }
    const Interrupts& interrupts() const { return *m_.interrupts_; }

private:
    Machine& m_;
    unsigned slot_ = 0;
};

// Registers nobody claims: kept as written, read back. Built first, it
// claims every offset; the blocks built after it take theirs back.
class Reserved final : public Block {
public:
    explicit Reserved(Machine& machine) : Block(machine) {
        for (unsigned offset = 0; offset < 64; ++offset)
            claim(offset);
    }
    void reset() override { values_.fill(0); }
    std::uint8_t peek(unsigned offset) const override { return values_[offset]; }
    void write(unsigned offset, std::uint8_t value) override { values_[offset] = value; }

private:
    std::array<std::uint8_t, 64> values_{};
};

} // namespace sim11
