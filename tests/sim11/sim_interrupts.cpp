// Interrupts: stacking, vectors, masks, priorities and their E cycles.
#include "sim_support.h"

#include <gtest/gtest.h>

namespace sim11::test {
namespace {

// Vectors of every source pointing at handlers that load a tag into B.
const char* handlers = R"(
 ORG $3000
HSWI LDAB #$01
 STOP
HIRQ LDAB #$02
 STOP
HXIRQ LDAB #$03
 STOP
HRTI LDAB #$04
 STOP
HOC1 LDAB #$05
 STOP
HSCI LDAB #$06
 STOP
 ORG $FFD6
 FDB HSCI
 ORG $FFE8
 FDB HOC1
 ORG $FFF0
 FDB HRTI,HIRQ,HXIRQ,HSWI
)";

TEST(Swi, StacksEveryRegisterInOrderAndMasksI) {
    auto m = program(std::string(" LDAA #$AA\n LDAB #$BB\n LDX #$1234\n LDY #$5678\n CLI\n SWI\n") +
                     handlers);
    for (int k = 0; k < 5; ++k)
        m->step();
    const std::uint64_t before = m->cycles();
    m->step();
    EXPECT_EQ(m->cycles() - before, 14u);
    EXPECT_EQ(m->regs().sp, 0x01FF - 9);
    const std::uint8_t stacked[9] = {0xC0, 0xBB, 0xAA, 0x12, 0x34, 0x56, 0x78, 0x20, 0x0D};
    for (int k = 0; k < 9; ++k)
        EXPECT_EQ(m->peek(static_cast<std::uint16_t>(0x01F7 + k)), stacked[k]) << "octet " << k;
    EXPECT_EQ(m->regs().pc, 0x3000);
    EXPECT_TRUE(m->regs().ccr & ccr::I);
}

TEST(Rti, RestoresEverythingInTwelveCycles) {
    auto m = program(R"( LDS #$01F6
 RTI
 ORG $01F7
 FCB $C1,$22,$11,$33,$44,$55,$66,$40,$00
 ORG $4000
 STOP)");
    m->step();
    const std::uint64_t before = m->cycles();
    m->step();
    EXPECT_EQ(m->cycles() - before, 12u);
    EXPECT_EQ(registers(*m), "A=11 B=22 X=3344 Y=5566 CCR=C1");
    EXPECT_EQ(m->regs().pc, 0x4000);
    EXPECT_EQ(m->regs().sp, 0x01FF);
}

TEST(Irq, TakenOnlyWithIClearAfterTheCurrentInstruction) {
    auto m = program(std::string(" NOP\n NOP\n CLI\n NOP\n BRA *\n") + handlers);
    m->setIrqLine(true);
    m->step();
    m->step();
    EXPECT_EQ(m->regs().pc, 0x2002) << "I set: no interrupt";
    m->step(); // CLI
    const std::uint64_t before = m->cycles();
    m->step(); // the interrupt entry
    EXPECT_EQ(m->regs().pc, 0x3003);
    EXPECT_EQ(m->cycles() - before, 12u);
    runToStop(*m);
    EXPECT_EQ(m->regs().b, 0x02);
}

TEST(Irq, LevelModeReentersWhileHeldEdgeModeOncePerEdge) {
    for (const bool edge : {false, true}) {
        auto m = program(std::string(" LDAA #$") + (edge ? "30" : "10") +
                         "\n STAA $1039\n CLI\nL BRA L\nH INC $80\n RTI\n ORG $FFF2\n FDB H");
        m->setIrqLine(true);
        m->run(m->cycles() + 2000);
        if (edge)
            EXPECT_EQ(m->peek(0x80), 1) << "IRQE";
        else
            EXPECT_GT(m->peek(0x80), 10) << "level";
    }
}

TEST(Xirq, MaskedUntilTapClearsXThenBeatsIrqAndSetsBothMasks) {
    auto m = program(std::string(" LDAA #$00\n TAP\n BRA *\n") + handlers);
    m->setXirqLine(true);
    m->setIrqLine(true);
    m->step();
    m->step(); // TAP
    m->step(); // XIRQ first
    EXPECT_EQ(m->regs().pc, 0x3006);
    EXPECT_EQ(m->regs().ccr & (ccr::X | ccr::I), ccr::X | ccr::I);
}

TEST(Priority, RtiBeforeOutputCompareUnlessHprioPromotesIt) {
    for (const bool promote : {false, true}) {
        // Both flags and masks set with I still set, then CLI.
        auto m = program(
            std::string(" LDAA #$40\n STAA $1025\n STAA $1024\n LDAA #$80\n STAA $1022\n") +
            (promote ? " LDAA #$0B\n STAA $103C\n" : "") +
            " LDX #$1000\nW BRCLR $25,X,#$40,W\nV BRCLR $23,X,#$80,V\n CLI\n BRA *\n" + handlers);
        runToStop(*m, 200000);
        EXPECT_EQ(m->regs().b, promote ? 0x05 : 0x04) << (promote ? "PSEL=TOC1" : "ordre fixe");
    }
}

TEST(Wai, StacksThenWaitsForTheInterruptAndSkipsTheIdleTime) {
    auto m = program(std::string(" LDAA #$40\n STAA $1024\n CLI\n WAI\n") + handlers);
    m->step();
    m->step();
    m->step();
    m->step(); // WAI
    EXPECT_TRUE(m->waiting());
    EXPECT_EQ(m->regs().sp, 0x01FF - 9);
    runToStop(*m);
    EXPECT_EQ(m->regs().b, 0x04); // the real-time interrupt woke it
    EXPECT_GE(m->cycles(), 8192u);
    EXPECT_LT(m->cycles(), 8192u + 20);
    EXPECT_EQ(m->regs().sp, 0x01FF - 9); // no second stacking
}

TEST(Reset, LeavesMasksSetAndFetchesTheResetVector) {
    Machine m(Chip::E9, Mode::SingleChip);
    m.load(0xFFFE, 0xE1);
    m.load(0xFFFF, 0x23);
    m.reset();
    EXPECT_EQ(m.regs().pc, 0xE123);
    EXPECT_EQ(m.regs().ccr & 0xD0, 0xD0);
}

TEST(Bootstrap, VectorsComeFromTheBootRomAndPointAtRamSlots) {
    Machine m(Chip::E9, Mode::Bootstrap);
    const std::pair<std::uint16_t, std::uint16_t> slots[] = {
        {0xBFD6, 0x00C4}, {0xBFF0, 0x00EB}, {0xBFF2, 0x00EE}, {0xBFF4, 0x00F1},
        {0xBFF6, 0x00F4}, {0xBFF8, 0x00F7}, {0xBFFE, 0xBF40}};
    for (const auto& [vec, slot] : slots)
        EXPECT_EQ(m.peek(vec) << 8 | m.peek(static_cast<std::uint16_t>(vec + 1)), slot)
            << "vecteur $" << hex(vec, 4);
}

} // namespace
} // namespace sim11::test
