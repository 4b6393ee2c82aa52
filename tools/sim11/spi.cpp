// The SPI, as far as a master's transfer: nothing drives MISO, so every byte
// received is $FF, after the eight bit times of the chosen rate.
#include "sim11/machine.h"

#include "chip_bits.h"

namespace sim11 {

std::uint8_t Machine::spiRead(unsigned offset) {
    if (offset == reg::SPDR && (reg_[reg::SPSR] & 0x80)) {
        reg_[reg::SPSR] &= 0x7F; // SPIF cleared by reading SPSR then SPDR
        wakeAttention();
    }
    return reg_[offset];
}

void Machine::spiWrite(unsigned offset, std::uint8_t value) {
    switch (offset) {
    case reg::SPCR:
        reg_[reg::SPCR] = value;
        wakeAttention();
        return;
    case reg::SPDR:
        reg_[reg::SPDR] = value;
        if ((reg_[reg::SPCR] & 0x50) == 0x50) {
            static constexpr unsigned dividers[4] = {2, 4, 16, 32};
            spiDoneAt_ = cycles_ + 8u * dividers[reg_[reg::SPCR] & 3];
            schedule();
        }
        return;
    default:
        reg_[offset] = value;
        return;
    }
}

} // namespace sim11
