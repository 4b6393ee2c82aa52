// Parts wired to the chip's lines: a matrix that answers its columns on its
// rows in the same cycle, a device on the expanded bus, IRQ and RESET driven
// from outside, and watchers coming and going. Each block seen alone through
// its registers: the register table sends every offset to its owner.
#include "sim_support.h"

#include "sim11/register_map.h"
#include "sim11/session.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace sim11::test {
namespace {

constexpr std::uint16_t reg(unsigned offset) {
    return static_cast<std::uint16_t>(0x1000 + offset);
}

// A 4x4 keypad: columns on PD2-PD5 (outputs, one low at a time), rows read
// on PE0-PE3 (pulled up, low where a held key joins its row to a low column).
struct Keypad {
    Machine& m;
    int heldRow = -1, heldColumn = -1;
    std::vector<std::uint64_t> answeredAt;
    explicit Keypad(Machine& machine) : m(machine) {
        m.setPortInputs(Port::E, 0x0F);
        m.connectPins([this](Port port, std::uint8_t levels, std::uint64_t cycle) {
            if (port != Port::D)
                return;
            std::uint8_t rows = 0x0F;
            if (heldRow >= 0 && !(levels & (0x04 << heldColumn)))
                rows = static_cast<std::uint8_t>(rows & ~(1u << heldRow));
            answeredAt.push_back(cycle);
            m.setPortInputs(Port::E, rows);
        });
    }
};

TEST(Lines, AKeypadAnswersItsColumnOnItsRowsInTheSameCycle) {
    // Each column low in turn, the rows read by the very next instruction.
    auto m = program(" LDAA #$3C\n STAA $1009\n"
                     " LDAA #$38\n STAA $1008\n LDAB $100A\n PSHB\n"
                     " LDAA #$34\n STAA $1008\n LDAB $100A\n PSHB\n"
                     " LDAA #$2C\n STAA $1008\n LDAB $100A\n PSHB\n"
                     " LDAA #$1C\n STAA $1008\n LDAB $100A\n PSHB\n STOP");
    Keypad keypad(*m);
    keypad.heldRow = 2;
    keypad.heldColumn = 1; // PD3
    runToStop(*m);
    // Pushed in order: columns 0, 1, 2, 3.
    EXPECT_EQ(m->peek(0x01FF), 0x0F);
    EXPECT_EQ(m->peek(0x01FE), 0x0B) << "row 2 low under column 1";
    EXPECT_EQ(m->peek(0x01FD), 0x0F);
    EXPECT_EQ(m->peek(0x01FC), 0x0F);
    ASSERT_FALSE(keypad.answeredAt.empty());
}

TEST(Lines, APinWatcherHearsTheCycleOfTheWriteAndOnlyChanges) {
    auto m = program(" LDAA #$01\n STAA $1004\n STAA $1004\n CLR $1004\n STOP");
    std::vector<std::pair<std::uint8_t, std::uint64_t>> heard;
    m->connectPins([&](Port port, std::uint8_t levels, std::uint64_t cycle) {
        if (port == Port::B)
            heard.emplace_back(levels, cycle);
    });
    runToStop(*m);
    // LDAA # (2), STAA ext (4): the pin rises at the end of the store, cycle
    // 6; the second store changes nothing; CLR ext (6) after it.
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0], std::make_pair(std::uint8_t{0x01}, std::uint64_t{6}));
    EXPECT_EQ(heard[1], std::make_pair(std::uint8_t{0x00}, std::uint64_t{16}));
}

TEST(Lines, AWatcherDisconnectedHearsNothingMoreAndTheOthersGoOn) {
    auto m = program(" INC $1004\n INC $1004\n INC $1004\n STOP");
    int first = 0, second = 0;
    const Machine::Connection gone =
        m->connectPins([&](Port port, std::uint8_t, std::uint64_t) { first += port == Port::B; });
    m->connectPins([&](Port port, std::uint8_t, std::uint64_t) { second += port == Port::B; });
    m->step();
    m->disconnect(gone);
    runToStop(*m);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 3);
}

