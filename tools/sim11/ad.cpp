// The A/D converter: four conversions of 32 E cycles each from one channel or
// from four, results in ADR1-ADR4, CCF set when the four are done, again and
// again in continuous mode (SCAN).
#include "sim11/machine.h"

#include "chip_bits.h"

namespace sim11 {

void Machine::adWrite(unsigned offset, std::uint8_t value) {
    if (offset != reg::ADCTL)
        return; // the results are read-only
    reg_[reg::ADCTL] = value & 0x3F;
    adStart();
}

void Machine::adStart() {
    reg_[reg::ADCTL] &= 0x7F;
    adDoneAt_ = cycles_ + 128; // four conversions of 32 E cycles
    schedule();
}

void Machine::adService() {
    if (cycles_ < adDoneAt_)
        return;
    const unsigned channel = reg_[reg::ADCTL] & 7;
    const unsigned base = channel & 4;
    for (unsigned k = 0; k < 4; ++k)
        reg_[reg::ADR1 + k] = analog_[(reg_[reg::ADCTL] & 0x10) ? base + k : channel];
    reg_[reg::ADCTL] |= 0x80;
    adDoneAt_ = (reg_[reg::ADCTL] & 0x20) ? adDoneAt_ + 128 : never;
}

void Machine::setAnalog(int channel, std::uint8_t value) {
    if (channel >= 0 && channel < 8)
        analog_[static_cast<std::size_t>(channel)] = value;
}

} // namespace sim11
