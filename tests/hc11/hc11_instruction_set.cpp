// The instruction set table, against GNU's decoder and the reference cycle counts.
#include "gnu_tools.h"
#include "hc11/instruction_set.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>

namespace hc11::test {
namespace {

constexpr Page pages[] = {Page::P1, Page::P2, Page::P3, Page::P4};
constexpr int stride = 8; // the slot of each opcode in pageImage()

bool sameName(std::string_view gnu, const Instruction& instruction) {
    if (gnu == instruction.mnemonic || (gnu == "BGND" && instruction.mnemonic == "TEST"))
        return true;
    for (const Alias& alias : aliases())
        if (alias.mnemonic == instruction.mnemonic && alias.alias == gnu)
            return true;
    return false;
}

TEST(InstructionSet, EveryOpcodeOfEveryPageAsGnuDecodesIt) {
    if (!gnuToolsPresent())
        GTEST_SKIP() << gnuMissing;
    TempFolder folder;
    int legal = 0;
    for (const Page page : pages) {
        const auto file = folder / "page.bin";
        writeFile(file, pageImage(prebyteOf(page)));
        const auto dumped = objdump(file);
        ASSERT_TRUE(dumped.has_value());
        std::map<int, DumpedInstruction> decoded;
        for (const DumpedInstruction& d : *dumped)
            if (d.address % stride == 0)
                decoded[d.address / stride] = d;
        ASSERT_EQ(decoded.size(), 256u) << "objdump n'a pas tout décodé";
        for (int b = 0; b < 256; ++b) {
            const DumpedInstruction& gnu = decoded.at(b);
            const Instruction* ours = decode(page, static_cast<std::uint8_t>(b));
            const bool gnuLegal = gnu.mnemonic != ".BYTE";
            SCOPED_TRACE("page " + std::to_string(static_cast<int>(page) + 1) + " opcode " +
                         std::to_string(b) + " " + gnu.mnemonic);
            ASSERT_EQ(ours != nullptr, gnuLegal);
            if (!ours)
                continue;
            ++legal;
            EXPECT_EQ(ours->length, gnu.length);
            EXPECT_TRUE(sameName(gnu.mnemonic, *ours)) << ours->mnemonic;
        }
    }
    EXPECT_EQ(legal, 308);
}

struct Cycles {
    Page page;
    std::uint8_t opcode;
    std::string_view mnemonic;
    Mode mode;
    int cycles;
};

// Counts from Motorola's tables, chosen where a slip is likely: the 16-bit
// operations, the prebyte pages, the stack and the long-running ones.
const Cycles referenceCycles[] = {
    {Page::P1, 0x02, "IDIV", Mode::Inherent, 41},
    {Page::P1, 0x03, "FDIV", Mode::Inherent, 41},
    {Page::P1, 0x3D, "MUL", Mode::Inherent, 10},
    {Page::P1, 0x3F, "SWI", Mode::Inherent, 14},
    {Page::P1, 0x3E, "WAI", Mode::Inherent, 14},
    {Page::P1, 0x3B, "RTI", Mode::Inherent, 12},
    {Page::P1, 0x39, "RTS", Mode::Inherent, 5},
    {Page::P1, 0x38, "PULX", Mode::Inherent, 5},
    {Page::P1, 0x3C, "PSHX", Mode::Inherent, 4},
    {Page::P1, 0x27, "BEQ", Mode::Relative, 3},
    {Page::P1, 0x8D, "BSR", Mode::Relative, 6},
    {Page::P1, 0x9D, "JSR", Mode::Direct, 5},
    {Page::P1, 0xBD, "JSR", Mode::Extended, 6},
    {Page::P1, 0xAD, "JSR", Mode::IndexedX, 6},
    {Page::P2, 0xAD, "JSR", Mode::IndexedY, 7},
    {Page::P1, 0x7E, "JMP", Mode::Extended, 3},
    {Page::P2, 0x6E, "JMP", Mode::IndexedY, 4},
    {Page::P1, 0x83, "SUBD", Mode::Immediate16, 4},
    {Page::P2, 0xA3, "SUBD", Mode::IndexedY, 7},
    {Page::P1, 0xCC, "LDD", Mode::Immediate16, 3},
    {Page::P1, 0xDD, "STD", Mode::Direct, 4},
    {Page::P2, 0xCE, "LDY", Mode::Immediate16, 4},
    {Page::P2, 0xFF, "STY", Mode::Extended, 6},
    {Page::P3, 0x83, "CPD", Mode::Immediate16, 5},
    {Page::P3, 0xB3, "CPD", Mode::Extended, 7},
    {Page::P4, 0xA3, "CPD", Mode::IndexedY, 7},
    {Page::P4, 0xEE, "LDX", Mode::IndexedY, 6},
    {Page::P3, 0xEE, "LDY", Mode::IndexedX, 6},
    {Page::P1, 0x7D, "TST", Mode::Extended, 6},
    {Page::P2, 0x6D, "TST", Mode::IndexedY, 7},
    {Page::P1, 0x12, "BRSET", Mode::BitBranchDirect, 6},
    {Page::P1, 0x1C, "BSET", Mode::BitIndexedX, 7},
    {Page::P2, 0x1F, "BRCLR", Mode::BitBranchIndexedY, 8},
    {Page::P2, 0x3C, "PSHY", Mode::Inherent, 5},
    {Page::P2, 0x38, "PULY", Mode::Inherent, 6},
    {Page::P2, 0x8F, "XGDY", Mode::Inherent, 4},
    {Page::P1, 0xCF, "STOP", Mode::Inherent, 2},
};

TEST(InstructionSet, CyclesModesAndNamesOfTheReferenceTables) {
    for (const Cycles& c : referenceCycles) {
        const Instruction* i = decode(c.page, c.opcode);
        ASSERT_NE(i, nullptr) << c.mnemonic;
        EXPECT_EQ(i->mnemonic, c.mnemonic);
        EXPECT_EQ(i->mode, c.mode) << c.mnemonic;
        EXPECT_EQ(i->cycles, c.cycles) << c.mnemonic;
    }
}

// The assembler finds an opcode by name and mode: every table entry must be
// reachable that way, and a name must never hide two opcodes in one mode.
TEST(InstructionSet, EveryOpcodeIsFoundByItsNameAndMode) {
    for (const Instruction& i : instructions()) {
        const MnemonicModes* modes = findMnemonic(i.mnemonic);
        ASSERT_NE(modes, nullptr) << i.mnemonic;
        EXPECT_EQ(modes->in(i.mode), &i) << i.mnemonic;
        EXPECT_EQ(decode(i.page, i.opcode), &i) << i.mnemonic;
    }
}

struct Lookup {
    std::string_view word;
    std::string_view mnemonic; // empty when it is not one
};

const Lookup lookups[] = {
    {"ldaa", "LDAA"}, {"LdAa", "LDAA"}, {"lsl", "ASL"},     {"LSLD", "ASLD"}, {"bhs", "BCC"},
    {"BLO", "BCS"},   {"lda", "LDAA"},  {"brclr", "BRCLR"}, {"TEST", "TEST"}, {"", ""},
    {"LDAAX", ""},    {"ORG", ""},      {"EQU", ""},        {"L", ""},        {"LDA#", ""},
    {"BRSETX", ""},   {"ldaa\x80", ""}, {"INXY", ""},
};

TEST(InstructionSet, MnemonicsAndAliasesInAnyCase) {
    for (const Lookup& l : lookups) {
        const MnemonicModes* modes = findMnemonic(l.word);
        EXPECT_EQ(isMnemonic(l.word), !l.mnemonic.empty()) << l.word;
        EXPECT_EQ(modes ? modes->mnemonic : std::string_view{}, l.mnemonic) << l.word;
    }
}

} // namespace
} // namespace hc11::test