// An LCD-like device: an instruction register and a data register on two
// addresses, reads with a side effect (the address counter moves).
class TwoRegisterDevice final : public BusDevice {
public:
    std::uint8_t read(std::uint16_t address, std::uint64_t cycle) override {
        reads.emplace_back(address, cycle);
        return address & 1 ? counter++ : status;
    }
    void write(std::uint16_t address, std::uint8_t value, std::uint64_t cycle) override {
        writes[address].push_back({value, cycle});
    }
    std::uint8_t peek(std::uint16_t address) const override {
        return address & 1 ? counter : status;
    }

    std::uint8_t status = 0x80, counter = 0x40;
    std::vector<std::pair<std::uint16_t, std::uint64_t>> reads;
    std::map<std::uint16_t, std::vector<std::pair<std::uint8_t, std::uint64_t>>> writes;
};

TEST(Lines, ADeviceOnTheExpandedBusAnswersItsRangeAtTheInstructionsCycle) {
    auto m = program(" LDAA #$38\n STAA $B5F0\n LDAB $B5F1\n LDAA $B5F0\n"
                     " LDX #$B5F0\n LDAA 1,X\n STAA $B5F2\n STOP");
    TwoRegisterDevice lcd;
    ASSERT_NE(m->attachDevice(0xB5F0, 0xB5F1, lcd), 0u);
    runToStop(*m);
    ASSERT_EQ(lcd.writes[0xB5F0].size(), 1u);
    EXPECT_EQ(lcd.writes[0xB5F0][0], std::make_pair(std::uint8_t{0x38}, std::uint64_t{6}));
    EXPECT_EQ(m->regs().b, 0x40);
    EXPECT_EQ(m->regs().a, 0x41) << "the second data read saw the counter move";
    ASSERT_EQ(lcd.reads.size(), 3u);
    EXPECT_EQ(lcd.reads[0], std::make_pair(std::uint16_t{0xB5F1}, std::uint64_t{10}));
    // Beside it in the same 64-byte block, the external memory is still there.
    EXPECT_EQ(m->peek(0xB5F2), 0x41);
    // Looking does not read: the counter stays.
    EXPECT_EQ(m->peek(0xB5F1), 0x42);
    EXPECT_EQ(lcd.reads.size(), 3u);
}

TEST(Lines, ADeviceIsRefusedOutsideExpandedModeAndOverTheChipsOwnMemory) {
    TwoRegisterDevice device;
    Machine single(Chip::E9, Mode::SingleChip);
    EXPECT_EQ(0u, single.attachDevice(0xB5F0, 0xB5F1, device));
    Machine expanded(Chip::E9, Mode::Expanded);
    EXPECT_EQ(0u, expanded.attachDevice(0x1030, 0x1031, device)) << "registers";
    EXPECT_EQ(0u, expanded.attachDevice(0x0100, 0x0100, device)) << "internal RAM";
    EXPECT_EQ(0u, expanded.attachDevice(0x4001, 0x4000, device)) << "empty range";
    // A device removed gives its range back to the external memory.
    ASSERT_TRUE(expanded.load(0x4000, 0x12));
    const Machine::Connection attached = expanded.attachDevice(0x4000, 0x4000, device);
    ASSERT_NE(attached, 0u);
    EXPECT_EQ(expanded.peek(0x4000), 0x80);
    expanded.disconnect(attached);
    EXPECT_EQ(expanded.peek(0x4000), 0x12);
}

TEST(Lines, AWatchBesideADeviceSeesTheMemoryAndLeavesTheDeviceItsAccesses) {
    auto m = program(" LDAA #$38\n STAA $B5F0\n STAA $B5F2\n LDAB $B5F1\n STOP");
    TwoRegisterDevice lcd;
    ASSERT_NE(m->attachDevice(0xB5F0, 0xB5F1, lcd), 0u);
    Machine::AddressSet reads{}, writes{};
    writes[0xB5F2 >> 6] |= std::uint64_t{1} << (0xB5F2 & 63);
    m->setAccessTraps(reads, writes);
    std::vector<std::pair<std::uint16_t, std::uint8_t>> trapped;
    m->onAccess = [&](std::uint16_t address, std::uint8_t value, bool write) {
        if (write)
            trapped.emplace_back(address, value);
        return false;
    };
    runToStop(*m);
    EXPECT_EQ(lcd.writes[0xB5F0].size(), 1u);
    EXPECT_EQ(m->regs().b, 0x40);
    ASSERT_EQ(trapped.size(), 1u) << "only the watched byte";
    EXPECT_EQ(trapped[0], std::make_pair(std::uint16_t{0xB5F2}, std::uint8_t{0x38}));
    EXPECT_EQ(m->peek(0xB5F2), 0x38);
}

