// The talker against the simulated chip in bootstrap mode: loaded by the
// chip's own loader, then driven through its protocol. What it reads from the
// board is compared with the simulator's own view of the same chip, and the
// same program run by the simulator alone.
#include "board/talker.h"
#include "faulty_line.h"
#include "simulated_board.h"

#include "asmhc11/assembler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

namespace kavrel::board::test {
namespace {

using namespace std::chrono_literals;
using sim11::Chip;
using testing::HasSubstr;

struct Segment {
    std::uint16_t address;
    std::vector<std::uint8_t> bytes;
};

std::vector<Segment> assemble(const std::string& source) {
    const asmhc11::Result result = asmhc11::assembleSource(source, asmhc11::Mode::S19);
    EXPECT_TRUE(result.ok()) << source;
    std::vector<Segment> out;
    for (const asmhc11::Segment& s : result.segments())
        out.push_back({s.address, s.bytes});
    return out;
}

void load(Talker& talker, const std::string& source) {
    for (const Segment& s : assemble(source))
        talker.write(s.address, s.bytes);
}

TalkerSettings settingsFor(Family family) {
    TalkerSettings s;
    s.port = "simulateur";
    s.family = family;
    return s;
}

Family familyOf(Chip chip) {
    return chip == Chip::A1 ? Family::A : Family::E;
}

// Registers set, then SWI-free code: the breakpoint stops on STAA.
constexpr const char* kRegistersProgram = R"(
        ORG $0000
DEBUT   LDAA #$12
        LDAB #$34
        LDX  #$5678
        LDY  #$9ABC
        SEC
        PSHA
ICI     STAA $05
        BRA  ICI
)";

TEST(Talker, RegistersAndMemoryReadFromTheBoardAreTheSimulatorsOwn) {
    for (const Chip chip : {Chip::E9, Chip::A1}) {
        SCOPED_TRACE(sim11::chipName(chip));
        SimulatedBoard board(chip);
        Talker talker(board, settingsFor(familyOf(chip)));
        std::size_t lastDone = 0;
        talker.connect([&](std::size_t done, std::size_t) { lastDone = done; });
        ASSERT_TRUE(talker.connected());
        EXPECT_EQ(lastDone, talkerImage(familyOf(chip)).boot.size());

        // Where the program starts: PC $0000, SP just below what the talker keeps
        // (E: the top of RAM), S and X set, I clear for "Arrêter".
        const TalkerRegisters start = talker.registers();
        EXPECT_EQ(start.pc, 0x0000);
        EXPECT_EQ(start.ccr, 0xC0);
        EXPECT_EQ(start.sp, chip == Chip::A1 ? talkerImage(Family::A).first - 1 : 0x01FF);

        if (chip == Chip::A1) {
            // Too little RAM for a program beside the talker: it runs from the EEPROM.
            continue;
        }
        load(talker, kRegistersProgram);
        const std::uint16_t here = 0x000D;
        const std::uint16_t bp[] = {here};
        talker.go(bp);
        std::vector<std::uint8_t> output;
        const std::optional<TalkerStop> stop = talker.waitStop(1s, output);
        ASSERT_TRUE(stop);
        EXPECT_EQ(stop->reason, TalkerStopReason::Breakpoint);

        // The same program in the simulator alone, stopped at the same place.
        sim11::Machine alone(chip, sim11::Mode::Expanded);
        for (const Segment& s : assemble(kRegistersProgram))
            for (std::size_t k = 0; k < s.bytes.size(); ++k)
                alone.load(static_cast<std::uint16_t>(s.address + k), s.bytes[k]);
        alone.regs() = {};
        alone.regs().pc = 0;
        alone.regs().sp = 0x01FF;
        alone.regs().ccr = 0xC0;
        alone.setBreakpoint(here, true);
        ASSERT_EQ(alone.run(100000), sim11::Halt::Breakpoint);
        const sim11::Registers& r = alone.regs();
        EXPECT_EQ(stop->registers, (TalkerRegisters{r.a, r.b, r.ccr, r.x, r.y, r.sp, r.pc}));
        EXPECT_EQ(talker.registers(), stop->registers);

        // The breakpoint's byte is the program's again.
        EXPECT_EQ(board.machine().peek(here), 0x97);
        const std::vector<std::uint8_t> ram = talker.read(0x0000, 0x100);
        for (std::uint16_t a = 0; a < 0x100; ++a)
            ASSERT_EQ(ram[a], board.machine().peek(a)) << a;
        EXPECT_EQ(talker.read(0xB600, 4), std::vector<std::uint8_t>(4, 0xFF));
    }
}

TEST(Talker, StepFollowsATakenAndANotTakenBranchAndACallAndItsReturn) {
    SimulatedBoard board(Chip::E9);
    Talker talker(board, settingsFor(Family::E));
    talker.connect();
    load(talker, R"(
        ORG $0000
        CLRA
        BEQ  PRIS
        NOP
PRIS    INCA
        BEQ  DEBUT
        BSR  SOUS
        BRA  *
SOUS    RTS
DEBUT   BRA  DEBUT
)");
    const std::uint16_t expected[] = {0x0001, 0x0004, 0x0005, 0x0007, 0x000B, 0x0009};
    for (const std::uint16_t pc : expected) {
        const TalkerStop stop = talker.step();
        EXPECT_EQ(stop.reason, TalkerStopReason::Breakpoint);
        ASSERT_EQ(stop.registers.pc, pc);
    }
    EXPECT_EQ(talker.registers().a, 1);
    EXPECT_EQ(talker.registers().sp, 0x01FF) << "the return address popped";
    // Nothing left behind in the code.
    EXPECT_EQ(board.machine().peek(0x0003), 0x01);
    EXPECT_EQ(board.machine().peek(0x000B), 0x39);
}

TEST(Talker, ContinuingFromABreakpointRunsItsInstructionFirst) {
    SimulatedBoard board(Chip::E9);
    Talker talker(board, settingsFor(Family::E));
    talker.connect();
    load(talker, R"(
        ORG $0000
BOUCLE  INCA
        BRA  BOUCLE
)");
    const std::uint16_t bp[] = {0x0000};
    std::vector<std::uint8_t> output;
    for (int round = 1; round <= 3; ++round) {
        talker.go(bp);
        const std::optional<TalkerStop> stop = talker.waitStop(1s, output);
        ASSERT_TRUE(stop);
        EXPECT_EQ(stop->registers.pc, 0x0000);
        EXPECT_EQ(stop->registers.a, round) << "INCA run once per round";
    }
}

TEST(Talker, ArreterStopsARunningProgramAndItsOutputIsItsOwn) {
    SimulatedBoard board(Chip::E9);
    Talker talker(board, settingsFor(Family::E));
    talker.connect();
    load(talker, R"(
SCSR    EQU  $102E
SCDR    EQU  $102F
        ORG  $0000
        LDX  #TEXTE
ENVOI   LDAA 0,X
        BEQ  FINI
ATTEND  LDAB SCSR
        BPL  ATTEND
        STAA SCDR
        INX
        BRA  ENVOI
FINI    BRA  FINI
TEXTE   FCC  "Bonjour"
        FCB  $A5,0
)");
    talker.go({});
    std::vector<std::uint8_t> output;
    EXPECT_FALSE(talker.waitStop(50ms, output));
    EXPECT_THROW(talker.registers(), TalkerError);
    talker.interrupt();
    const std::optional<TalkerStop> stop = talker.waitStop(1s, output);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->reason, TalkerStopReason::Interrupted);
    EXPECT_EQ(stop->registers.pc, 0x0012) << "FINI";
    EXPECT_EQ(std::string(output.begin(), output.end()), "Bonjour\xA5");
}

