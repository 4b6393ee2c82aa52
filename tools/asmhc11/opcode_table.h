// The 68HC11 instruction set as one table: for each mnemonic, the opcode of
// every addressing mode it has. An opcode above $FF carries its prebyte
// ($18, $1A or $CD) in the high byte.
#pragma once

#include <cstdint>
#include <string_view>

namespace asmhc11 {

enum class InstructionKind {
    Inherent,  // no operand
    Relative,  // 8-bit branch displacement
    General,   // immediate, direct, extended, indexed X and Y
    BitSet,    // BSET/BCLR: address or offset,X|Y then a mask
    BitBranch, // BRSET/BRCLR: as BitSet, then a branch target
};

inline constexpr int noOpcode = -1;

struct OpcodeEntry {
    std::string_view mnemonic; // upper case
    InstructionKind kind;
    int inherent = noOpcode; // also the opcode of a relative branch
    int immediate = noOpcode;
    int direct = noOpcode;
    int extended = noOpcode;
    int indexedX = noOpcode;
    int indexedY = noOpcode;
    bool wordImmediate = false; // immediate operand on 16 bits
};

// The entry for a mnemonic in any case, or nullptr.
const OpcodeEntry* findOpcode(std::string_view mnemonic);

// The whole table, for the tests that walk it.
struct OpcodeTable {
    const OpcodeEntry* begin;
    const OpcodeEntry* end;
};
OpcodeTable allOpcodes();

// Number of bytes an opcode takes (1, or 2 with a prebyte).
inline int opcodeLength(int opcode) {
    return opcode > 0xFF ? 2 : 1;
}

} // namespace asmhc11