TEST(Lines, IrqFromAPartWiredToAnOutputPin) {
    // PB0 wired to IRQ through an inverter: the program raises PB0, the
    // part pulls IRQ low, the handler counts and lowers PB0 again.
    auto m = program(" LDS #$01FF\n CLR $1004\n CLI\n LDAA #1\n STAA $1004\n"
                     "WAIT LDAB $80\n BEQ WAIT\n STOP\n"
                     "HANDLER INC $80\n CLR $1004\n RTI\n ORG $FFF2\n FDB HANDLER");
    m->write(0x0080, 0);
    m->connectPins([&](Port port, std::uint8_t levels, std::uint64_t) {
        if (port == Port::B)
            m->setSignal(Signal::Irq, (levels & 1) != 0);
    });
    runToStop(*m);
    EXPECT_EQ(m->peek(0x0080), 1);
    EXPECT_FALSE(m->signal(Signal::Irq));
}

TEST(Lines, ResetHeldStopsTheChipAndItsReleaseStartsFromTheVector) {
    auto m = std::make_unique<Machine>(Chip::E9, Mode::Expanded);
    loadSource(*m, " ORG $2000\nSTART INCA\n BRA START\n ORG $FFFE\n FDB START");
    m->run(1000);
    EXPECT_GT(m->regs().a, 0);
    m->setSignal(Signal::Reset, true);
    EXPECT_TRUE(m->signal(Signal::Reset));
    const std::uint8_t a = m->regs().a;
    m->run(m->cycles() + 1000);
    EXPECT_EQ(m->regs().a, a) << "nothing runs while held";
    m->setSignal(Signal::Reset, false);
    EXPECT_EQ(m->regs().pc, 0x2000);
    EXPECT_EQ(m->run(m->cycles() + 100), Halt::CycleLimit);
    EXPECT_EQ(m->regs().a, static_cast<std::uint8_t>(a + 20)) << "twenty turns of five cycles";
}

TEST(Blocks, EveryRegisterGoesToItsOwnerAndUnclaimedOnesKeepWhatIsWritten) {
    Machine m(Chip::E9, Mode::SingleChip);
    // Reserved offsets hold a byte; read-only ones do not move.
    for (const unsigned offset : {0x01u, 0x06u, 0x36u, 0x37u, 0x38u}) {
        m.write(reg(offset), 0x5A);
        EXPECT_EQ(m.peek(reg(offset)), 0x5A) << registerInfo(offset).name << offset;
    }
    m.write(reg(reg::SCSR), 0x00);
    EXPECT_EQ(m.peek(reg(reg::SCSR)), 0xC0) << "SCSR is read-only";
    m.write(reg(reg::ADR1), 0x12);
    EXPECT_EQ(m.peek(reg(reg::ADR1)), 0x00) << "the converter's results are read-only";
    m.write(reg(reg::TOC2), 0x12);
    m.write(reg(reg::TOC2 + 1), 0x34);
    EXPECT_EQ(m.peek(reg(reg::TOC2)), 0x12);
    EXPECT_EQ(m.peek(reg(reg::TOC2 + 1)), 0x34);
    EXPECT_EQ(m.peek(reg(reg::TOC3)), 0xFF) << "compares start at $FFFF";
    m.write(reg(reg::PORTD), 0xFF);
    m.write(reg(reg::DDRD), 0x3F);
    EXPECT_EQ(m.peek(reg(reg::PORTD)), 0x3F) << "port D has six pins";
    EXPECT_EQ(m.peek(reg(reg::INIT)), 0x01);
    EXPECT_EQ(m.peek(reg(reg::SPCR)), 0x04);
    EXPECT_EQ(m.peek(reg(reg::PIOC)), 0x03);
    EXPECT_EQ(m.peek(reg(reg::CONFIG)), 0x0F);
    // A reset gives the reserved bytes back as zero, and the others their values.
    m.reset();
    EXPECT_EQ(m.peek(reg(0x01)), 0x00);
    EXPECT_EQ(m.peek(reg(reg::TOC2)), 0xFF);
    EXPECT_EQ(m.peek(reg(reg::PORTD)), 0x00);
}