TEST(Talker, AProgramsOwnSwiIsToldApartFromABreakpoint) {
    SimulatedBoard board(Chip::E9);
    Talker talker(board, settingsFor(Family::E));
    talker.connect();
    load(talker, " ORG $0000\n NOP\n SWI\n NOP\n");
    talker.go({});
    std::vector<std::uint8_t> output;
    const std::optional<TalkerStop> stop = talker.waitStop(1s, output);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->reason, TalkerStopReason::Swi);
    EXPECT_EQ(stop->registers.pc, 0x0002);
}

TEST(Talker, WritesRefusedWhereTheyCannotBeDoneAndNothingWritten) {
    SimulatedBoard board(Chip::E9);
    Talker talker(board, settingsFor(Family::E));
    talker.connect();
    const std::uint8_t byte = 0x12;
    struct Case {
        std::uint16_t address;
        TalkerFault fault;
        const char* words;
    };
    const Case cases[] = {
        {0x0120, TalkerFault::Refused, "programme de dialogue"},
        {0x00F5, TalkerFault::Refused, "pseudo-vecteur du SWI"},
        {0x102B, TalkerFault::Refused, "couperait la liaison"},
        {0xD000, TalkerFault::Refused, "ROM"},
        {0x4000, TalkerFault::Refused, "aucune mémoire"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        try {
            talker.write(c.address, {&byte, 1});
            ADD_FAILURE() << "écrit";
        } catch (const TalkerError& error) {
            EXPECT_EQ(error.fault(), c.fault);
            EXPECT_THAT(error.what(), HasSubstr(c.words));
        }
    }
    EXPECT_THROW(talker.read(0x00F0, 0x20), TalkerError) << "the talker's RAM from $0100";
    const std::uint16_t rom[] = {0xD000};
    EXPECT_THROW(talker.go(rom), TalkerError);
    // Still answering, and the registers read back as written.
    TalkerRegisters r = talker.registers();
    r.a = 0x77;
    r.x = 0x1234;
    r.sp = 0x01F0;
    talker.setRegisters(r);
    EXPECT_EQ(talker.registers(), r);
}

TEST(Talker, EepromByteProgrammedOnTheChipForTheProgrammingTime) {
    SimulatedBoard board(Chip::E9);
    Talker talker(board, settingsFor(Family::E));
    talker.connect();
    board.machine().load(0xB600, 0xF0); // $0F needs an erase first
    const std::uint8_t bytes[] = {0x5A, 0x0F, 0xFF};
    const Duration before = board.now();
    std::size_t reported = 0;
    talker.programEeprom(0xB600, bytes, [&](std::size_t done, std::size_t) { reported = done; });
    const Duration took = board.now() - before;
    EXPECT_EQ(reported, 3u);
    EXPECT_EQ(talker.read(0xB600, 3), std::vector<std::uint8_t>({0x5A, 0x0F, 0xFF}));
    EXPECT_EQ(board.machine().peek(0xB601), 0x0F);
    // $B600: erase and program; $B601: program; $B602: already erased.
    EXPECT_GE(took, 30ms);
    EXPECT_LT(took, 30ms + 150ms);
}

TEST(Talker, ConfigProgrammedTakesEffectAtTheNextReset) {
    SimulatedBoard board(Chip::E9);
    Talker talker(board, settingsFor(Family::E));
    talker.connect();
    EXPECT_EQ(talker.configInForce(), 0x0F);
    talker.programConfig(0x0D); // the ROM off
    EXPECT_EQ(talker.configInForce(), 0x0F) << "until reset";
    board.machine().pressReset();
    EXPECT_EQ(board.machine().peek(0x103F), 0x0D);
}

TEST(Talker, EveryFaultOfTheLineIsToldAndNoneTakenForAnAnswer) {
    struct Case {
        const char* what;
        std::optional<std::size_t> corruptAt, deafFrom, vanishAfter;
        TalkerFault fault;
    };
    const Case cases[] = {
        {"octet faussé", 3, {}, {}, TalkerFault::BadReply},
        {"silence", {}, 0, {}, TalkerFault::StoppedAnswering},
        {"port disparu", {}, {}, 0, TalkerFault::Vanished},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimulatedBoard board(Chip::E9);
        FaultyLine line(board);
        Talker talker(line, settingsFor(Family::E));
        talker.connect();
        line.corruptAt = c.corruptAt;
        line.deafFrom = c.deafFrom;
        line.vanishAfter = c.vanishAfter;
        line.arm();
        try {
            talker.read(0x0000, 16);
            ADD_FAILURE() << "lu";
        } catch (const TalkerError& error) {
            EXPECT_EQ(error.fault(), c.fault) << error.what();
        }
    }
}

TEST(Talker, AProgramThatOverwritesTheTalkerIsToldNotToAnswer) {
    SimulatedBoard board(Chip::E9);
    Talker talker(board, settingsFor(Family::E));
    talker.connect();
    load(talker, R"(
        ORG  $0000
        LDX  #$0100
EFFACE  CLR  0,X
        INX
        CPX  #$01C0
        BNE  EFFACE
        SWI
)");
    talker.go({});
    std::vector<std::uint8_t> output;
    EXPECT_FALSE(talker.waitStop(100ms, output));
    try {
        talker.interrupt();
        ADD_FAILURE() << "arrêté";
    } catch (const TalkerError& error) {
        EXPECT_EQ(error.fault(), TalkerFault::Refused);
        EXPECT_THAT(error.what(), HasSubstr("écrasé le programme de dialogue"));
    }
}

TEST(Talker, AFamilyProgramInEepromStopsAtABreakpoint) {
    SimulatedBoard board(Chip::A1);
    Talker talker(board, settingsFor(Family::A));
    talker.connect();
    const std::vector<Segment> program =
        assemble(" ORG $B600\n LDAA #$42\n LDAB #$24\nICI BRA ICI\n");
    for (const Segment& s : program)
        talker.programEeprom(s.address, s.bytes);
    TalkerRegisters r = talker.registers();
    r.pc = 0xB600;
    talker.setRegisters(r);
    const std::uint16_t bp[] = {0xB604};
    talker.go(bp);
    std::vector<std::uint8_t> output;
    const std::optional<TalkerStop> stop = talker.waitStop(2s, output);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->reason, TalkerStopReason::Breakpoint);
    EXPECT_EQ(stop->registers.pc, 0xB604);
    EXPECT_EQ(stop->registers.a, 0x42);
    EXPECT_EQ(board.machine().peek(0xB604), 0x20) << "the EEPROM's byte put back";
}

