// The 64 registers of the 68HC11's register block ($1000, or where INIT puts
// it): their offsets and their names as the data sheets print them. Each
// block of the chip claims its own offsets; a window names the registers
// from this table.
#pragma once

#include <cstdint>

namespace sim11 {

struct RegisterInfo {
    const char* name; // "" where reserved
};

// Offset 0-63 in the block; anything above wraps.
const RegisterInfo& registerInfo(unsigned offset);

namespace reg {
enum : unsigned {
    PORTA = 0x00,
    PIOC = 0x02,
    PORTC = 0x03,
    PORTB = 0x04,
    PORTCL = 0x05,
    DDRC = 0x07,
    PORTD = 0x08,
    DDRD = 0x09,
    PORTE = 0x0A,
    CFORC = 0x0B,
    OC1M = 0x0C,
    OC1D = 0x0D,
    TCNT = 0x0E,
    TIC1 = 0x10,
    TIC2 = 0x12,
    TIC3 = 0x14,
    TOC1 = 0x16,
    TOC2 = 0x18,
    TOC3 = 0x1A,
    TOC4 = 0x1C,
    TI4O5 = 0x1E,
    TCTL1 = 0x20,
    TCTL2 = 0x21,
    TMSK1 = 0x22,
    TFLG1 = 0x23,
    TMSK2 = 0x24,
    TFLG2 = 0x25,
    PACTL = 0x26,
    PACNT = 0x27,
    SPCR = 0x28,
    SPSR = 0x29,
    SPDR = 0x2A,
    BAUD = 0x2B,
    SCCR1 = 0x2C,
    SCCR2 = 0x2D,
    SCSR = 0x2E,
    SCDR = 0x2F,
    ADCTL = 0x30,
    ADR1 = 0x31,
    ADR2 = 0x32,
    ADR3 = 0x33,
    ADR4 = 0x34,
    BPROT = 0x35,
    OPTION = 0x39,
    COPRST = 0x3A,
    PPROG = 0x3B,
    HPRIO = 0x3C,
    INIT = 0x3D,
    TEST1 = 0x3E,
    CONFIG = 0x3F,
};
} // namespace reg

} // namespace sim11
