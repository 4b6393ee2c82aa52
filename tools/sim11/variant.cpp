// The parts: A1 (256 bytes of RAM, its ROM not modelled, no BPROT), E1 (512
// bytes of RAM, no ROM) and E9 (512 bytes of RAM, 12K of ROM at $D000), all
// with 512 bytes of EEPROM at $B600, and the same blocks.
#include "variant.h"

#include "blocks.h"

namespace sim11 {

namespace {

constexpr Variant variants[] = {
    {Chip::A1, "A1", 256, 0, 0, 0x0D, false, false, false},
    {Chip::E1, "E1", 512, 0, 0, 0x0D, true, true, true},
    {Chip::E9, "E9", 512, 0xD000, 0x3000, 0x0F, true, true, true},
};

} // namespace

const Variant& variantOf(Chip chip) {
    for (const Variant& v : variants)
        if (v.chip == chip)
            return v;
    return variants[2];
}

std::vector<std::unique_ptr<Block>> makeBlocks(Machine& machine, const Variant& variant) {
    // Built in this order, which is also the order of their resets; the timed
    // ones take their scheduler slots as they are built (timer, SCI, A/D,
    // SPI, COP), the order in which the chip serves events due together.
    std::vector<std::unique_ptr<Block>> blocks;
    blocks.push_back(std::make_unique<Reserved>(machine));
    blocks.push_back(std::make_unique<Eeprom>(machine, variant));
    blocks.push_back(std::make_unique<MemoryMap>(machine, variant));
    blocks.push_back(std::make_unique<Ports>(machine));
    blocks.push_back(std::make_unique<Timer>(machine));
    blocks.push_back(std::make_unique<Sci>(machine));
    blocks.push_back(std::make_unique<AtoD>(machine));
    blocks.push_back(std::make_unique<Spi>(machine));
    blocks.push_back(std::make_unique<Interrupts>(machine));
    blocks.push_back(std::make_unique<Loader>(machine, variant));
    return blocks;
}

} // namespace sim11