TEST(Talker, ASpeedTheCrystalCannotMakeIsRefusedBeforeAnythingIsSent) {
    SimulatedBoard board(Chip::E9);
    TalkerSettings settings = settingsFor(Family::E);
    settings.baud = 115200;
    Talker talker(board, settings);
    try {
        talker.connect();
        ADD_FAILURE();
    } catch (const TalkerError& error) {
        EXPECT_EQ(error.fault(), TalkerFault::Refused);
        EXPECT_THAT(error.what(), HasSubstr("115200 bauds"));
    }
    EXPECT_FALSE(board.isOpen());
}

} // namespace
} // namespace kavrel::board::test

namespace kavrel::board::test {
namespace {

TEST(Talker, ACancelHoldsForTheRestOfTheSessionAndCloseStillCloses) {
    {
        SimulatedBoard board(Chip::E9);
        Talker talker(board, settingsFor(Family::E));
        talker.cancel(); // the dialog closed before the load began
        try {
            talker.connect();
            ADD_FAILURE() << "connecté";
        } catch (const TalkerError& error) {
            EXPECT_EQ(error.fault(), TalkerFault::Cancelled);
        }
        EXPECT_FALSE(board.isOpen());
    }
    SimulatedBoard board(Chip::E9);
    Talker talker(board, settingsFor(Family::E));
    talker.connect();
    talker.cancel();
    for (int k = 0; k < 2; ++k) {
        try {
            talker.read(0x0000, 4);
            ADD_FAILURE() << "lu";
        } catch (const TalkerError& error) {
            EXPECT_EQ(error.fault(), TalkerFault::Cancelled);
            EXPECT_STREQ(error.what(), "Opération annulée.");
        }
    }
    talker.close();
    EXPECT_FALSE(board.isOpen());
    EXPECT_FALSE(talker.connected());
}

} // namespace
} // namespace kavrel::board::test

