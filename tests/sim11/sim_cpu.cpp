// The CPU, instruction group by instruction group: results and condition
// codes after short programs, and the E cycles of every opcode.
#include "sim_support.h"

#include "hc11/instruction_set.h"

#include <gtest/gtest.h>

namespace sim11::test {
namespace {

struct Case {
    const char* what;
    const char* source;   // lines of a program; STOP is added
    const char* expected; // A, B, X, Y and CCR after it (reset leaves CCR=$D0)
};

// The reference manual's condition codes, one plausible slip per row.
const Case cases[] = {
    // 8-bit additions: H, N, Z, V, C
    {"ADDA half carry and overflow", " LDAA #$7F\n ADDA #$01", "A=80 B=00 X=0000 Y=0000 CCR=FA"},
    {"ADDA carry to zero", " LDAA #$FF\n ADDA #$01", "A=00 B=00 X=0000 Y=0000 CCR=F5"},
    {"ADCA adds the carry", " SEC\n LDAA #$10\n ADCA #$10", "A=21 B=00 X=0000 Y=0000 CCR=D0"},
    {"ABA half carry", " LDAA #$08\n LDAB #$08\n ABA", "A=10 B=08 X=0000 Y=0000 CCR=F0"},
    // subtractions and compares
    {"SUBA borrow", " LDAA #$00\n SUBA #$01", "A=FF B=00 X=0000 Y=0000 CCR=D9"},
    {"SUBA overflow", " LDAA #$80\n SUBA #$01", "A=7F B=00 X=0000 Y=0000 CCR=D2"},
    {"SBCA takes the borrow", " SEC\n LDAA #$10\n SBCA #$0F", "A=00 B=00 X=0000 Y=0000 CCR=D4"},
    {"CMPA equal leaves A", " LDAA #$42\n CMPA #$42", "A=42 B=00 X=0000 Y=0000 CCR=D4"},
    {"CBA", " LDAA #$01\n LDAB #$02\n CBA", "A=01 B=02 X=0000 Y=0000 CCR=D9"},
    {"SBA", " LDAA #$05\n LDAB #$03\n SBA", "A=02 B=03 X=0000 Y=0000 CCR=D0"},
    // decimal adjust: H and C decide, V is kept
    {"DAA low digit", " LDAA #$19\n ADDA #$28\n DAA", "A=47 B=00 X=0000 Y=0000 CCR=F0"},
    {"DAA both digits to carry", " LDAA #$99\n ADDA #$01\n DAA", "A=00 B=00 X=0000 Y=0000 CCR=D5"},
    {"DAA high digit", " LDAA #$50\n ADDA #$60\n DAA", "A=10 B=00 X=0000 Y=0000 CCR=D3"},
    // logic: V cleared, C kept
    {"ANDA", " SEC\n LDAA #$F0\n ANDA #$0F", "A=00 B=00 X=0000 Y=0000 CCR=D5"},
    {"EORA", " LDAA #$FF\n EORA #$0F", "A=F0 B=00 X=0000 Y=0000 CCR=D8"},
    {"BITA leaves A", " LDAA #$80\n BITA #$80", "A=80 B=00 X=0000 Y=0000 CCR=D8"},
    {"COMA sets C", " LDAA #$0F\n COMA", "A=F0 B=00 X=0000 Y=0000 CCR=D9"},
    // negate, increment, decrement, test, clear
    {"NEGA of $80 overflows", " LDAA #$80\n NEGA", "A=80 B=00 X=0000 Y=0000 CCR=DB"},
    {"NEGA of zero, no carry", " CLRA\n NEGA", "A=00 B=00 X=0000 Y=0000 CCR=D4"},
    {"INCA overflow keeps C", " SEC\n LDAA #$7F\n INCA", "A=80 B=00 X=0000 Y=0000 CCR=DB"},
    {"DECB overflow", " LDAB #$80\n DECB", "A=00 B=7F X=0000 Y=0000 CCR=D2"},
    {"TSTA clears C", " SEC\n CLRA\n TSTA", "A=00 B=00 X=0000 Y=0000 CCR=D4"},
    {"CLRB clears C", " SEC\n LDAB #$55\n CLRB", "A=00 B=00 X=0000 Y=0000 CCR=D4"},
    // shifts and rotates: V = N xor C
    {"ASLA carry out, no overflow", " LDAA #$C0\n ASLA", "A=80 B=00 X=0000 Y=0000 CCR=D9"},
    {"ASLA overflow", " LDAA #$40\n ASLA", "A=80 B=00 X=0000 Y=0000 CCR=DA"},
    {"LSRA to zero", " LDAA #$01\n LSRA", "A=00 B=00 X=0000 Y=0000 CCR=D7"},
    {"RORA brings C in", " SEC\n LDAA #$02\n RORA", "A=81 B=00 X=0000 Y=0000 CCR=DA"},
    {"ROLB", " SEC\n LDAB #$80\n ROLB", "A=00 B=01 X=0000 Y=0000 CCR=D3"},
    {"ASRA keeps the sign", " LDAA #$81\n ASRA", "A=C0 B=00 X=0000 Y=0000 CCR=D9"},
    {"ASLD", " LDD #$C000\n ASLD", "A=80 B=00 X=0000 Y=0000 CCR=D9"},
    {"LSRD", " LDD #$0001\n LSRD", "A=00 B=00 X=0000 Y=0000 CCR=D7"},
    {"ROR in memory", " SEC\n LDAA #$01\n STAA $80\n ROR $80\n LDAB $80",
     "A=01 B=80 X=0000 Y=0000 CCR=D9"},
    // 16-bit arithmetic and compares on every page
    {"ADDD overflow", " LDD #$7FFF\n ADDD #$0001", "A=80 B=00 X=0000 Y=0000 CCR=DA"},
    {"SUBD borrow", " LDD #$0000\n SUBD #$0001", "A=FF B=FF X=0000 Y=0000 CCR=D9"},
    {"CPX", " LDX #$1234\n CPX #$1235", "A=00 B=00 X=1234 Y=0000 CCR=D9"},
    {"CPY (page $18)", " LDY #$0002\n CPY #$0003", "A=00 B=00 X=0000 Y=0002 CCR=D9"},
    {"CPD (page $1A)", " LDD #$5000\n CPD #$5000", "A=50 B=00 X=0000 Y=0000 CCR=D4"},
    {"CPD indexed by Y (page $CD)",
     " LDY #$2100\n LDD #$BEEF\n CPD 0,Y\n STOP\n ORG $2100\n FDB $BEF0",
     "A=BE B=EF X=0000 Y=2100 CCR=D9"},
    {"LDX indexed by Y (page $CD)", " LDY #$2100\n LDX 0,Y\n STOP\n ORG $2100\n FDB $8001",
     "A=00 B=00 X=8001 Y=2100 CCR=D8"},
    {"STY indexed by X (page $1A)", " LDX #$80\n LDY #$0000\n STY 0,X\n LDD $80",
     "A=00 B=00 X=0080 Y=0000 CCR=D4"},
    {"CPY indexed by X (page $1A)",
     " LDX #$2100\n LDY #$0005\n CPY 0,X\n STOP\n ORG $2100\n FDB $0005",
     "A=00 B=00 X=2100 Y=0005 CCR=D4"},
    {"LDD clears V", " SEV\n LDD #$8000", "A=80 B=00 X=0000 Y=0000 CCR=D8"},
    {"INX to zero sets only Z", " SEC\n LDX #$FFFF\n INX", "A=00 B=00 X=0000 Y=0000 CCR=DD"},
    {"DEY", " LDY #$0001\n DEY", "A=00 B=00 X=0000 Y=0000 CCR=D4"},
    // multiply and divide
    {"MUL, C from bit 7 of B", " LDAA #$10\n LDAB #$08\n MUL", "A=00 B=80 X=0000 Y=0000 CCR=D1"},
    {"MUL", " LDAA #$FF\n LDAB #$FF\n MUL", "A=FE B=01 X=0000 Y=0000 CCR=D8"},
    {"IDIV", " LDD #1000\n LDX #7\n IDIV", "A=00 B=06 X=008E Y=0000 CCR=D0"},
    {"IDIV zero quotient", " LDD #3\n LDX #7\n IDIV", "A=00 B=03 X=0000 Y=0000 CCR=D4"},
    {"IDIV by zero", " LDD #$1234\n LDX #0\n IDIV", "A=12 B=34 X=FFFF Y=0000 CCR=D1"},
    {"FDIV", " LDD #$4000\n LDX #$8000\n FDIV", "A=00 B=00 X=8000 Y=0000 CCR=D8"},
    {"FDIV overflow", " LDD #$8000\n LDX #$4000\n FDIV", "A=80 B=00 X=FFFF Y=0000 CCR=D2"},
    {"FDIV by zero", " LDD #$0001\n LDX #0\n FDIV", "A=00 B=01 X=FFFF Y=0000 CCR=D1"},
    // transfers and exchanges
    {"TAB flags", " LDAA #$80\n TAB", "A=80 B=80 X=0000 Y=0000 CCR=D8"},
    {"XGDX", " LDD #$1234\n LDX #$5678\n XGDX", "A=56 B=78 X=1234 Y=0000 CCR=D0"},
    {"XGDY", " LDD #$1234\n LDY #$5678\n XGDY", "A=56 B=78 X=0000 Y=1234 CCR=D0"},
    {"ABX unsigned", " LDX #$00F0\n LDAB #$FF\n ABX", "A=00 B=FF X=01EF Y=0000 CCR=D8"},
    {"ABY", " LDY #$0010\n LDAB #$10\n ABY", "A=00 B=10 X=0000 Y=0020 CCR=D0"},
    {"TSX is SP+1", " LDS #$0150\n TSX", "A=00 B=00 X=0151 Y=0000 CCR=D0"},
    {"TYS then TSX", " LDY #$0160\n TYS\n TSX", "A=00 B=00 X=0160 Y=0160 CCR=D0"},
    {"PSHX, PULY", " LDX #$ABCD\n PSHX\n PULY", "A=00 B=00 X=ABCD Y=ABCD CCR=D8"},
    {"JSR, RTS", " JSR SUB\n LDAB #2\n STOP\nSUB LDAA #1\n RTS", "A=01 B=02 X=0000 Y=0000 CCR=D0"},
    {"BSR", " BSR SUB\n LDAB #2\n STOP\nSUB LDAA #1\n RTS", "A=01 B=02 X=0000 Y=0000 CCR=D0"},
    // the condition codes register itself: X can be cleared, never set
    {"TAP cannot set X", " CLRA\n TAP\n LDAA #$FF\n TAP\n TPA", "A=BF B=00 X=0000 Y=0000 CCR=BF"},
    {"TAP keeps X when set", " LDAA #$C0\n TAP\n TPA", "A=C0 B=00 X=0000 Y=0000 CCR=C0"},
    // bit manipulation
    {"BSET, BRSET taken",
     " BSET $80,#$81\n LDAA $80\n BRSET $80,#$01,YES\n LDAB #1\n STOP\nYES LDAB #2",
     "A=81 B=02 X=0000 Y=0000 CCR=D0"},
    {"BRSET needs every bit",
     " LDAA #$01\n STAA $80\n BRSET $80,#$03,YES\n LDAB #1\n STOP\nYES LDAB #2",
     "A=01 B=01 X=0000 Y=0000 CCR=D0"},
    {"BCLR, BRCLR indexed by Y",
     " LDY #$0080\n LDAA #$FF\n STAA 1,Y\n BCLR 1,Y,#$F0\n"
     " BRCLR 1,Y,#$F0,YES\n LDAB #1\n STOP\nYES LDAB #2",
     "A=FF B=02 X=0000 Y=0080 CCR=D0"},
    // branches, signed and unsigned
    {"BLT signed", " LDAA #$80\n CMPA #$01\n BLT YES\n LDAB #1\n STOP\nYES LDAB #2",
     "A=80 B=02 X=0000 Y=0000 CCR=D0"},
    {"BHI unsigned", " LDAA #$80\n CMPA #$01\n BHI YES\n LDAB #1\n STOP\nYES LDAB #2",
     "A=80 B=02 X=0000 Y=0000 CCR=D0"},
    {"BGT not on equal", " LDAA #$05\n CMPA #$05\n BGT YES\n LDAB #1\n STOP\nYES LDAB #2",
     "A=05 B=01 X=0000 Y=0000 CCR=D0"},
    {"BLE on equal", " LDAA #$05\n CMPA #$05\n BLE YES\n LDAB #1\n STOP\nYES LDAB #2",
     "A=05 B=02 X=0000 Y=0000 CCR=D0"},
    {"BRN never", " BRN YES\n LDAB #1\n STOP\nYES LDAB #2", "A=00 B=01 X=0000 Y=0000 CCR=D0"},
    {"backward branch loop", " LDAB #5\nL DECB\n BNE L", "A=00 B=00 X=0000 Y=0000 CCR=D4"},
};

class Instructions : public ::testing::TestWithParam<Case> {};

TEST_P(Instructions, ResultAndConditionCodes) {
    const Case& c = GetParam();
    auto m = program(std::string(c.source) + "\n STOP");
    runToStop(*m);
    EXPECT_EQ(registers(*m), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Groups, Instructions, ::testing::ValuesIn(cases));

// One table for the listing and the simulator: each opcode, run once with
// operands that stay in RAM, takes exactly the table's E cycles.
TEST(Cycles, EveryOpcodeTakesTheTablesCycles) {
    int checked = 0;
    for (const hc11::Instruction& ins : hc11::instructions()) {
        if (ins.cycles == 0)
            continue; // TEST: test modes only
        Machine m(Chip::E9, Mode::Expanded);
        std::uint16_t at = 0x2000;
        if (ins.page != hc11::Page::P1)
            m.load(at++, hc11::prebyteOf(ins.page));
        m.load(at++, ins.opcode);
        // Operand bytes of zero: direct $00, extended $0000, offset 0 from
        // X = Y = $0100, branch to the next instruction.
        for (unsigned k = at - 0x2000u; k < ins.length; ++k)
            m.load(at++, 0);
        m.load(0xFFF6, 0x30); // vectors for SWI and the like: anywhere in RAM
        m.regs().pc = 0x2000;
        m.regs().x = m.regs().y = 0x0100;
        m.regs().sp = 0x01F0;
        m.regs().ccr = 0xD0;
        const std::uint64_t before = m.cycles();
        m.step();
        EXPECT_EQ(m.cycles() - before, ins.cycles)
            << ins.mnemonic << " page " << int(ins.page) << " opcode $" << hex(ins.opcode);
        ++checked;
    }
    EXPECT_GT(checked, 300);
}

TEST(Cycles, ProgramTotalIsTheSumOfItsInstructions) {
    // LDAA # (2) + ADDA ext (4) + STAA dir (3) + BRA (3) + NOP (2) + STOP (2)
    auto m = program(" LDAA #1\n ADDA $2100\n STAA $80\n BRA L\nL NOP\n STOP");
    const std::uint64_t before = m->cycles();
    runToStop(*m);
    EXPECT_EQ(m->cycles() - before, 16u);
}

TEST(Illegal, OpcodeTrapsThroughItsVectorWithTheOpcodesAddressStacked) {
    auto m = program(" FCB $41\n ORG $3000\n LDAA #$11\n STOP\n ORG $FFF8\n FDB $3000");
    m->regs().pc = 0x2000;
    m->regs().sp = 0x01FF;
    m->step();
    EXPECT_EQ(m->regs().pc, 0x3000);
    EXPECT_EQ(m->regs().sp, 0x01F6);
    EXPECT_EQ(m->peek(0x01FE), 0x20); // stacked PC: the illegal opcode itself
    EXPECT_EQ(m->peek(0x01FF), 0x00);
    EXPECT_TRUE(m->regs().ccr & ccr::I);
}

TEST(Illegal, OpcodeAfterAPrebyteTraps) {
    auto m = program(" FCB $18,$00\n ORG $FFF8\n FDB $3000");
    m->regs().pc = 0x2000;
    m->step();
    EXPECT_EQ(m->regs().pc, 0x3000);
}

TEST(Test, OpcodeIsIllegalOutsideTheTestModes) {
    auto m = program(" FCB $00\n ORG $FFF8\n FDB $3000");
    m->regs().pc = 0x2000;
    m->step();
    EXPECT_EQ(m->regs().pc, 0x3000);
}

TEST(Stop, EndsTheRunAndStopsTheClocksOnlyWithSClear) {
    auto m = program(" STOP");
    EXPECT_EQ(m->run(1000), Halt::Stop);
    EXPECT_FALSE(m->stopped()); // S set since reset: STOP acts as NOP
    EXPECT_EQ(m->regs().pc, 0x2001);

    auto n = program(" LDAA #$50\n TAP\n STOP\n NOP");
    EXPECT_EQ(n->run(1000), Halt::Stop);
    EXPECT_TRUE(n->stopped());
    EXPECT_EQ(n->run(2000), Halt::Stop); // stays stopped
}

} // namespace
} // namespace sim11::test
