#include "simulation/chip_memory.h"

#include <cmath>
#include <vector>

#include "common/hex_text.h"
#include "sim11/register_map.h"
#include "simulation/simulation_texts.h"

namespace kavrel::simulation {

namespace {

// PPROG's bits.
constexpr std::uint8_t kByte = 0x10, kErase = 0x04, kLatch = 0x02, kProgram = 0x01;
// BPROT: the four blocks of the EEPROM, and CONFIG (PTCON).
constexpr std::uint8_t kConfigProtect = 0x10;
// CCR's interrupt masks.
constexpr std::uint8_t kMasks = sim11::ccr::I | sim11::ccr::X;
// The loop the chip spends the programming time in: BRA *.
constexpr std::uint8_t kLoop[2] = {0x20, 0xFE};
// Cycles between two services of the COP while it waits.
constexpr std::uint64_t kCopService = 2000;

std::string fill(const char* text, const std::string& a, const std::string& b = {}) {
    std::string out = text;
    if (const auto at = out.find("%1"); at != std::string::npos)
        out.replace(at, 2, a);
    if (const auto at = out.find("%2"); at != std::string::npos)
        out.replace(at, 2, b);
    return out;
}

// The BPROT bit that guards an address of the EEPROM.
std::uint8_t blockBit(std::uint16_t address) {
    const unsigned offset = address - kEepromFirst;
    return offset < 0x20 ? 0x01 : offset < 0x60 ? 0x02 : offset < 0xE0 ? 0x04 : 0x08;
}

class ChipAccess {
public:
    ChipAccess(sim11::Machine& machine, double eClockHz)
        : m_(machine), base_(machine.registerBase()),
          cycles_(static_cast<std::uint64_t>(std::ceil(programSeconds(eClockHz) * eClockHz)) + 1) {}

    std::uint8_t peek(unsigned offset) const {
        return m_.peek(static_cast<std::uint16_t>(base_ + offset));
    }
    void write(unsigned offset, std::uint8_t value) {
        m_.write(static_cast<std::uint16_t>(base_ + offset), value);
    }

    // BPROT cleared (the chip takes it in the special modes or just after
    // a reset); false when the bits asked for stay set.
    bool unprotect(std::uint8_t bits) {
        write(sim11::reg::BPROT, 0);
        return (peek(sim11::reg::BPROT) & bits) == 0;
    }

    // One erase or programming: the latch, the address and data, EEPGM for
    // the programming time, then off.
    bool cycle(std::uint8_t mode, std::uint16_t address, std::uint8_t value) {
        write(sim11::reg::PPROG, static_cast<std::uint8_t>(mode | kLatch));
        m_.write(address, value);
        write(sim11::reg::PPROG, static_cast<std::uint8_t>(mode | kLatch | kProgram));
        const bool waited = wait();
        write(sim11::reg::PPROG, static_cast<std::uint8_t>(mode | kLatch));
        write(sim11::reg::PPROG, 0);
        return waited;
    }

private:
    // The programming time spent on the chip, in a loop of its RAM.
    bool wait() {
        const std::uint16_t at = m_.ramBase();
        const sim11::Registers saved = m_.regs();
        const std::uint8_t kept[2] = {m_.peek(at), m_.peek(static_cast<std::uint16_t>(at + 1))};
        const bool marked = m_.breakpoint(at);
        m_.setBreakpoint(at, false);
        m_.load(at, kLoop[0]);
        m_.load(static_cast<std::uint16_t>(at + 1), kLoop[1]);
        m_.regs().pc = at;
        m_.regs().ccr = static_cast<std::uint8_t>(m_.regs().ccr | kMasks);
        m_.cancelHalt();
        const std::uint64_t until = m_.cycles() + cycles_;
        bool ok = true;
        while (m_.cycles() < until) {
            const sim11::Halt halt = m_.run(std::min(until, m_.cycles() + kCopService));
            if (halt != sim11::Halt::CycleLimit) {
                ok = false;
                break;
            }
            write(sim11::reg::COPRST, 0x55);
            write(sim11::reg::COPRST, 0xAA);
        }
        m_.load(at, kept[0]);
        m_.load(static_cast<std::uint16_t>(at + 1), kept[1]);
        m_.setBreakpoint(at, marked);
        m_.regs() = saved;
        return ok;
    }

