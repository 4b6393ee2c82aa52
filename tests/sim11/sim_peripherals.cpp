// The chip around the CPU: SCI timing, timer, real-time interrupt, COP,
// EEPROM programming, INIT, A/D, input capture and pulse accumulator.
#include "sim_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace sim11::test {
namespace {

constexpr std::uint16_t reg(unsigned offset) {
    return static_cast<std::uint16_t>(0x1000 + offset);
}
constexpr std::uint64_t frame9600 = 2080; // BAUD=$30: 16*13 E cycles a bit, ten bits

// A machine idling in a loop, its registers driven from the test.
std::unique_ptr<Machine> idle() {
    return program("L BRA L");
}

TEST(Sci, TransmitterSendsItsPreambleThenTheByteWithTdreAndTcTimed) {
    auto m = idle();
    std::vector<std::uint64_t> sentAt;
    std::string sent;
    m->connectTransmit([&](std::uint8_t b, std::uint64_t) {
        sent += static_cast<char>(b);
        sentAt.push_back(m->cycles());
    });
    m->write(reg(0x2B), 0x30);
    m->write(reg(0x2D), 0x08); // TE: an idle frame goes first
    const std::uint64_t t0 = m->cycles();
    m->read(reg(0x2E));
    m->write(reg(0x2F), 'A');
    EXPECT_EQ(m->read(reg(0x2E)) & 0xC0, 0x00) << "TDR plein, registre à décalage occupé";
    m->run(t0 + frame9600 + 3);
    EXPECT_EQ(m->read(reg(0x2E)) & 0xC0, 0x80) << "TDRE revenu, TC pas encore";
    m->run(t0 + 2 * frame9600 + 3);
    ASSERT_EQ(sent, "A");
    EXPECT_GE(sentAt[0], t0 + 2 * frame9600);
    EXPECT_LT(sentAt[0], t0 + 2 * frame9600 + 3);
    EXPECT_EQ(m->read(reg(0x2E)) & 0xC0, 0xC0);
}

TEST(Sci, BackToBackBytesLeaveOneFrameApart) {
    auto m = idle();
    std::vector<std::uint64_t> sentAt;
    m->connectTransmit([&](std::uint8_t, std::uint64_t at) { sentAt.push_back(at); });
    m->write(reg(0x2B), 0x30);
    m->write(reg(0x2D), 0x08);
    m->run(m->cycles() + frame9600 + 3); // preamble done
    m->write(reg(0x2F), '1');
    m->write(reg(0x2F), '2'); // waits in TDR
    m->run(m->cycles() + 3 * frame9600);
    ASSERT_EQ(sentAt.size(), 2u);
    EXPECT_NEAR(static_cast<double>(sentAt[1] - sentAt[0]), frame9600, 3);
}

TEST(Sci, BaudRegisterSetsTheBitTime) {
    const std::pair<std::uint8_t, std::uint32_t> rates[] = {
        {0x30, 208}, {0x00, 16}, {0x22, 256}, {0x33, 1664}, {0x10, 48}};
    for (const auto& [baud, cycles] : rates) {
        auto m = idle();
        m->write(reg(0x2B), baud);
        EXPECT_EQ(m->sciBitCycles(), cycles) << "BAUD=$" << hex(baud);
    }
}

TEST(Sci, OnTheLineAnUnreadByteIsOverrunAndIdleFollowsTheLastFrame) {
    auto m = idle();
    m->setFeed(Feed::Line);
    m->write(reg(0x2B), 0x30);
    m->write(reg(0x2D), 0x04); // RE
    const std::uint64_t t0 = m->cycles();
    m->sciFeed("AB");
    m->run(t0 + frame9600 - 3);
    EXPECT_EQ(m->read(reg(0x2E)) & 0x20, 0) << "RDRF avant la fin de la trame";
    m->run(t0 + frame9600 + 3);
    EXPECT_EQ(m->read(reg(0x2E)) & 0x38, 0x20);
    m->run(t0 + 2 * frame9600 + 3);
    EXPECT_EQ(m->read(reg(0x2E)) & 0x38, 0x28) << "OR";
    EXPECT_EQ(m->read(reg(0x2F)), 'A') << "the overrun byte is lost";
    EXPECT_EQ(m->read(reg(0x2E)) & 0x38, 0x00) << "status then data read clears RDRF and OR";
    m->run(t0 + 3 * frame9600 + 3);
    EXPECT_EQ(m->read(reg(0x2E)) & 0x10, 0x10) << "IDLE";
    m->read(reg(0x2F));
    m->run(t0 + 6 * frame9600);
    EXPECT_EQ(m->read(reg(0x2E)) & 0x10, 0x00) << "IDLE comes back only after a new byte";
}

TEST(Sci, PacedInputWaitsForTheProgramToReadAndFallSilent) {
    // The program asks for input: it keeps looking at SCSR.
    auto m = program("L LDAA $102E\n BRA L");
    m->setFeed(Feed::Paced);
    m->write(reg(0x2B), 0x30);
    m->write(reg(0x2D), 0x04);
    m->sciFeed("AB");
    m->run(m->cycles() + 19 * frame9600);
    EXPECT_EQ(m->read(reg(0x2E)) & 0x20, 0) << "even the first byte waits for a pause";
    m->run(m->cycles() + 5 * frame9600);
    EXPECT_EQ(m->read(reg(0x2E)) & 0x28, 0x20) << "no overrun";
    EXPECT_EQ(m->read(reg(0x2F)), 'A');
    const std::uint64_t taken = m->cycles();
    m->run(taken + 20 * frame9600);
    EXPECT_EQ(m->read(reg(0x2E)) & 0x20, 0) << "B waits for a pause";
    m->run(taken + 22 * frame9600);
    EXPECT_EQ(m->read(reg(0x2E)) & 0x20, 0x20);
    m->read(reg(0x2E));
    EXPECT_EQ(m->read(reg(0x2F)), 'B');
}

TEST(Sci, ReceiveInterruptWhenEnabled) {
    auto m = program(" LDAA #$30\n STAA $102B\n LDAA #$24\n STAA $102D\n CLI\nL BRA L\n"
                     "H LDAA $102E\n LDAB $102F\n STOP\n ORG $FFD6\n FDB H");
    m->setFeed(Feed::Line);
    m->sciFeed('Z');
    runToStop(*m);
    EXPECT_EQ(m->regs().b, 'Z');
}

TEST(Timer, CountsTheEClockThroughThePrescalerSetJustAfterReset) {
    const std::pair<std::uint8_t, unsigned> prescales[] = {{0, 1}, {1, 4}, {2, 8}, {3, 16}};
    for (const auto& [pr, divide] : prescales) {
        auto m = idle();
        m->write(reg(0x24), pr);
        const std::uint64_t t0 = m->cycles();
        const unsigned c0 = m->read(reg(0x0E)) << 8 | m->read(reg(0x0F));
        m->run(t0 + 16000);
        const unsigned c1 = m->read(reg(0x0E)) << 8 | m->read(reg(0x0F));
        EXPECT_EQ((c1 - c0) & 0xFFFF, (m->cycles() / divide - t0 / divide) & 0xFFFF)
            << "PR=" << int(pr);
    }
}

TEST(Timer, PrescalerIsProtectedAfterSixtyFourCycles) {
    auto m = idle();
    m->run(100);
    m->write(reg(0x24), 0x03);
    EXPECT_EQ(m->read(reg(0x24)) & 3, 0);
}

TEST(Timer, OutputCompareFlagsAtTheMatchAndDrivesItsPin) {
    auto m = idle();
    m->write(reg(0x20), 0x40); // OC2 toggles PA6
    const unsigned now = m->read(reg(0x0E)) << 8 | m->read(reg(0x0F));
    const unsigned target = (now + 1000) & 0xFFFF;
    const std::uint64_t t0 = m->cycles();
    m->write(reg(0x18), static_cast<std::uint8_t>(target >> 8));
    m->write(reg(0x19), static_cast<std::uint8_t>(target));
    m->run(t0 + 990);
    EXPECT_EQ(m->read(reg(0x23)) & 0x40, 0);
    m->run(t0 + 1004);
    EXPECT_EQ(m->read(reg(0x23)) & 0x40, 0x40);
    EXPECT_EQ(m->read(reg(0x00)) & 0x40, 0x40) << "PA6 toggled";
    m->write(reg(0x23), 0x40);
    EXPECT_EQ(m->read(reg(0x23)) & 0x40, 0) << "writing one clears the flag";
}

TEST(Timer, OverflowAndRealTimeInterruptPeriods) {
    auto m = idle();
    m->write(reg(0x26), 0x01); // RTR=1: 16384 cycles
    m->run(16384 - 4);
    EXPECT_EQ(m->read(reg(0x25)) & 0xC0, 0);
    m->run(16384 + 3);
    EXPECT_EQ(m->read(reg(0x25)) & 0xC0, 0x40);
    m->run(65536 + 3);
    EXPECT_EQ(m->read(reg(0x25)) & 0x80, 0x80);
}

TEST(Timer, InputCaptureLatchesTheCountOnTheChosenEdge) {
    auto m = idle();
    m->write(reg(0x21), 0x10); // IC1 on rising edges of PA2
    m->run(500);
    m->setPortAInputs(0x00); // no edge
    EXPECT_EQ(m->read(reg(0x23)) & 0x04, 0);
    const std::uint64_t at = m->cycles();
    m->setPortAInputs(0x04);
    EXPECT_EQ(m->read(reg(0x23)) & 0x04, 0x04);
    EXPECT_EQ(static_cast<unsigned>(m->read(reg(0x10)) << 8 | m->read(reg(0x11))), at & 0xFFFF);
}

TEST(PulseAccumulator, CountsFallingEdgesOfPa7) {
    auto m = idle();
    m->write(reg(0x26), 0x40); // PAEN, events, falling edges
    for (int k = 0; k < 3; ++k) {
        m->setPortAInputs(0x80);
        m->setPortAInputs(0x00);
    }
    EXPECT_EQ(m->read(reg(0x27)), 3);
    EXPECT_EQ(m->read(reg(0x25)) & 0x10, 0x10);
}

TEST(PulseAccumulator, GatedModeCountsEveryE64WhileTheGateIsOpen) {
    auto m = idle();
    m->setPortAInputs(0x80);
    m->write(reg(0x26), 0x60); // PAEN, gated, high level counts
    const std::uint64_t t0 = m->cycles();
    m->run(t0 + 64 * 100);
    const int counted = m->read(reg(0x27));
    EXPECT_GE(counted, 99);
    EXPECT_LE(counted, 101);
}

TEST(Cop, OffUntilConfigEnablesItThenResetsAProgramThatForgetsIt) {
    auto m = program(
        " CLR $1035\n LDAA #$02\n STAA $103B\n LDAA #$0B\n STAA $103F\n LDAA #$03\n STAA $103B\n"
        " LDX #4000\nW DEX\n BNE W\n CLR $103B\n STOP\n"
        " ORG $4000\nF LDAB #$C0\n STOP\n ORG $FFFA\n FDB F\n ORG $FFFE\n FDB $2000");
    runToStop(*m);
    EXPECT_EQ(m->peek(reg(0x3F)), 0x0F) << "CONFIG changes at the next reset";
    m->reset();
    EXPECT_EQ(m->peek(reg(0x3F)), 0x0B);
    m->regs().pc = 0x5000; // an endless loop that never services the COP
    m->load(0x5000, 0x20);
    m->load(0x5001, 0xFE);
    const std::uint64_t t0 = m->cycles();
    runToStop(*m, 40000);
    EXPECT_EQ(m->regs().b, 0xC0);
    EXPECT_GE(m->cycles() - t0, 32768u);
}

TEST(Cop, ServicedByFiftyFiveThenAa) {
    Machine m(Chip::E9, Mode::Expanded);
    m.reset();
    // Loop: $55, $AA to COPRST forever.
    const std::uint8_t loop[] = {0x86, 0x55, 0xB7, 0x10, 0x3A, 0x86,
                                 0xAA, 0xB7, 0x10, 0x3A, 0x20, 0xF4};
    for (unsigned k = 0; k < sizeof loop; ++k)
        m.load(static_cast<std::uint16_t>(0x2000 + k), loop[k]);
    // Enable the COP from its CONFIG cell, as programmed earlier.
    m.write(reg(0x35), 0x00);
    m.write(reg(0x3B), 0x02);
    m.write(reg(0x3F), 0x0B);
    m.write(reg(0x3B), 0x03);
    m.run(m.cycles() + 20000);
    m.write(reg(0x3B), 0x00);
    m.reset();
    ASSERT_EQ(m.peek(reg(0x3F)), 0x0B);
    m.regs().pc = 0x2000;
    m.run(200000);
    EXPECT_GE(m.regs().pc, 0x2000);
    EXPECT_LT(m.regs().pc, 0x200C) << "never reset";
}

TEST(Eeprom, ProgrammedOnlyThroughTheLatchForTheFullTimeAndOutsideProtectedBlocks) {
    struct Step {
        const char* what;
        bool clearProtection;
        bool latch;
        std::uint64_t programCycles;
        std::uint8_t expected;
    };
    const Step steps[] = {
        {"plain write ignored", true, false, 0, 0xFF},
        {"latched and programmed", true, true, 20000, 0x5A},
        {"programming cut short", true, true, 5000, 0xFF},
        {"block protected since reset", false, true, 20000, 0xFF},
    };
    for (const Step& s : steps) {
        auto m = idle();
        if (s.clearProtection)
            m->write(reg(0x35), 0x00);
        if (s.latch)
            m->write(reg(0x3B), 0x02);
        m->write(0xB600, 0x5A);
        if (s.latch) {
            m->write(reg(0x3B), 0x03);
            m->run(m->cycles() + s.programCycles);
            m->write(reg(0x3B), 0x00);
        }
        EXPECT_EQ(m->read(0xB600), s.expected) << s.what;
    }
}

TEST(Eeprom, ByteEraseSetsFf) {
    auto m = idle();
    m->write(reg(0x35), 0x00);
    m->load(0xB610, 0x00);
    m->write(reg(0x3B), 0x16); // BYTE, ERASE, EELAT
    m->write(0xB610, 0x00);
    m->write(reg(0x3B), 0x17);
    m->run(m->cycles() + 20000);
    m->write(reg(0x3B), 0x00);
    EXPECT_EQ(m->read(0xB610), 0xFF);
}

TEST(Init, MovesRamAndRegistersJustAfterReset) {
    Machine m(Chip::E9, Mode::SingleChip);
    m.write(reg(0x3D), 0x10); // RAM at $1000, registers at $0000
    EXPECT_EQ(m.registerBase(), 0x0000);
    EXPECT_EQ(m.ramBase(), 0x1000);
    m.write(0x002B, 0x30);
    EXPECT_EQ(m.read(0x002B), 0x30) << "BAUD at its new place";
    m.write(0x1050, 0x77);
    EXPECT_EQ(m.read(0x1050), 0x77);
    EXPECT_EQ(m.read(0x0050), 0xFF) << "nothing left at $0050 but unmapped space";
}

TEST(Map, UnmappedAddressesReadFfAndRomIgnoresWrites) {
    struct Probe {
        Chip chip;
        std::uint16_t address;
        bool writable;
        bool mapped;
    };
    const Probe probes[] = {
        {Chip::E9, 0x01FF, true, true},   {Chip::A1, 0x01FF, false, false},
        {Chip::E9, 0x0200, false, false}, {Chip::E9, 0xD000, false, true},
        {Chip::E1, 0xD000, false, false}, {Chip::A1, 0xE000, false, false},
        {Chip::E9, 0x8000, false, false},
    };
    for (const Probe& p : probes) {
        Machine m(p.chip, Mode::SingleChip);
        EXPECT_EQ(m.load(p.address, 0x12), p.mapped)
            << chipName(p.chip) << " $" << hex(p.address, 4);
        m.write(p.address, 0x34);
        const std::uint8_t expected = p.writable ? 0x34 : p.mapped ? 0x12 : 0xFF;
        EXPECT_EQ(m.read(p.address), expected) << chipName(p.chip) << " $" << hex(p.address, 4);
    }
}

TEST(AtoD, FourConversionsIn128CyclesFromFourChannels) {
    auto m = idle();
    for (int ch = 0; ch < 8; ++ch)
        m->setAnalog(ch, static_cast<std::uint8_t>(0x10 * (ch + 1)));
    const std::uint64_t t0 = m->cycles();
    m->write(reg(0x30), 0x14); // MULT, channels 4-7
    m->run(t0 + 120);
    EXPECT_EQ(m->read(reg(0x30)) & 0x80, 0);
    m->run(t0 + 131);
    EXPECT_EQ(m->read(reg(0x30)) & 0x80, 0x80);
    for (unsigned k = 0; k < 4; ++k)
        EXPECT_EQ(m->read(reg(0x31 + k)), 0x10 * (5 + k));
}

} // namespace
} // namespace sim11::test
