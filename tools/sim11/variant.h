// The parts of the 68HC11 family the simulator knows: what differs between
// them is data here (the memories, the features a block looks at), and the
// list of blocks each is built of. Private to the machine's sources.
#pragma once

#include "sim11/machine.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace sim11 {

struct Variant {
    Chip chip;
    const char* name;
    std::uint16_t ramSize;
    std::uint16_t romBase, romSize; // romSize 0: no ROM on the part
    std::uint8_t configErased;      // CONFIG as an erased part holds it
    bool blockProtect;              // BPROT, and CONFIG behind its PTCON bit
    bool pa3Configurable;           // PA3's direction in PACTL, and IC4/OC5 on it
    bool loadsRamFull;              // the loader fills its RAM (E) or 256 bytes (A1)
};

const Variant& variantOf(Chip chip);

// The blocks of a part, in the order the chip serves their timed events.
std::vector<std::unique_ptr<Block>> makeBlocks(Machine& machine, const Variant& variant);

} // namespace sim11
