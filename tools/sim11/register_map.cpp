#include "sim11/register_map.h"

#include <array>

namespace sim11 {

namespace {

constexpr std::array<RegisterInfo, 64> registerTable = {{
    {"PORTA", Block::Timer},       // $00: port A is the timer's pins
    {"", Block::Reserved},         // $01
    {"PIOC", Block::Ports},        // $02
    {"PORTC", Block::Ports},       // $03
    {"PORTB", Block::Ports},       // $04
    {"PORTCL", Block::Ports},      // $05
    {"", Block::Reserved},         // $06
    {"DDRC", Block::Ports},        // $07
    {"PORTD", Block::Ports},       // $08
    {"DDRD", Block::Ports},        // $09
    {"PORTE", Block::Ports},       // $0A
    {"CFORC", Block::Timer},       // $0B
    {"OC1M", Block::Timer},        // $0C
    {"OC1D", Block::Timer},        // $0D
    {"TCNT", Block::Timer},        // $0E
    {"TCNT+1", Block::Timer},      // $0F
    {"TIC1", Block::Timer},        // $10
    {"TIC1+1", Block::Timer},      // $11
    {"TIC2", Block::Timer},        // $12
    {"TIC2+1", Block::Timer},      // $13
    {"TIC3", Block::Timer},        // $14
    {"TIC3+1", Block::Timer},      // $15
    {"TOC1", Block::Timer},        // $16
    {"TOC1+1", Block::Timer},      // $17
    {"TOC2", Block::Timer},        // $18
    {"TOC2+1", Block::Timer},      // $19
    {"TOC3", Block::Timer},        // $1A
    {"TOC3+1", Block::Timer},      // $1B
    {"TOC4", Block::Timer},        // $1C
    {"TOC4+1", Block::Timer},      // $1D
    {"TI4O5", Block::Timer},       // $1E
    {"TI4O5+1", Block::Timer},     // $1F
    {"TCTL1", Block::Timer},       // $20
    {"TCTL2", Block::Timer},       // $21
    {"TMSK1", Block::Timer},       // $22
    {"TFLG1", Block::Timer},       // $23
    {"TMSK2", Block::Timer},       // $24
    {"TFLG2", Block::Timer},       // $25
    {"PACTL", Block::Timer},       // $26
    {"PACNT", Block::Timer},       // $27
    {"SPCR", Block::Spi},          // $28
    {"SPSR", Block::Spi},          // $29
    {"SPDR", Block::Spi},          // $2A
    {"BAUD", Block::Sci},          // $2B
    {"SCCR1", Block::Sci},         // $2C
    {"SCCR2", Block::Sci},         // $2D
    {"SCSR", Block::Sci},          // $2E
    {"SCDR", Block::Sci},          // $2F
    {"ADCTL", Block::AtoD},        // $30
    {"ADR1", Block::AtoD},         // $31
    {"ADR2", Block::AtoD},         // $32
    {"ADR3", Block::AtoD},         // $33
    {"ADR4", Block::AtoD},         // $34
    {"BPROT", Block::Eeprom},      // $35
    {"", Block::Reserved},         // $36
    {"", Block::Reserved},         // $37
    {"", Block::Reserved},         // $38
    {"OPTION", Block::Interrupts}, // $39
    {"COPRST", Block::Interrupts}, // $3A
    {"PPROG", Block::Eeprom},      // $3B
    {"HPRIO", Block::Interrupts},  // $3C
    {"INIT", Block::MemoryMap},    // $3D
    {"TEST1", Block::Interrupts},  // $3E
    {"CONFIG", Block::Eeprom},     // $3F
}};

} // namespace

const RegisterInfo& registerInfo(unsigned offset) {
    return registerTable[offset & 63];
}

} // namespace sim11
