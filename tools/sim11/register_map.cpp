#include "sim11/register_map.h"

#include <array>

namespace sim11 {

namespace {

constexpr std::array<RegisterInfo, 64> registerTable = {{
    {"PORTA"},   // $00: port A is the timer's pins
    {""},        // $01
    {"PIOC"},    // $02
    {"PORTC"},   // $03
    {"PORTB"},   // $04
    {"PORTCL"},  // $05
    {""},        // $06
    {"DDRC"},    // $07
    {"PORTD"},   // $08
    {"DDRD"},    // $09
    {"PORTE"},   // $0A
    {"CFORC"},   // $0B
    {"OC1M"},    // $0C
    {"OC1D"},    // $0D
    {"TCNT"},    // $0E
    {"TCNT+1"},  // $0F
    {"TIC1"},    // $10
    {"TIC1+1"},  // $11
    {"TIC2"},    // $12
    {"TIC2+1"},  // $13
    {"TIC3"},    // $14
    {"TIC3+1"},  // $15
    {"TOC1"},    // $16
    {"TOC1+1"},  // $17
    {"TOC2"},    // $18
    {"TOC2+1"},  // $19
    {"TOC3"},    // $1A
    {"TOC3+1"},  // $1B
    {"TOC4"},    // $1C
    {"TOC4+1"},  // $1D
    {"TI4O5"},   // $1E
    {"TI4O5+1"}, // $1F
    {"TCTL1"},   // $20
    {"TCTL2"},   // $21
    {"TMSK1"},   // $22
    {"TFLG1"},   // $23
    {"TMSK2"},   // $24
    {"TFLG2"},   // $25
    {"PACTL"},   // $26
    {"PACNT"},   // $27
    {"SPCR"},    // $28
    {"SPSR"},    // $29
    {"SPDR"},    // $2A
    {"BAUD"},    // $2B
    {"SCCR1"},   // $2C
    {"SCCR2"},   // $2D
    {"SCSR"},    // $2E
    {"SCDR"},    // $2F
    {"ADCTL"},   // $30
    {"ADR1"},    // $31
    {"ADR2"},    // $32
    {"ADR3"},    // $33
    {"ADR4"},    // $34
    {"BPROT"},   // $35
    {""},        // $36
    {""},        // $37
    {""},        // $38
    {"OPTION"},  // $39
    {"COPRST"},  // $3A
    {"PPROG"},   // $3B
    {"HPRIO"},   // $3C
    {"INIT"},    // $3D
    {"TEST1"},   // $3E
    {"CONFIG"},  // $3F
}};

} // namespace

const RegisterInfo& registerInfo(unsigned offset) {
    return registerTable[offset & 63];
}

} // namespace sim11
