// The talker on a real serial port: sim11 in bootstrap mode on a
// pseudo-terminal (`sim11 --mode boot --sci pty`) stands for the board. The
// talker is loaded by the chip's loader, then a program, stopped at a
// breakpoint, stepped, and an EEPROM byte programmed and read back.
#if defined(__linux__) && defined(KAVREL_TEST_SIM11)

#include "asmhc11/assembler.h"
#include "board/serial_transport.h"
#include "board/sim11_pty.h"
#include "board/talker.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kavrel::board::test {
namespace {

using namespace std::chrono_literals;

TEST(TalkerOnAPseudoTerminal, StopsAtABreakpointStepsAndProgramsTheEeprom) {
    Sim11OnPty board(KAVREL_TEST_SIM11, "E9");
    ASSERT_FALSE(board.path().empty()) << board.said();
    SerialTransport port;
    TalkerSettings settings;
    settings.port = board.path();
    settings.family = Family::E;
    Talker talker(port, settings);
    talker.connect();
    ASSERT_TRUE(talker.connected());

    const asmhc11::Result assembled = asmhc11::assembleSource(R"(
        ORG $0000
        LDAA #$21
        LDAB #$43
        BEQ  LOIN
        LDX  #$1234
LOIN    BRA  LOIN
)",
                                                              asmhc11::Mode::S19);
    ASSERT_TRUE(assembled.ok());
    for (const asmhc11::Segment& s : assembled.segments())
        talker.write(s.address, s.bytes);
    EXPECT_EQ(talker.read(0x0000, 2), (std::vector<std::uint8_t>{0x86, 0x21}));

    const std::uint16_t bp[] = {0x0004};
    talker.go(bp);
    std::vector<std::uint8_t> output;
    const std::optional<TalkerStop> stop = talker.waitStop(5s, output);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->reason, TalkerStopReason::Breakpoint);
    EXPECT_EQ(stop->registers.pc, 0x0004);
    EXPECT_EQ(stop->registers.a, 0x21);
    EXPECT_EQ(stop->registers.b, 0x43);
    EXPECT_EQ(talker.read(0x0004, 1)[0], 0x27) << "the BEQ put back";

    EXPECT_EQ(talker.step().registers.pc, 0x0006) << "BEQ not taken";
    EXPECT_EQ(talker.step().registers.pc, 0x0009);
    EXPECT_EQ(talker.registers().x, 0x1234);

    const std::uint8_t bytes[] = {0xA5, 0x3C};
    talker.programEeprom(0xB7F0, bytes);
    EXPECT_EQ(talker.read(0xB7F0, 2), (std::vector<std::uint8_t>{0xA5, 0x3C}));
    talker.close();
}

} // namespace
} // namespace kavrel::board::test

#endif
