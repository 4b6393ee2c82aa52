#include "opcode_table.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace asmhc11 {

namespace {

using K = InstructionKind;
constexpr int N = noOpcode;

constexpr OpcodeEntry inh(std::string_view m, int op) {
    return {m, K::Inherent, op};
}
constexpr OpcodeEntry rel(std::string_view m, int op) {
    return {m, K::Relative, op};
}
// Operations on memory and registers: immediate, direct, extended, ,X and ,Y.
constexpr OpcodeEntry gen(std::string_view m, int imm, int dir, int ext, int ix, int iy,
                          bool word = false) {
    return {m, K::General, N, imm, dir, ext, ix, iy, word};
}
// Read-modify-write on memory and JMP: extended and indexed only.
constexpr OpcodeEntry mem(std::string_view m, int ext, int ix) {
    return {m, K::General, N, N, N, ext, ix, 0x1800 | ix};
}
constexpr OpcodeEntry bit(std::string_view m, K kind, int dir, int ix) {
    return {m, kind, N, N, dir, N, ix, 0x1800 | ix};
}

// Sorted by mnemonic when the table is first used, so the order here follows
// the opcode map for easy checking against the reference manual.
constexpr std::array table = {
    // Inherent, page 1 ($00-$3F).
    inh("TEST", 0x00),
    inh("NOP", 0x01),
    inh("IDIV", 0x02),
    inh("FDIV", 0x03),
    inh("LSRD", 0x04),
    inh("ASLD", 0x05),
    inh("LSLD", 0x05),
    inh("TAP", 0x06),
    inh("TPA", 0x07),
    inh("INX", 0x08),
    inh("DEX", 0x09),
    inh("CLV", 0x0A),
    inh("SEV", 0x0B),
    inh("CLC", 0x0C),
    inh("SEC", 0x0D),
    inh("CLI", 0x0E),
    inh("SEI", 0x0F),
    inh("SBA", 0x10),
    inh("CBA", 0x11),
    inh("TAB", 0x16),
    inh("TBA", 0x17),
    inh("DAA", 0x19),
    inh("ABA", 0x1B),
    inh("TSX", 0x30),
    inh("INS", 0x31),
    inh("PULA", 0x32),
    inh("PULB", 0x33),
    inh("DES", 0x34),
    inh("TXS", 0x35),
    inh("PSHA", 0x36),
    inh("PSHB", 0x37),
    inh("PULX", 0x38),
    inh("RTS", 0x39),
    inh("ABX", 0x3A),
    inh("RTI", 0x3B),
    inh("PSHX", 0x3C),
    inh("MUL", 0x3D),
    inh("WAI", 0x3E),
    inh("SWI", 0x3F),
    // Inherent on the accumulators ($40-$5F).
    inh("NEGA", 0x40),
    inh("COMA", 0x43),
    inh("LSRA", 0x44),
    inh("RORA", 0x46),
    inh("ASRA", 0x47),
    inh("ASLA", 0x48),
    inh("LSLA", 0x48),
    inh("ROLA", 0x49),
    inh("DECA", 0x4A),
    inh("INCA", 0x4C),
    inh("TSTA", 0x4D),
    inh("CLRA", 0x4F),
    inh("NEGB", 0x50),
    inh("COMB", 0x53),
    inh("LSRB", 0x54),
    inh("RORB", 0x56),
    inh("ASRB", 0x57),
    inh("ASLB", 0x58),
    inh("LSLB", 0x58),
    inh("ROLB", 0x59),
    inh("DECB", 0x5A),
    inh("INCB", 0x5C),
    inh("TSTB", 0x5D),
    inh("CLRB", 0x5F),
    inh("XGDX", 0x8F),
    inh("STOP", 0xCF),
    // Inherent with the Y prebyte.
    inh("INY", 0x1808),
    inh("DEY", 0x1809),
    inh("TSY", 0x1830),
    inh("TYS", 0x1835),
    inh("PULY", 0x1838),
    inh("ABY", 0x183A),
    inh("PSHY", 0x183C),
    inh("XGDY", 0x188F),
    // Relative branches.
    rel("BRA", 0x20),
    rel("BRN", 0x21),
    rel("BHI", 0x22),
    rel("BLS", 0x23),
    rel("BCC", 0x24),
    rel("BHS", 0x24),
    rel("BCS", 0x25),
    rel("BLO", 0x25),
    rel("BNE", 0x26),
    rel("BEQ", 0x27),
    rel("BVC", 0x28),
    rel("BVS", 0x29),
    rel("BPL", 0x2A),
    rel("BMI", 0x2B),
    rel("BGE", 0x2C),
    rel("BLT", 0x2D),
    rel("BGT", 0x2E),
    rel("BLE", 0x2F),
    rel("BSR", 0x8D),
    // Bit manipulation: direct, ,X and ,Y.
    bit("BRSET", K::BitBranch, 0x12, 0x1E),
    bit("BRCLR", K::BitBranch, 0x13, 0x1F),
    bit("BSET", K::BitSet, 0x14, 0x1C),
    bit("BCLR", K::BitSet, 0x15, 0x1D),
    // Memory read-modify-write ($60-$7F).
    mem("NEG", 0x70, 0x60),
    mem("COM", 0x73, 0x63),
    mem("LSR", 0x74, 0x64),
    mem("ROR", 0x76, 0x66),
    mem("ASR", 0x77, 0x67),
    mem("ASL", 0x78, 0x68),
    mem("LSL", 0x78, 0x68),
    mem("ROL", 0x79, 0x69),
    mem("DEC", 0x7A, 0x6A),
    mem("INC", 0x7C, 0x6C),
    mem("TST", 0x7D, 0x6D),
    mem("JMP", 0x7E, 0x6E),
    mem("CLR", 0x7F, 0x6F),
    // Accumulator A and 16-bit registers ($80-$BF).
    gen("SUBA", 0x80, 0x90, 0xB0, 0xA0, 0x18A0),
    gen("CMPA", 0x81, 0x91, 0xB1, 0xA1, 0x18A1),
    gen("SBCA", 0x82, 0x92, 0xB2, 0xA2, 0x18A2),
    gen("SUBD", 0x83, 0x93, 0xB3, 0xA3, 0x18A3, true),
    gen("ANDA", 0x84, 0x94, 0xB4, 0xA4, 0x18A4),
    gen("BITA", 0x85, 0x95, 0xB5, 0xA5, 0x18A5),
    gen("LDAA", 0x86, 0x96, 0xB6, 0xA6, 0x18A6),
    gen("LDA", 0x86, 0x96, 0xB6, 0xA6, 0x18A6),
    gen("STAA", N, 0x97, 0xB7, 0xA7, 0x18A7),
    gen("STA", N, 0x97, 0xB7, 0xA7, 0x18A7),
    gen("EORA", 0x88, 0x98, 0xB8, 0xA8, 0x18A8),
    gen("ADCA", 0x89, 0x99, 0xB9, 0xA9, 0x18A9),
    gen("ORAA", 0x8A, 0x9A, 0xBA, 0xAA, 0x18AA),
    gen("ORA", 0x8A, 0x9A, 0xBA, 0xAA, 0x18AA),
    gen("ADDA", 0x8B, 0x9B, 0xBB, 0xAB, 0x18AB),
    gen("CPX", 0x8C, 0x9C, 0xBC, 0xAC, 0xCDAC, true),
    gen("JSR", N, 0x9D, 0xBD, 0xAD, 0x18AD),
    gen("LDS", 0x8E, 0x9E, 0xBE, 0xAE, 0x18AE, true),
    gen("STS", N, 0x9F, 0xBF, 0xAF, 0x18AF),
    // Accumulator B and D, X ($C0-$FF).
    gen("SUBB", 0xC0, 0xD0, 0xF0, 0xE0, 0x18E0),
    gen("CMPB", 0xC1, 0xD1, 0xF1, 0xE1, 0x18E1),
    gen("SBCB", 0xC2, 0xD2, 0xF2, 0xE2, 0x18E2),
    gen("ADDD", 0xC3, 0xD3, 0xF3, 0xE3, 0x18E3, true),
    gen("ANDB", 0xC4, 0xD4, 0xF4, 0xE4, 0x18E4),
    gen("BITB", 0xC5, 0xD5, 0xF5, 0xE5, 0x18E5),
    gen("LDAB", 0xC6, 0xD6, 0xF6, 0xE6, 0x18E6),
    gen("LDB", 0xC6, 0xD6, 0xF6, 0xE6, 0x18E6),
    gen("STAB", N, 0xD7, 0xF7, 0xE7, 0x18E7),
    gen("STB", N, 0xD7, 0xF7, 0xE7, 0x18E7),
    gen("EORB", 0xC8, 0xD8, 0xF8, 0xE8, 0x18E8),
    gen("ADCB", 0xC9, 0xD9, 0xF9, 0xE9, 0x18E9),
    gen("ORAB", 0xCA, 0xDA, 0xFA, 0xEA, 0x18EA),
    gen("ORB", 0xCA, 0xDA, 0xFA, 0xEA, 0x18EA),
    gen("ADDB", 0xCB, 0xDB, 0xFB, 0xEB, 0x18EB),
    gen("LDD", 0xCC, 0xDC, 0xFC, 0xEC, 0x18EC, true),
    gen("STD", N, 0xDD, 0xFD, 0xED, 0x18ED),
    gen("LDX", 0xCE, 0xDE, 0xFE, 0xEE, 0xCDEE, true),
    gen("STX", N, 0xDF, 0xFF, 0xEF, 0xCDEF),
    // The other pages: CPD, and Y as a register.
    gen("CPD", 0x1A83, 0x1A93, 0x1AB3, 0x1AA3, 0xCDA3, true),
    gen("CPY", 0x188C, 0x189C, 0x18BC, 0x1AAC, 0x18AC, true),
    gen("LDY", 0x18CE, 0x18DE, 0x18FE, 0x1AEE, 0x18EE, true),
    gen("STY", N, 0x18DF, 0x18FF, 0x1AEF, 0x18EF),
};

const std::array<OpcodeEntry, table.size()>& sortedTable() {
    static const auto sorted = [] {
        auto copy = table;
        std::sort(copy.begin(), copy.end(), [](const OpcodeEntry& a, const OpcodeEntry& b) {
            return a.mnemonic < b.mnemonic;
        });
        return copy;
    }();
    return sorted;
}

} // namespace

const OpcodeEntry* findOpcode(std::string_view mnemonic) {
    if (mnemonic.empty() || mnemonic.size() > 5)
        return nullptr;
    std::string upper(mnemonic);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const auto& sorted = sortedTable();
    const auto it = std::lower_bound(
        sorted.begin(), sorted.end(), upper,
        [](const OpcodeEntry& e, const std::string& key) { return e.mnemonic < key; });
    if (it == sorted.end() || it->mnemonic != upper)
        return nullptr;
    return &*it;
}

OpcodeTable allOpcodes() {
    const auto& sorted = sortedTable();
    return {sorted.data(), sorted.data() + sorted.size()};
}

} // namespace asmhc11