    sim11::Machine& m_;
    std::uint16_t base_;
    std::uint64_t cycles_;
};

} // namespace

ChipWrite programEepromBytes(sim11::Machine& machine, double eClockHz, std::uint16_t address,
                             std::span<const std::uint8_t> bytes,
                             const std::function<void(std::size_t, std::size_t)>& progress) {
    ChipAccess chip(machine, eClockHz);
    if (!(chip.peek(sim11::reg::CONFIG) & 0x01))
        return {false, texts::kEepromOff};
    for (std::size_t k = 0; k < bytes.size(); ++k) {
        const auto at = static_cast<std::uint16_t>(address + k);
        const std::uint8_t value = bytes[k];
        if (!inEeprom(at))
            return {false, fill(texts::kNotEeprom, hex::word(at))};
        if (!chip.unprotect(blockBit(at)))
            return {false, fill(texts::kEepromProtected, hex::word(at))};
        const std::uint8_t old = machine.peek(at);
        // Programming only clears bits: a 1 wanted where there is a 0 needs the erase first.
        if ((old & value) != value && !chip.cycle(kByte | kErase, at, 0xFF))
            return {false, fill(texts::kEepromInterrupted, hex::word(at))};
        if (value != 0xFF && old != value && !chip.cycle(0, at, value))
            return {false, fill(texts::kEepromInterrupted, hex::word(at))};
        const std::uint8_t read = machine.peek(at);
        if (read != value)
            return {false, fill(texts::kEepromVerifyFailed, hex::word(at),
                                hex::byte(value) + " / " + hex::byte(read))};
        if (progress)
            progress(k + 1, bytes.size());
    }
    return {true, fill(texts::kEepromProgrammed, std::to_string(bytes.size()), hex::word(address))};
}

ChipWrite programConfigCell(sim11::Machine& machine, double eClockHz, std::uint8_t value) {
    ChipAccess chip(machine, eClockHz);
    std::uint8_t configCell = machine.configCell();
    if (!chip.unprotect(kConfigProtect))
        return {false, texts::kConfigProtected};
    const auto config = static_cast<std::uint16_t>(machine.registerBase() + sim11::reg::CONFIG);
    std::string erased;
    std::vector<std::uint8_t> array;
    const bool bulk = (configCell & value) != value && machine.chip() == sim11::Chip::A1;
    if ((configCell & value) != value) {
        // The A parts have no byte erase for CONFIG: a bulk erase takes it
        // with the whole EEPROM, whose bytes are programmed again after.
        if (bulk)
            for (unsigned a = kEepromFirst; a <= kEepromLast; ++a)
                array.push_back(machine.peek(static_cast<std::uint16_t>(a)));
        if (!chip.cycle(bulk ? kErase : static_cast<std::uint8_t>(kByte | kErase), config, 0xFF))
            return {false, texts::kConfigInterrupted};
        configCell = 0xFF;
    }
    if (value != 0xFF) {
        if (!chip.cycle(0, config, value))
            return {false, texts::kConfigInterrupted};
        configCell &= value;
    }
    for (std::size_t k = 0; k < array.size(); ++k) {
        const auto at = static_cast<std::uint16_t>(kEepromFirst + k);
        if (machine.peek(at) == array[k])
            continue;
        if (!chip.cycle(0, at, array[k]) || machine.peek(at) != array[k])
            return {false, fill(texts::kEepromVerifyFailed, hex::word(at),
                                hex::byte(array[k]) + " / " + hex::byte(machine.peek(at)))};
        erased = texts::kConfigBulkErased;
    }
    // The cell read back: a protected or worn cell keeps what it had.
    if (machine.configCell() != configCell)
        return {false, fill(texts::kConfigVerifyFailed, hex::byte(configCell),
                            hex::byte(machine.configCell()))};
    return {true, fill(texts::kConfigProgrammed, hex::byte(configCell)) + erased};
}

} // namespace kavrel::simulation
