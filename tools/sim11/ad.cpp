// The A/D converter: four conversions of 32 E cycles each from one channel or
// from four, results in ADR1-ADR4, CCF set when the four are done, again and
// again in continuous mode (SCAN).
#include "blocks.h"

namespace sim11 {

AtoD::AtoD(Machine& machine) : Block(machine) {
    for (unsigned offset = reg::ADCTL; offset <= reg::ADR4; ++offset)
        claim(offset);
    claimSlot();
}

void AtoD::reset() {
    adctl_ = 0;
    results_.fill(0);
    doneAt_ = never;
    schedule(doneAt_);
}

std::uint8_t AtoD::peek(unsigned offset) const {
    return offset == reg::ADCTL ? adctl_ : results_[offset - reg::ADR1];
}

void AtoD::write(unsigned offset, std::uint8_t value) {
    if (offset != reg::ADCTL)
        return; // the results are read-only
    // A write starts a conversion sequence, CCF cleared.
    adctl_ = value & 0x3F;
    doneAt_ = now() + 128; // four conversions of 32 E cycles
    schedule(doneAt_);
}

void AtoD::event() {
    const unsigned channel = adctl_ & 7;
    const unsigned base = channel & 4;
    for (unsigned k = 0; k < 4; ++k)
        results_[k] = inputs_[(adctl_ & 0x10) ? base + k : channel];
    adctl_ |= 0x80;
    doneAt_ = (adctl_ & 0x20) ? doneAt_ + 128 : never;
    schedule(doneAt_);
}

void AtoD::setInput(int channel, std::uint8_t value) {
    if (channel >= 0 && channel < 8)
        inputs_[static_cast<std::size_t>(channel)] = value;
}

} // namespace sim11
