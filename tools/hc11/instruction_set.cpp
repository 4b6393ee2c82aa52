#include "hc11/instruction_set.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace hc11 {

namespace {

using M = Mode;

constexpr std::uint8_t operandBytes(Mode mode) {
    switch (mode) {
    case M::Inherent:
        return 0;
    case M::Immediate16:
    case M::Extended:
    case M::BitDirect:
    case M::BitIndexedX:
    case M::BitIndexedY:
        return 2;
    case M::BitBranchDirect:
    case M::BitBranchIndexedX:
    case M::BitBranchIndexedY:
        return 3;
    default:
        return 1;
    }
}

constexpr Instruction op(std::string_view mnemonic, Page page, std::uint8_t opcode, Mode mode,
                         std::uint8_t cycles) {
    const std::uint8_t prebyte = page == Page::P1 ? 0 : 1;
    return {
        mnemonic, page, opcode, mode, static_cast<std::uint8_t>(prebyte + 1 + operandBytes(mode)),
        cycles};
}

constexpr Page P1 = Page::P1, P2 = Page::P2, P3 = Page::P3, P4 = Page::P4;

// In opcode order, page by page, as the reference manual's opcode map. TEST
// runs until reset (test modes only): it has no cycle count and shows 0.
constexpr std::size_t opcodeCount = 308;

// The size is written out: deducing it from 308 elements is too deep for clang.
constexpr std::array<Instruction, opcodeCount> table = {{
    // Page 1.
    op("TEST", P1, 0x00, M::Inherent, 0),
    op("NOP", P1, 0x01, M::Inherent, 2),
    op("IDIV", P1, 0x02, M::Inherent, 41),
    op("FDIV", P1, 0x03, M::Inherent, 41),
    op("LSRD", P1, 0x04, M::Inherent, 3),
    op("ASLD", P1, 0x05, M::Inherent, 3),
    op("TAP", P1, 0x06, M::Inherent, 2),
    op("TPA", P1, 0x07, M::Inherent, 2),
    op("INX", P1, 0x08, M::Inherent, 3),
    op("DEX", P1, 0x09, M::Inherent, 3),
    op("CLV", P1, 0x0A, M::Inherent, 2),
    op("SEV", P1, 0x0B, M::Inherent, 2),
    op("CLC", P1, 0x0C, M::Inherent, 2),
    op("SEC", P1, 0x0D, M::Inherent, 2),
    op("CLI", P1, 0x0E, M::Inherent, 2),
    op("SEI", P1, 0x0F, M::Inherent, 2),
    op("SBA", P1, 0x10, M::Inherent, 2),
    op("CBA", P1, 0x11, M::Inherent, 2),
    op("BRSET", P1, 0x12, M::BitBranchDirect, 6),
    op("BRCLR", P1, 0x13, M::BitBranchDirect, 6),
    op("BSET", P1, 0x14, M::BitDirect, 6),
    op("BCLR", P1, 0x15, M::BitDirect, 6),
    op("TAB", P1, 0x16, M::Inherent, 2),
    op("TBA", P1, 0x17, M::Inherent, 2),
    op("DAA", P1, 0x19, M::Inherent, 2),
    op("ABA", P1, 0x1B, M::Inherent, 2),
    op("BSET", P1, 0x1C, M::BitIndexedX, 7),
    op("BCLR", P1, 0x1D, M::BitIndexedX, 7),
    op("BRSET", P1, 0x1E, M::BitBranchIndexedX, 7),
    op("BRCLR", P1, 0x1F, M::BitBranchIndexedX, 7),
    op("BRA", P1, 0x20, M::Relative, 3),
    op("BRN", P1, 0x21, M::Relative, 3),
    op("BHI", P1, 0x22, M::Relative, 3),
    op("BLS", P1, 0x23, M::Relative, 3),
    op("BCC", P1, 0x24, M::Relative, 3),
    op("BCS", P1, 0x25, M::Relative, 3),
    op("BNE", P1, 0x26, M::Relative, 3),
    op("BEQ", P1, 0x27, M::Relative, 3),
    op("BVC", P1, 0x28, M::Relative, 3),
    op("BVS", P1, 0x29, M::Relative, 3),
    op("BPL", P1, 0x2A, M::Relative, 3),
    op("BMI", P1, 0x2B, M::Relative, 3),
    op("BGE", P1, 0x2C, M::Relative, 3),
    op("BLT", P1, 0x2D, M::Relative, 3),
    op("BGT", P1, 0x2E, M::Relative, 3),
    op("BLE", P1, 0x2F, M::Relative, 3),
    op("TSX", P1, 0x30, M::Inherent, 3),
    op("INS", P1, 0x31, M::Inherent, 3),
    op("PULA", P1, 0x32, M::Inherent, 4),
    op("PULB", P1, 0x33, M::Inherent, 4),
    op("DES", P1, 0x34, M::Inherent, 3),
    op("TXS", P1, 0x35, M::Inherent, 3),
    op("PSHA", P1, 0x36, M::Inherent, 3),
    op("PSHB", P1, 0x37, M::Inherent, 3),
    op("PULX", P1, 0x38, M::Inherent, 5),
    op("RTS", P1, 0x39, M::Inherent, 5),
    op("ABX", P1, 0x3A, M::Inherent, 3),
    op("RTI", P1, 0x3B, M::Inherent, 12),
    op("PSHX", P1, 0x3C, M::Inherent, 4),
    op("MUL", P1, 0x3D, M::Inherent, 10),
    op("WAI", P1, 0x3E, M::Inherent, 14),
    op("SWI", P1, 0x3F, M::Inherent, 14),
    op("NEGA", P1, 0x40, M::Inherent, 2),
    op("COMA", P1, 0x43, M::Inherent, 2),
    op("LSRA", P1, 0x44, M::Inherent, 2),
    op("RORA", P1, 0x46, M::Inherent, 2),
    op("ASRA", P1, 0x47, M::Inherent, 2),
    op("ASLA", P1, 0x48, M::Inherent, 2),
    op("ROLA", P1, 0x49, M::Inherent, 2),
    op("DECA", P1, 0x4A, M::Inherent, 2),
    op("INCA", P1, 0x4C, M::Inherent, 2),
    op("TSTA", P1, 0x4D, M::Inherent, 2),
    op("CLRA", P1, 0x4F, M::Inherent, 2),
    op("NEGB", P1, 0x50, M::Inherent, 2),
    op("COMB", P1, 0x53, M::Inherent, 2),
    op("LSRB", P1, 0x54, M::Inherent, 2),
    op("RORB", P1, 0x56, M::Inherent, 2),
    op("ASRB", P1, 0x57, M::Inherent, 2),
    op("ASLB", P1, 0x58, M::Inherent, 2),
    op("ROLB", P1, 0x59, M::Inherent, 2),
    op("DECB", P1, 0x5A, M::Inherent, 2),
    op("INCB", P1, 0x5C, M::Inherent, 2),
    op("TSTB", P1, 0x5D, M::Inherent, 2),
    op("CLRB", P1, 0x5F, M::Inherent, 2),
    op("NEG", P1, 0x60, M::IndexedX, 6),
    op("COM", P1, 0x63, M::IndexedX, 6),
    op("LSR", P1, 0x64, M::IndexedX, 6),
    op("ROR", P1, 0x66, M::IndexedX, 6),
    op("ASR", P1, 0x67, M::IndexedX, 6),
    op("ASL", P1, 0x68, M::IndexedX, 6),
    op("ROL", P1, 0x69, M::IndexedX, 6),
    op("DEC", P1, 0x6A, M::IndexedX, 6),
    op("INC", P1, 0x6C, M::IndexedX, 6),
    op("TST", P1, 0x6D, M::IndexedX, 6),
    op("JMP", P1, 0x6E, M::IndexedX, 3),
    op("CLR", P1, 0x6F, M::IndexedX, 6),
    op("NEG", P1, 0x70, M::Extended, 6),
    op("COM", P1, 0x73, M::Extended, 6),
    op("LSR", P1, 0x74, M::Extended, 6),
    op("ROR", P1, 0x76, M::Extended, 6),
    op("ASR", P1, 0x77, M::Extended, 6),
    op("ASL", P1, 0x78, M::Extended, 6),
    op("ROL", P1, 0x79, M::Extended, 6),
    op("DEC", P1, 0x7A, M::Extended, 6),
    op("INC", P1, 0x7C, M::Extended, 6),
    op("TST", P1, 0x7D, M::Extended, 6),
    op("JMP", P1, 0x7E, M::Extended, 3),
    op("CLR", P1, 0x7F, M::Extended, 6),
    op("SUBA", P1, 0x80, M::Immediate8, 2),
    op("CMPA", P1, 0x81, M::Immediate8, 2),
    op("SBCA", P1, 0x82, M::Immediate8, 2),
    op("SUBD", P1, 0x83, M::Immediate16, 4),
    op("ANDA", P1, 0x84, M::Immediate8, 2),
    op("BITA", P1, 0x85, M::Immediate8, 2),
    op("LDAA", P1, 0x86, M::Immediate8, 2),
    op("EORA", P1, 0x88, M::Immediate8, 2),
    op("ADCA", P1, 0x89, M::Immediate8, 2),
    op("ORAA", P1, 0x8A, M::Immediate8, 2),
    op("ADDA", P1, 0x8B, M::Immediate8, 2),
    op("CPX", P1, 0x8C, M::Immediate16, 4),
    op("BSR", P1, 0x8D, M::Relative, 6),
    op("LDS", P1, 0x8E, M::Immediate16, 3),
    op("XGDX", P1, 0x8F, M::Inherent, 3),
    op("SUBA", P1, 0x90, M::Direct, 3),
    op("CMPA", P1, 0x91, M::Direct, 3),
    op("SBCA", P1, 0x92, M::Direct, 3),
    op("SUBD", P1, 0x93, M::Direct, 5),
    op("ANDA", P1, 0x94, M::Direct, 3),
    op("BITA", P1, 0x95, M::Direct, 3),
    op("LDAA", P1, 0x96, M::Direct, 3),
    op("STAA", P1, 0x97, M::Direct, 3),
    op("EORA", P1, 0x98, M::Direct, 3),
    op("ADCA", P1, 0x99, M::Direct, 3),
    op("ORAA", P1, 0x9A, M::Direct, 3),
    op("ADDA", P1, 0x9B, M::Direct, 3),
    op("CPX", P1, 0x9C, M::Direct, 5),
    op("JSR", P1, 0x9D, M::Direct, 5),
    op("LDS", P1, 0x9E, M::Direct, 4),
    op("STS", P1, 0x9F, M::Direct, 4),
    op("SUBA", P1, 0xA0, M::IndexedX, 4),
    op("CMPA", P1, 0xA1, M::IndexedX, 4),
    op("SBCA", P1, 0xA2, M::IndexedX, 4),
    op("SUBD", P1, 0xA3, M::IndexedX, 6),
    op("ANDA", P1, 0xA4, M::IndexedX, 4),
    op("BITA", P1, 0xA5, M::IndexedX, 4),
    op("LDAA", P1, 0xA6, M::IndexedX, 4),
    op("STAA", P1, 0xA7, M::IndexedX, 4),
    op("EORA", P1, 0xA8, M::IndexedX, 4),
    op("ADCA", P1, 0xA9, M::IndexedX, 4),
    op("ORAA", P1, 0xAA, M::IndexedX, 4),
    op("ADDA", P1, 0xAB, M::IndexedX, 4),
    op("CPX", P1, 0xAC, M::IndexedX, 6),
    op("JSR", P1, 0xAD, M::IndexedX, 6),
    op("LDS", P1, 0xAE, M::IndexedX, 5),
    op("STS", P1, 0xAF, M::IndexedX, 5),
    op("SUBA", P1, 0xB0, M::Extended, 4),
    op("CMPA", P1, 0xB1, M::Extended, 4),
    op("SBCA", P1, 0xB2, M::Extended, 4),
    op("SUBD", P1, 0xB3, M::Extended, 6),
    op("ANDA", P1, 0xB4, M::Extended, 4),
    op("BITA", P1, 0xB5, M::Extended, 4),
    op("LDAA", P1, 0xB6, M::Extended, 4),
    op("STAA", P1, 0xB7, M::Extended, 4),
    op("EORA", P1, 0xB8, M::Extended, 4),
    op("ADCA", P1, 0xB9, M::Extended, 4),
    op("ORAA", P1, 0xBA, M::Extended, 4),
    op("ADDA", P1, 0xBB, M::Extended, 4),
    op("CPX", P1, 0xBC, M::Extended, 6),
    op("JSR", P1, 0xBD, M::Extended, 6),
    op("LDS", P1, 0xBE, M::Extended, 5),
    op("STS", P1, 0xBF, M::Extended, 5),
    op("SUBB", P1, 0xC0, M::Immediate8, 2),
    op("CMPB", P1, 0xC1, M::Immediate8, 2),
    op("SBCB", P1, 0xC2, M::Immediate8, 2),
    op("ADDD", P1, 0xC3, M::Immediate16, 4),
    op("ANDB", P1, 0xC4, M::Immediate8, 2),
    op("BITB", P1, 0xC5, M::Immediate8, 2),
    op("LDAB", P1, 0xC6, M::Immediate8, 2),
    op("EORB", P1, 0xC8, M::Immediate8, 2),
    op("ADCB", P1, 0xC9, M::Immediate8, 2),
    op("ORAB", P1, 0xCA, M::Immediate8, 2),
    op("ADDB", P1, 0xCB, M::Immediate8, 2),
    op("LDD", P1, 0xCC, M::Immediate16, 3),
    op("LDX", P1, 0xCE, M::Immediate16, 3),
    op("STOP", P1, 0xCF, M::Inherent, 2),
    op("SUBB", P1, 0xD0, M::Direct, 3),
    op("CMPB", P1, 0xD1, M::Direct, 3),
    op("SBCB", P1, 0xD2, M::Direct, 3),
    op("ADDD", P1, 0xD3, M::Direct, 5),
    op("ANDB", P1, 0xD4, M::Direct, 3),
    op("BITB", P1, 0xD5, M::Direct, 3),
    op("LDAB", P1, 0xD6, M::Direct, 3),
    op("STAB", P1, 0xD7, M::Direct, 3),
    op("EORB", P1, 0xD8, M::Direct, 3),
    op("ADCB", P1, 0xD9, M::Direct, 3),
    op("ORAB", P1, 0xDA, M::Direct, 3),
    op("ADDB", P1, 0xDB, M::Direct, 3),
    op("LDD", P1, 0xDC, M::Direct, 4),
    op("STD", P1, 0xDD, M::Direct, 4),
    op("LDX", P1, 0xDE, M::Direct, 4),
    op("STX", P1, 0xDF, M::Direct, 4),
    op("SUBB", P1, 0xE0, M::IndexedX, 4),
    op("CMPB", P1, 0xE1, M::IndexedX, 4),
    op("SBCB", P1, 0xE2, M::IndexedX, 4),
    op("ADDD", P1, 0xE3, M::IndexedX, 6),
    op("ANDB", P1, 0xE4, M::IndexedX, 4),
    op("BITB", P1, 0xE5, M::IndexedX, 4),
    op("LDAB", P1, 0xE6, M::IndexedX, 4),
    op("STAB", P1, 0xE7, M::IndexedX, 4),
    op("EORB", P1, 0xE8, M::IndexedX, 4),
    op("ADCB", P1, 0xE9, M::IndexedX, 4),
    op("ORAB", P1, 0xEA, M::IndexedX, 4),
    op("ADDB", P1, 0xEB, M::IndexedX, 4),
    op("LDD", P1, 0xEC, M::IndexedX, 5),
    op("STD", P1, 0xED, M::IndexedX, 5),
    op("LDX", P1, 0xEE, M::IndexedX, 5),
    op("STX", P1, 0xEF, M::IndexedX, 5),
    op("SUBB", P1, 0xF0, M::Extended, 4),
    op("CMPB", P1, 0xF1, M::Extended, 4),
    op("SBCB", P1, 0xF2, M::Extended, 4),
    op("ADDD", P1, 0xF3, M::Extended, 6),
    op("ANDB", P1, 0xF4, M::Extended, 4),
    op("BITB", P1, 0xF5, M::Extended, 4),
    op("LDAB", P1, 0xF6, M::Extended, 4),
    op("STAB", P1, 0xF7, M::Extended, 4),
    op("EORB", P1, 0xF8, M::Extended, 4),
    op("ADCB", P1, 0xF9, M::Extended, 4),
    op("ORAB", P1, 0xFA, M::Extended, 4),
    op("ADDB", P1, 0xFB, M::Extended, 4),
    op("LDD", P1, 0xFC, M::Extended, 5),
    op("STD", P1, 0xFD, M::Extended, 5),
    op("LDX", P1, 0xFE, M::Extended, 5),
    op("STX", P1, 0xFF, M::Extended, 5),
    // Page 2 ($18): Y in place of X, one more cycle for the prebyte.
    op("INY", P2, 0x08, M::Inherent, 4),
    op("DEY", P2, 0x09, M::Inherent, 4),
    op("BSET", P2, 0x1C, M::BitIndexedY, 8),
    op("BCLR", P2, 0x1D, M::BitIndexedY, 8),
    op("BRSET", P2, 0x1E, M::BitBranchIndexedY, 8),
    op("BRCLR", P2, 0x1F, M::BitBranchIndexedY, 8),
    op("TSY", P2, 0x30, M::Inherent, 4),
    op("TYS", P2, 0x35, M::Inherent, 4),
    op("PULY", P2, 0x38, M::Inherent, 6),
    op("ABY", P2, 0x3A, M::Inherent, 4),
    op("PSHY", P2, 0x3C, M::Inherent, 5),
    op("NEG", P2, 0x60, M::IndexedY, 7),
    op("COM", P2, 0x63, M::IndexedY, 7),
    op("LSR", P2, 0x64, M::IndexedY, 7),
    op("ROR", P2, 0x66, M::IndexedY, 7),
    op("ASR", P2, 0x67, M::IndexedY, 7),
    op("ASL", P2, 0x68, M::IndexedY, 7),
    op("ROL", P2, 0x69, M::IndexedY, 7),
    op("DEC", P2, 0x6A, M::IndexedY, 7),
    op("INC", P2, 0x6C, M::IndexedY, 7),
    op("TST", P2, 0x6D, M::IndexedY, 7),
    op("JMP", P2, 0x6E, M::IndexedY, 4),
    op("CLR", P2, 0x6F, M::IndexedY, 7),
    op("CPY", P2, 0x8C, M::Immediate16, 5),
    op("XGDY", P2, 0x8F, M::Inherent, 4),
    op("CPY", P2, 0x9C, M::Direct, 6),
    op("SUBA", P2, 0xA0, M::IndexedY, 5),
    op("CMPA", P2, 0xA1, M::IndexedY, 5),
    op("SBCA", P2, 0xA2, M::IndexedY, 5),
    op("SUBD", P2, 0xA3, M::IndexedY, 7),
    op("ANDA", P2, 0xA4, M::IndexedY, 5),
    op("BITA", P2, 0xA5, M::IndexedY, 5),
    op("LDAA", P2, 0xA6, M::IndexedY, 5),
    op("STAA", P2, 0xA7, M::IndexedY, 5),
    op("EORA", P2, 0xA8, M::IndexedY, 5),
    op("ADCA", P2, 0xA9, M::IndexedY, 5),
    op("ORAA", P2, 0xAA, M::IndexedY, 5),
    op("ADDA", P2, 0xAB, M::IndexedY, 5),
    op("CPY", P2, 0xAC, M::IndexedY, 7),
    op("JSR", P2, 0xAD, M::IndexedY, 7),
    op("LDS", P2, 0xAE, M::IndexedY, 6),
    op("STS", P2, 0xAF, M::IndexedY, 6),
    op("CPY", P2, 0xBC, M::Extended, 7),
    op("LDY", P2, 0xCE, M::Immediate16, 4),
    op("LDY", P2, 0xDE, M::Direct, 5),
    op("STY", P2, 0xDF, M::Direct, 5),
    op("SUBB", P2, 0xE0, M::IndexedY, 5),
    op("CMPB", P2, 0xE1, M::IndexedY, 5),
    op("SBCB", P2, 0xE2, M::IndexedY, 5),
    op("ADDD", P2, 0xE3, M::IndexedY, 7),
    op("ANDB", P2, 0xE4, M::IndexedY, 5),
    op("BITB", P2, 0xE5, M::IndexedY, 5),
    op("LDAB", P2, 0xE6, M::IndexedY, 5),
    op("STAB", P2, 0xE7, M::IndexedY, 5),
    op("EORB", P2, 0xE8, M::IndexedY, 5),
    op("ADCB", P2, 0xE9, M::IndexedY, 5),
    op("ORAB", P2, 0xEA, M::IndexedY, 5),
    op("ADDB", P2, 0xEB, M::IndexedY, 5),
    op("LDD", P2, 0xEC, M::IndexedY, 6),
    op("STD", P2, 0xED, M::IndexedY, 6),
    op("LDY", P2, 0xEE, M::IndexedY, 6),
    op("STY", P2, 0xEF, M::IndexedY, 6),
    op("LDY", P2, 0xFE, M::Extended, 6),
    op("STY", P2, 0xFF, M::Extended, 6),
    // Page 3 ($1A): CPD, and Y indexed by X.
    op("CPD", P3, 0x83, M::Immediate16, 5),
    op("CPD", P3, 0x93, M::Direct, 6),
    op("CPD", P3, 0xA3, M::IndexedX, 7),
    op("CPY", P3, 0xAC, M::IndexedX, 7),
    op("CPD", P3, 0xB3, M::Extended, 7),
    op("LDY", P3, 0xEE, M::IndexedX, 6),
    op("STY", P3, 0xEF, M::IndexedX, 6),
    // Page 4 ($CD): D and X indexed by Y.
    op("CPD", P4, 0xA3, M::IndexedY, 7),
    op("CPX", P4, 0xAC, M::IndexedY, 7),
    op("LDX", P4, 0xEE, M::IndexedY, 6),
    op("STX", P4, 0xEF, M::IndexedY, 6),
}};

// Every slot filled: a missing line would leave an empty instruction at the end.
static_assert(table.back().mnemonic == "STX" && table.back().page == Page::P4);

// Second names: the manual's logical shifts left, the unsigned branch names,
// and the short accumulator names that older sources use.
constexpr std::array<Alias, 12> aliasList = {{
    {"LSL", "ASL"},
    {"LSLA", "ASLA"},
    {"LSLB", "ASLB"},
    {"LSLD", "ASLD"},
    {"BHS", "BCC"},
    {"BLO", "BCS"},
    {"LDA", "LDAA"},
    {"LDB", "LDAB"},
    {"STA", "STAA"},
    {"STB", "STAB"},
    {"ORA", "ORAA"},
    {"ORB", "ORAB"},
}};

constexpr auto decodeTable = [] {
    std::array<std::array<std::int16_t, 256>, 4> index{};
    for (auto& page : index)
        page.fill(-1);
    for (std::size_t i = 0; i < table.size(); ++i)
        index[static_cast<int>(table[i].page)][table[i].opcode] = static_cast<std::int16_t>(i);
    return index;
}();

// A word of up to five letters or digits, upper-cased and packed into an
// integer, so that looking a mnemonic up is a few integer comparisons.
constexpr std::uint64_t packWord(std::string_view word) {
    if (word.empty() || word.size() > 5)
        return 0;
    std::uint64_t key = 0;
    for (const char c : word) {
        char u = c;
        if (u >= 'a' && u <= 'z')
            u = static_cast<char>(u - 'a' + 'A');
        else if (!((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')))
            return 0;
        key = (key << 8) | static_cast<unsigned char>(u);
    }
    return key;
}

struct Entry {
    std::uint64_t key;
    MnemonicModes modes;
};

// One entry per mnemonic and per alias, found through an open-addressing hash
// of the packed word: the editor asks for every word it colours.
class MnemonicIndex {
public:
    MnemonicIndex() {
        auto entryFor = [this](std::string_view name) -> Entry& {
            const std::uint64_t key = packWord(name);
            for (Entry& e : entries_)
                if (e.key == key)
                    return e;
            entries_.push_back({key, {name, {}}});
            return entries_.back();
        };
        entries_.reserve(table.size());
        for (const Instruction& instruction : table)
            entryFor(instruction.mnemonic).modes.byMode[static_cast<int>(instruction.mode)] =
                &instruction;
        const std::size_t named = entries_.size();
        for (const Alias& alias : aliasList) {
            for (std::size_t i = 0; i < named; ++i) {
                if (entries_[i].modes.mnemonic == alias.mnemonic) {
                    const MnemonicModes modes = entries_[i].modes;
                    entries_.push_back({packWord(alias.alias), modes});
                    break;
                }
            }
        }
        slots_.fill(-1);
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            std::size_t slot = hash(entries_[i].key);
            while (slots_[slot] >= 0)
                slot = (slot + 1) & (slotCount - 1);
            slots_[slot] = static_cast<std::int16_t>(i);
        }
    }

    const MnemonicModes* find(std::uint64_t key) const {
        for (std::size_t slot = hash(key);; slot = (slot + 1) & (slotCount - 1)) {
            const std::int16_t i = slots_[slot];
            if (i < 0)
                return nullptr;
            if (entries_[static_cast<std::size_t>(i)].key == key)
                return &entries_[static_cast<std::size_t>(i)].modes;
        }
    }

private:
    static constexpr std::size_t slotCount = 1024; // a sixth full: most words take one probe
    static std::size_t hash(std::uint64_t key) {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> 54);
    }
    std::vector<Entry> entries_;
    std::array<std::int16_t, slotCount> slots_{};
};

// Built on first use, so that a static table elsewhere may already call it.
const MnemonicIndex& mnemonicIndex() {
    static const MnemonicIndex index;
    return index;
}

} // namespace

const Instruction* decode(Page page, std::uint8_t opcode) {
    const std::int16_t i = decodeTable[static_cast<int>(page) & 3][opcode];
    return i < 0 ? nullptr : &table[static_cast<std::size_t>(i)];
}

std::span<const Instruction> instructions() {
    return table;
}

std::span<const Alias> aliases() {
    return aliasList;
}

const MnemonicModes* findMnemonic(std::string_view word) {
    const std::uint64_t key = packWord(word);
    if (key == 0)
        return nullptr;
    return mnemonicIndex().find(key);
}

bool isMnemonic(std::string_view word) {
    return findMnemonic(word) != nullptr;
}

} // namespace hc11