TEST(Blocks, EachVariantHasItsOwnMemoriesAndFeatures) {
    Machine a1(Chip::A1), e1(Chip::E1), e9(Chip::E9);
    EXPECT_EQ(a1.ramSize(), 256);
    EXPECT_EQ(e1.ramSize(), 512);
    EXPECT_EQ(e9.ramSize(), 512);
    EXPECT_TRUE(e9.load(0xD000, 0x12)) << "the E9's ROM";
    EXPECT_FALSE(e1.load(0xD000, 0x12)) << "no ROM on the E1";
    // PA3 is always an output on the A1, an input by default on the E parts.
    EXPECT_TRUE(a1.outputs(Port::A) & 0x08);
    EXPECT_FALSE(e9.outputs(Port::A) & 0x08);
    // The A1 has no block protection.
    EXPECT_EQ(a1.peek(reg(reg::BPROT)), 0x00);
    EXPECT_EQ(e9.peek(reg(reg::BPROT)), 0x1F);
    EXPECT_STREQ(chipName(Chip::E1), "E1");
}

TEST(Blocks, AWaitCutIntoShortRunsStaysAWait) {
    // A window runs in slices whose ends fall anywhere in the wait: none of
    // them may run the instructions after the WAI before its interrupt.
    auto m = program(" CLI\n WAI\n INCA\n STOP\nH LDAB #9\n RTI\n ORG $FFF2\n FDB H");
    m->step();
    m->step();
    ASSERT_TRUE(m->waiting());
    for (int k = 0; k < 50; ++k) {
        m->run(m->cycles() + 7);
        m->step();
    }
    EXPECT_TRUE(m->waiting());
    EXPECT_EQ(m->regs().pc, 0x2002);
    EXPECT_EQ(m->regs().a, 0);
    m->setIrqLine(true);
    m->step();
    EXPECT_EQ(m->regs().pc, 0x2004) << "into the handler";
}

// --- step over asks the instruction table -----------------------------------------

TEST(Stepping, StepOverKnowsEveryFormOfCall) {
    for (const char* call : {"JSR SUB", "BSR SUB", "JSR 0,X", "JSR 0,Y", "JSR $40"}) {
        const asmhc11::Result result = asmhc11::assembleSource(
            std::string(" ORG $2000\nSTART LDS #$01FF\n LDX #SUB\n LDY #SUB\nCALL ") + call +
                "\nNEXT NOP\n STOP\nSUB INCA\n RTS\n ORG $0040\n INCB\n RTS\n"
                " ORG $FFFE\n FDB START\n",
            asmhc11::Mode::S19);
        ASSERT_TRUE(result.errors.empty()) << call;
        std::map<std::string, std::uint16_t> symbols;
        for (const asmhc11::Symbol& sym : result.symbols)
            if (sym.value)
                symbols[sym.name] = static_cast<std::uint16_t>(*sym.value);
        std::vector<Segment> segments;
        for (const asmhc11::Segment& seg : result.segments())
            segments.push_back({seg.address, seg.bytes});
        Session s({Chip::E9, Mode::Expanded});
        std::string error;
        ASSERT_TRUE(s.load(segments, error)) << error;
        s.reset();
        ASSERT_EQ(s.runTo(symbols["CALL"]), RunEnd::Done) << call;
        EXPECT_EQ(s.stepOver(), RunEnd::Done) << call;
        EXPECT_EQ(s.regs().pc, symbols["NEXT"]) << call;
        EXPECT_EQ(s.regs().a + s.regs().b, 1) << call << " : the routine ran once";
    }
}

} // namespace
} // namespace sim11::test
