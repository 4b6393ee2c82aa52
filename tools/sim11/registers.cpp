// The register block: every access goes to the block of the chip that owns
// the register, as register_map.h says.
#include "sim11/machine.h"

#include "chip_bits.h"

namespace sim11 {

using namespace bits;

std::uint8_t Machine::peekRegister(unsigned offset) const {
    switch (offset) {
    case reg::PORTA:
        return portAPins();
    case reg::PORTC:
        return pins(Port::C);
    case reg::PORTD:
        return pins(Port::D);
    case reg::PORTE:
        return portEIn_;
    case reg::TCNT:
        return static_cast<std::uint8_t>(tcntAt(cycles_) >> 8);
    case reg::TCNT + 1:
        return static_cast<std::uint8_t>(tcntAt(cycles_));
    case reg::SCDR:
        return rdr_;
    case reg::CONFIG:
        return config_;
    case reg::COPRST:
        return 0;
    default:
        return reg_[offset];
    }
}

std::uint8_t Machine::readRegister(unsigned offset) {
    switch (registerInfo(offset).block) {
    case Block::Timer:
        return timerRead(offset);
    case Block::Sci:
        return sciRead(offset);
    case Block::Spi:
        return spiRead(offset);
    default:
        return peekRegister(offset);
    }
}

void Machine::writeRegister(unsigned offset, std::uint8_t value) {
    switch (registerInfo(offset).block) {
    case Block::Reserved:
        reg_[offset] = value;
        break;
    case Block::MemoryMap:
        writeInit(value);
        break;
    case Block::Ports:
        portsWrite(offset, value);
        break;
    case Block::Timer:
        timerWrite(offset, value);
        break;
    case Block::Sci:
        sciWrite(offset, value);
        break;
    case Block::Spi:
        spiWrite(offset, value);
        break;
    case Block::AtoD:
        adWrite(offset, value);
        break;
    case Block::Eeprom:
        eepromRegisterWrite(offset, value);
        break;
    case Block::Interrupts:
        interruptsRegisterWrite(offset, value);
        break;
    }
    if (onPins)
        pinsMayHaveChanged();
}

} // namespace sim11
