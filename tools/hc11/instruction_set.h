// The 68HC11 instruction set, written once: for every opcode of the four
// pages, its mnemonic, addressing mode, length and E-clock cycle count. The
// assembler's encoder and listing, the simulator's decoder, the disassembler
// and the editor's colouring all read this table.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace hc11 {

// The four opcode pages: no prebyte, then the prebytes $18, $1A and $CD.
enum class Page : std::uint8_t { P1 = 0, P2 = 1, P3 = 2, P4 = 3 };

inline constexpr std::uint8_t prebyteOf(Page page) {
    constexpr std::uint8_t prebytes[] = {0x00, 0x18, 0x1A, 0xCD};
    return prebytes[static_cast<int>(page)];
}

enum class Mode : std::uint8_t {
    Inherent,
    Immediate8,
    Immediate16,
    Direct,
    Extended,
    IndexedX,
    IndexedY,
    Relative,          // 8-bit signed displacement
    BitDirect,         // BSET/BCLR addr,mask
    BitIndexedX,       // BSET/BCLR off,X,mask
    BitIndexedY,       // BSET/BCLR off,Y,mask
    BitBranchDirect,   // BRSET/BRCLR addr,mask,rel
    BitBranchIndexedX, // BRSET/BRCLR off,X,mask,rel
    BitBranchIndexedY, // BRSET/BRCLR off,Y,mask,rel
};

struct Instruction {
    std::string_view mnemonic; // upper case, the reference manual's name
    Page page;
    std::uint8_t opcode;
    Mode mode;
    std::uint8_t length; // bytes, prebyte included
    std::uint8_t cycles; // E cycles (a branch takes the same taken or not)
};

// The instruction of an opcode on a page, or nullptr for an illegal opcode.
const Instruction* decode(Page page, std::uint8_t opcode);

// Every legal opcode, page by page in opcode order.
std::span<const Instruction> instructions();

// Second names of an opcode (LSLA for ASLA, ...): each pair is
// {alias, mnemonic of the table}.
struct Alias {
    std::string_view alias;
    std::string_view mnemonic;
};
std::span<const Alias> aliases();

// Every addressing mode of one mnemonic: the instruction of each mode it has,
// nullptr for the others. An alias leads to the modes of its mnemonic.
inline constexpr int modeCount = static_cast<int>(Mode::BitBranchIndexedY) + 1;
struct MnemonicModes {
    std::string_view mnemonic; // the table's name
    std::array<const Instruction*, modeCount> byMode{};
    const Instruction* in(Mode mode) const { return byMode[static_cast<int>(mode)]; }
};

// The modes of a mnemonic or alias in any case, or nullptr.
const MnemonicModes* findMnemonic(std::string_view word);

// True when the word, in any case, is a mnemonic or an alias.
bool isMnemonic(std::string_view word);

} // namespace hc11
