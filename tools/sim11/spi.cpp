// The SPI, as far as a master's transfer: nothing drives MISO, so every byte
// received is $FF, after the eight bit times of the chosen rate.
#include "blocks.h"

namespace sim11 {

Spi::Spi(Machine& machine) : Block(machine) {
    claim(reg::SPCR);
    claim(reg::SPSR);
    claim(reg::SPDR);
    claimSlot();
}

void Spi::reset() {
    spcr_ = 0x04;
    spsr_ = spdr_ = 0;
    doneAt_ = never;
    schedule(doneAt_);
}

std::uint8_t Spi::peek(unsigned offset) const {
    switch (offset) {
    case reg::SPCR:
        return spcr_;
    case reg::SPSR:
        return spsr_;
    default:
        return spdr_;
    }
}

std::uint8_t Spi::read(unsigned offset) {
    if (offset == reg::SPDR && (spsr_ & 0x80)) {
        spsr_ &= 0x7F; // SPIF cleared by reading SPSR then SPDR
        wake();
    }
    return peek(offset);
}

void Spi::write(unsigned offset, std::uint8_t value) {
    switch (offset) {
    case reg::SPCR:
        spcr_ = value;
        wake();
        return;
    case reg::SPDR:
        spdr_ = value;
        if ((spcr_ & 0x50) == 0x50) {
            static constexpr unsigned dividers[4] = {2, 4, 16, 32};
            doneAt_ = now() + 8u * dividers[spcr_ & 3];
            schedule(doneAt_);
        }
        return;
    default:
        spsr_ = value;
        return;
    }
}

void Spi::event() {
    doneAt_ = never;
    spdr_ = 0xFF; // nothing drives MISO: the line idles high
    spsr_ |= 0x80;
    wake();
    schedule(doneAt_);
}

} // namespace sim11
