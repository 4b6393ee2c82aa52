// Parallel I/O: port B (outputs), port C and port D (each pin's direction in
// DDRC, DDRD), port E (inputs, shared with the A/D), PIOC.
#include "blocks.h"

namespace sim11 {

Ports::Ports(Machine& machine) : Block(machine) {
    for (const unsigned offset : {reg::PIOC, reg::PORTC, reg::PORTB, reg::PORTCL, reg::DDRC,
                                  reg::PORTD, reg::DDRD, reg::PORTE})
        claim(offset);
}

void Ports::reset() {
    pioc_ = 0x03;
    portB_ = portC_ = portCL_ = ddrC_ = portD_ = ddrD_ = 0;
}

std::uint8_t Ports::peek(unsigned offset) const {
    switch (offset) {
    case reg::PIOC:
        return pioc_;
    case reg::PORTC:
        return pins(Port::C);
    case reg::PORTB:
        return portB_;
    case reg::PORTCL:
        return portCL_;
    case reg::DDRC:
        return ddrC_;
    case reg::PORTD:
        return pins(Port::D);
    case reg::DDRD:
        return ddrD_;
    case reg::PORTE:
        return inE_;
    default:
        return 0;
    }
}

void Ports::write(unsigned offset, std::uint8_t value) {
    switch (offset) {
    case reg::PIOC:
        pioc_ = value;
        return;
    case reg::PORTC:
        portC_ = value;
        return;
    case reg::PORTB:
        portB_ = value;
        return;
    case reg::PORTCL:
        portCL_ = value;
        return;
    case reg::DDRC:
        ddrC_ = value;
        return;
    case reg::PORTD:
        portD_ = value & 0x3F;
        return;
    case reg::DDRD:
        ddrD_ = value;
        return;
    default:
        return; // PORTE: inputs only
    }
}

std::uint8_t Ports::pins(Port port) const {
    switch (port) {
    case Port::B:
        return portB_;
    case Port::C:
        return static_cast<std::uint8_t>((portC_ & ddrC_) | (inC_ & ~ddrC_));
    case Port::D:
        return static_cast<std::uint8_t>(((portD_ & ddrD_) | (inD_ & ~ddrD_)) & 0x3F);
    case Port::E:
        return inE_;
    default:
        return 0;
    }
}

std::uint8_t Ports::outputs(Port port) const {
    switch (port) {
    case Port::B:
        return 0xFF;
    case Port::C:
        return ddrC_;
    case Port::D:
        return ddrD_ & 0x3F;
    default:
        return 0;
    }
}

void Ports::setInputs(Port port, std::uint8_t levels) {
    switch (port) {
    case Port::C:
        inC_ = levels;
        return;
    case Port::D:
        inD_ = levels;
        return;
    case Port::E:
        inE_ = levels;
        return;
    default:
        return;
    }
}

} // namespace sim11
