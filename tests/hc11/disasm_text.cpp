// The disassembler: its text for each addressing mode, and every opcode of
// the table read back by the assembler into the same bytes.
#include "hc11/disassembler.h"

#include "asmhc11/assembler.h"
#include "asmhc11/encoding.h"

#include <gtest/gtest.h>

#include <vector>

namespace hc11 {
namespace {

Disassembly at(std::uint16_t address, const std::vector<std::uint8_t>& bytes) {
    return disassemble(address, [&](std::uint16_t a) -> std::uint8_t {
        const unsigned k = static_cast<std::uint16_t>(a - address);
        return k < bytes.size() ? bytes[k] : 0xFF;
    });
}

TEST(Disassembler, TextOfEachMode) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        const char* text;
    };
    const Case cases[] = {
        {{0x01}, "NOP"},
        {{0x86, 0x12}, "LDAA  #$12"},
        {{0xCC, 0x12, 0x34}, "LDD   #$1234"},
        {{0x96, 0x40}, "LDAA  $40"},
        {{0xB6, 0x10, 0x2E}, "LDAA  $102E"},
        {{0xB6, 0x00, 0x40}, "LDAA  >$0040"}, // would read back as direct
        {{0xA6, 0x05}, "LDAA  $05,X"},
        {{0x18, 0xA6, 0x05}, "LDAA  $05,Y"},
        {{0x1A, 0x83, 0x00, 0x10}, "CPD   #$0010"},
        {{0xCD, 0xEE, 0x02}, "LDX   $02,Y"},
        {{0x20, 0xFE}, "BRA   $E000"},
        {{0x26, 0x10}, "BNE   $E012"},
        {{0x14, 0x40, 0x81}, "BSET  $40,#$81"},
        {{0x1D, 0x03, 0x01}, "BCLR  $03,X,#$01"},
        {{0x12, 0x2E, 0x20, 0xFC}, "BRSET $2E,#$20,$E000"},
        {{0x18, 0x1F, 0x00, 0x80, 0xFB}, "BRCLR $00,Y,#$80,$E000"},
        {{0x41}, "FCB $41"},
        {{0x18, 0x41}, "FCB $18"}, // a prebyte before no instruction stands alone
    };
    for (const Case& c : cases) {
        const Disassembly d = at(0xE000, c.bytes);
        EXPECT_EQ(d.text, c.text);
        if (d.instruction) {
            EXPECT_EQ(d.length, c.bytes.size()) << c.text;
        } else {
            EXPECT_EQ(d.length, 1) << c.text;
        }
    }
}

TEST(Disassembler, EveryOpcodeReadsBackIntoTheSameBytes) {
    for (const Instruction& ins : instructions()) {
        for (const std::uint8_t fill :
             {std::uint8_t{0x00}, std::uint8_t{0x5A}, std::uint8_t{0xF0}}) {
            std::vector<std::uint8_t> bytes;
            if (ins.page != Page::P1)
                bytes.push_back(prebyteOf(ins.page));
            bytes.push_back(ins.opcode);
            while (bytes.size() < ins.length)
                bytes.push_back(static_cast<std::uint8_t>(fill + bytes.size()));
            const Disassembly d = at(0x2000, bytes);
            ASSERT_EQ(d.instruction, &ins) << d.text;
            const asmhc11::Result back =
                asmhc11::assembleSource(" ORG $2000\n " + d.text + "\n", asmhc11::Mode::S19);
            ASSERT_TRUE(back.ok())
                << d.text << " : " << asmhc11::cp1252ToUtf8(back.errors.front().message);
            const std::vector<std::uint8_t> assembled(back.memory.begin() + 0x2000,
                                                      back.memory.begin() + 0x2000 +
                                                          static_cast<long>(bytes.size()));
            EXPECT_EQ(assembled, bytes) << d.text;
            EXPECT_EQ(back.byteCount, bytes.size()) << d.text;
        }
    }
}

} // namespace
} // namespace hc11
