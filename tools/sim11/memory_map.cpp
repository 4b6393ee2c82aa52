// The memory map: which of the chip's memories answers at each address, in
// blocks of 64 bytes, for the mode, CONFIG, INIT and the EEPROM latch; the
// accesses the fast maps leave to the slow path; program loading.
#include "blocks.h"

namespace sim11 {

using namespace bits;

MemoryMap::MemoryMap(Machine& machine, const Variant& variant)
    : Block(machine), romBase_(variant.romBase) {
    claim(reg::INIT);
    ram_.assign(variant.ramSize, 0);
    rom_.assign(variant.romSize, 0xFF);
    if (machine.mode() == Mode::Expanded)
        external_.assign(0x10000, 0);
    ffBlock_.fill(0xFF);
    // The loader's ROM: its entry, then the vectors of the boot map, each
    // pointing at a three-byte jump slot in RAM from $00C4 up.
    bootRom_[0] = 0xCD; // prebyte with an opcode of no instruction: the loader hook
    bootRom_[1] = 0x00;
    for (unsigned v = 0xFFD6; v < 0xFFFE; v += 2) {
        const unsigned slot = 0x00C4 + (v - 0xFFD6) / 2 * 3;
        bootRom_[v - 0xFF40] = static_cast<std::uint8_t>(slot >> 8);
        bootRom_[v - 0xFF40 + 1] = static_cast<std::uint8_t>(slot);
    }
    bootRom_[0xBE] = static_cast<std::uint8_t>(loaderEntry >> 8);
    bootRom_[0xBF] = static_cast<std::uint8_t>(loaderEntry);
}

void MemoryMap::reset() {
    init_ = 0x01;
    setBases(0x1000, 0x0000);
    rebuildMap();
}

std::uint8_t MemoryMap::peek(unsigned) const {
    return init_;
}

void MemoryMap::write(unsigned, std::uint8_t value) {
    if (!protectedWritable())
        return;
    init_ = value;
    setBases(static_cast<std::uint16_t>((value & 0x0F) << 12),
             static_cast<std::uint16_t>((value & 0xF0) << 8));
    rebuildMap();
}

void MemoryMap::build(const std::array<std::uint8_t, 1024>& devices) {
    auto& fetch = fetchMap();
    auto& write = plainWriteMap();
    const bool expanded = mode() == Mode::Expanded;
    for (unsigned block = 0; block < 1024; ++block) {
        if (expanded) {
            // A device on the external bus answers through the slow path.
            const bool device = devices[block] != 0;
            fetch[block] = device ? nullptr : &external_[block * 64];
            write[block] = device ? nullptr : &external_[block * 64];
        } else {
            fetch[block] = ffBlock_.data();
            write[block] = sinkBlock_.data();
        }
    }
    if (!rom_.empty() && (eeprom().config() & ROMON)) {
        for (unsigned block = romBase_ / 64u; block < 1024; ++block) {
            fetch[block] = &rom_[block * 64 - romBase_];
            write[block] = sinkBlock_.data();
        }
    }
    if (mode() == Mode::Bootstrap) {
        for (unsigned k = 0; k < 3; ++k) {
            fetch[0xBF40 / 64 + k] = &bootRom_[k * 64];
            write[0xBF40 / 64 + k] = sinkBlock_.data();
        }
    }
    if (eeprom().config() & EEON) {
        for (unsigned k = 0; k < 8; ++k) {
            // While latched, a read of the array is not its data.
            fetch[0xB600 / 64 + k] = eeprom().latched() ? nullptr : eeprom().row(k);
            write[0xB600 / 64 + k] = nullptr;
        }
    }
    for (unsigned k = 0; k < ram_.size() / 64; ++k) {
        fetch[(ramBase() >> 6) + k] = &ram_[k * 64];
        write[(ramBase() >> 6) + k] = &ram_[k * 64];
    }
}

bool MemoryMap::external(std::uint16_t address) const {
    if (mode() != Mode::Expanded || inRam(address) || (address & 0xFFC0) == registerBase() ||
        eeprom().contains(address))
        return false;
    if (!rom_.empty() && (eeprom().config() & ROMON) && address >= romBase_)
        return false;
    return true;
}

std::uint8_t MemoryMap::peekAt(std::uint16_t address) const {
    if (eeprom().contains(address))
        return eeprom().read(address);
    if (inRam(address))
        return ram_[address - ramBase()];
    if (!rom_.empty() && (eeprom().config() & ROMON) && address >= romBase_)
        return rom_[address - romBase_];
    if (mode() == Mode::Bootstrap && address >= 0xBF40 && address < 0xC000)
        return bootRom_[address - 0xBF40u];
    if (mode() == Mode::Expanded)
        return external_[address];
    return 0xFF;
}

void MemoryMap::writeAt(std::uint16_t address, std::uint8_t value) {
    if (eeprom().contains(address))
        eeprom().arrayWrite(address, value);
    else if (inRam(address))
        ram_[address - ramBase()] = value;
    else if (external(address))
        external_[address] = value;
}

bool MemoryMap::load(std::uint16_t address, std::uint8_t value) {
    if ((address & 0xFFC0) == registerBase()) {
        // A programmed part's CONFIG: the cell read at every reset.
        if ((address & 63) != reg::CONFIG)
            return false;
        eeprom().storeConfig(value);
        return true;
    }
    if (inRam(address)) {
        ram_[address - ramBase()] = value;
        return true;
    }
    if (eeprom().contains(address)) {
        eeprom().store(address, value);
        return true;
    }
    if (!rom_.empty() && (eeprom().config() & ROMON) && address >= romBase_) {
        rom_[address - romBase_] = value;
        return true;
    }
    if (mode() == Mode::Expanded) {
        external_[address] = value;
        return true;
    }
    return false;
}

} // namespace sim11
