// Parallel I/O: port B (outputs), port C and port D (each pin's direction in
// DDRC, DDRD), port E (inputs, shared with the A/D), PIOC; and the pin levels
// of all five ports as a window shows them.
#include "sim11/machine.h"

#include "chip_bits.h"

namespace sim11 {

using namespace bits;

void Machine::portsWrite(unsigned offset, std::uint8_t value) {
    switch (offset) {
    case reg::PORTD:
        reg_[reg::PORTD] = value & 0x3F;
        return;
    case reg::PORTE:
        return; // inputs only
    default:
        reg_[offset] = value;
        return;
    }
}

std::uint8_t Machine::pins(Port port) const {
    switch (port) {
    case Port::A:
        return portAPins();
    case Port::B:
        return reg_[reg::PORTB];
    case Port::C:
        return static_cast<std::uint8_t>((reg_[reg::PORTC] & reg_[reg::DDRC]) |
                                         (portCIn_ & ~reg_[reg::DDRC]));
    case Port::D:
        return static_cast<std::uint8_t>(
            ((reg_[reg::PORTD] & reg_[reg::DDRD]) | (portDIn_ & ~reg_[reg::DDRD])) & 0x3F);
    case Port::E:
        return portEIn_;
    }
    return 0;
}

std::uint8_t Machine::outputs(Port port) const {
    switch (port) {
    case Port::A:
        return portAOutputs();
    case Port::B:
        return 0xFF;
    case Port::C:
        return reg_[reg::DDRC];
    case Port::D:
        return reg_[reg::DDRD] & 0x3F;
    case Port::E:
        return 0;
    }
    return 0;
}

void Machine::setPortInputs(char port, std::uint8_t levels) {
    if (port == 'A')
        setPortInputs(Port::A, levels);
    else if (port == 'C')
        setPortInputs(Port::C, levels);
    else if (port == 'D')
        setPortInputs(Port::D, levels);
    else if (port == 'E')
        setPortInputs(Port::E, levels);
}

void Machine::setPortInputs(Port port, std::uint8_t levels) {
    switch (port) {
    case Port::A:
        setPortAInputs(levels);
        return;
    case Port::C:
        portCIn_ = levels;
        break;
    case Port::D:
        portDIn_ = levels;
        break;
    case Port::E:
        portEIn_ = levels;
        break;
    case Port::B:
        return;
    }
    if (onPins)
        pinsMayHaveChanged();
}

void Machine::pinsMayHaveChanged() {
    static constexpr Port ports[5] = {Port::A, Port::B, Port::C, Port::D, Port::E};
    for (const Port port : ports) {
        const std::uint8_t now = pins(port);
        std::uint8_t& seen = pinsSeen_[static_cast<std::size_t>(port)];
        if (now != seen) {
            seen = now;
            onPins(port, now);
        }
    }
}

} // namespace sim11