namespace kavrel::board::test {
namespace {

TEST(Talker, WritingJustBelowTheStackLeavesTheTalkerAnswering) {
    SimulatedBoard board(Chip::E9);
    Talker talker(board, settingsFor(Family::E));
    talker.connect();
    const TalkerRegisters before = talker.registers();
    // Sixteen bytes ending where the stopped program's registers begin.
    const std::vector<std::uint8_t> bytes(16, 0xEE);
    talker.write(static_cast<std::uint16_t>(before.sp - 9 - 15), bytes);
    EXPECT_EQ(talker.registers(), before);
    // The stack moved down, the registers with it.
    TalkerRegisters moved = before;
    moved.sp = static_cast<std::uint16_t>(before.sp - 4);
    moved.b = 0x99;
    talker.setRegisters(moved);
    EXPECT_EQ(talker.registers(), moved);
}

TEST(Talker, ConfigOfAnAPartKeepsWhatItsEepromHeld) {
    SimulatedBoard board(Chip::A1);
    Talker talker(board, settingsFor(Family::A));
    talker.connect();
    const std::uint8_t kept[] = {0x12, 0x34};
    talker.programEeprom(0xB700, kept);
    talker.programConfig(0x05);
    EXPECT_EQ(talker.read(0xB700, 2), std::vector<std::uint8_t>({0x12, 0x34}));
    EXPECT_EQ(talker.read(0xB600, 1)[0], 0xFF);
    board.machine().pressReset();
    EXPECT_EQ(board.machine().peek(0x103F), 0x05);
}

} // namespace
} // namespace kavrel::board::test
