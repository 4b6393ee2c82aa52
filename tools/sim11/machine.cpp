// The machine as a whole: its memories made at construction and the resets.
// Each block of the chip has its own file; register_map.h says which.
#include "sim11/machine.h"

#include "chip_bits.h"

namespace sim11 {

using namespace bits;

const char* chipName(Chip chip) {
    switch (chip) {
    case Chip::A1:
        return "A1";
    case Chip::E1:
        return "E1";
    case Chip::E9:
        return "E9";
    }
    return "?";
}

Machine::Machine(Chip chip, Mode mode) : chip_(chip), mode_(mode) {
    ram_.assign(chip == Chip::A1 ? 256 : 512, 0);
    if (chip == Chip::E9)
        rom_.assign(0x3000, 0xFF);
    if (mode == Mode::Expanded)
        external_.assign(0x10000, 0);
    eeprom_.fill(0xFF);
    ffBlock_.fill(0xFF);
    // The loader's ROM: its entry, then the vectors of the boot map, each
    // pointing at a three-byte jump slot in RAM from $00C4 up.
    bootRom_.fill(0);
    bootRom_[0] = 0xCD; // prebyte with an opcode of no instruction: the loader hook
    bootRom_[1] = 0x00;
    for (unsigned v = 0xFFD6; v < 0xFFFE; v += 2) {
        const unsigned slot = 0x00C4 + (v - 0xFFD6) / 2 * 3;
        bootRom_[v - 0xFF40] = static_cast<std::uint8_t>(slot >> 8);
        bootRom_[v - 0xFF40 + 1] = static_cast<std::uint8_t>(slot);
    }
    bootRom_[0xBE] = static_cast<std::uint8_t>(loaderEntry >> 8);
    bootRom_[0xBF] = static_cast<std::uint8_t>(loaderEntry);
    // Erased CONFIG: ROM on where there is one, EEPROM on, COP off.
    configNext_ = chip == Chip::E9 ? 0x0F : 0x0D;
    reset();
}

void Machine::reset() {
    chipReset(vector::RESET);
}

void Machine::powerOn() {
    // Every time in the machine is counted from its last reset, so the count
    // can start again; bytes already on the host's line start again too.
    cycles_ = 0;
    txIdleSince_ = rxTakenAt_ = 0;
    rxPolls_.fill(never);
    chipReset(vector::RESET);
}

} // namespace sim11
