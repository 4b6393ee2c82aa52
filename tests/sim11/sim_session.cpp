// The session a window drives: stepping, step over and out, breakpoints and
// watchpoints, halts from another thread, the hooks, resets, inputs and the
// pacing arithmetic.
#include "sim_support.h"

#include "sim11/pacer.h"
#include "sim11/session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace sim11::test {
namespace {

using namespace std::chrono_literals;

std::vector<Segment> assemble(const std::string& source) {
    const asmhc11::Result result = asmhc11::assembleSource(source, asmhc11::Mode::S19);
    for (const asmhc11::Diagnostic& d : result.errors)
        ADD_FAILURE() << "ligne " << d.line << " : " << asmhc11::cp1252ToUtf8(d.message);
    std::vector<Segment> segments;
    for (const asmhc11::Segment& s : result.segments())
        segments.push_back({s.address, s.bytes});
    return segments;
}

// A program at $2000 of an expanded E9 that starts from reset with its own stack.
std::unique_ptr<Session> session(const std::string& body,
                                 Setup setup = {Chip::E9, Mode::Expanded}) {
    auto s = std::make_unique<Session>(setup);
    std::string error;
    EXPECT_TRUE(s->load(
        assemble(" ORG $2000\nSTART LDS #$01FF\n" + body + "\n ORG $FFFE\n FDB START\n"), error))
        << error;
    s->reset();
    return s;
}

std::uint16_t symbol(const std::string& body, const std::string& name) {
    const asmhc11::Result result =
        asmhc11::assembleSource(" ORG $2000\nSTART LDS #$01FF\n" + body + "\n", asmhc11::Mode::S19);
    for (const asmhc11::Symbol& sym : result.symbols)
        if (sym.name == name && sym.value)
            return static_cast<std::uint16_t>(*sym.value);
    ADD_FAILURE() << "pas de symbole " << name;
    return 0;
}

// --- stepping ------------------------------------------------------------------

TEST(Stepping, OneInstructionAtATimeThenTheStop) {
    auto s = session(" LDAA #5\n LDAB #7\n ABA\n STOP");
    const std::pair<std::uint16_t, std::uint64_t> after[] = {
        {0x2003, 3}, {0x2005, 5}, {0x2007, 7}, {0x2008, 9}};
    for (const auto& [pc, cycles] : after) {
        EXPECT_EQ(s->step(), RunEnd::Done);
        EXPECT_EQ(s->regs().pc, pc);
        EXPECT_EQ(s->cycles(), cycles);
    }
    EXPECT_EQ(s->regs().a, 12);
    EXPECT_EQ(s->step(), RunEnd::Stop);
}

TEST(Stepping, AnInterruptStepsIntoItsHandlerAndAWaitWaitsForIt) {
    const std::string body = " CLI\n NOP\n WAI\n NOP\nH LDAB #9\n RTI\n ORG $FFF2\n FDB H";
    auto s = session(body);
    s->step();
    s->step(); // CLI
    s->setIrqLine(true);
    EXPECT_EQ(s->step(), RunEnd::Done);
    EXPECT_EQ(s->regs().pc, symbol(body, "H")) << "the entry is a step of its own";
    EXPECT_EQ(s->regs().sp, 0x01FF - 9);
    s->setIrqLine(false);
    s->step();
    s->step(); // RTI
    EXPECT_EQ(s->regs().pc, 0x2004);
    s->step(); // NOP
    s->step(); // WAI: stacked, waiting
    s->setIrqLine(true);
    EXPECT_EQ(s->step(), RunEnd::Done);
    EXPECT_EQ(s->regs().pc, symbol(body, "H"));
}

TEST(Stepping, AStepOnAWaitInSlicesLetsTheInterruptComeIn) {
    const std::string body = " CLI\n WAI\n NOP\nH LDAB #9\n RTI\n ORG $FFF2\n FDB H";
    auto s = session(body);
    s->step();
    s->step();                          // CLI
    EXPECT_EQ(s->step(), RunEnd::Done); // WAI: stacked, waiting
    ASSERT_TRUE(s->machine().waiting());
    // A window's step: the wait goes on slice after slice, and gives the
    // window its turn between them, until the user raises IRQ.
    s->begin(Session::Goal::Step);
    EXPECT_EQ(s->runFor(2ms), RunEnd::TimeSlice);
    EXPECT_EQ(s->runFor(2ms), RunEnd::TimeSlice);
    EXPECT_TRUE(s->machine().waiting());
    s->setIrqLine(true);
    EXPECT_EQ(s->runFor(2ms), RunEnd::Done);
    EXPECT_EQ(s->regs().pc, symbol(body, "H")) << "the entry is the step";
    s->setIrqLine(false);
    s->step();
    s->step(); // RTI, back to the NOP after the WAI
    EXPECT_EQ(s->regs().pc, symbol(body, "H") - 1);
}

const char* calls = R"( JSR SUB
 LDAA #1
 STOP
SUB LDAB #2
 BSR SUB2
BACK RTS
SUB2 INCB
 RTS
REC DECA
 BEQ DONE
INNER BSR REC
DONE INCB
 RTS)";

TEST(Stepping, StepOverRunsACallToItsReturn) {
    auto s = session(calls);
    EXPECT_EQ(s->stepOver(), RunEnd::Done) << "LDS is one step";
    EXPECT_EQ(s->regs().pc, 0x2003);
    EXPECT_EQ(s->stepOver(), RunEnd::Done);
    EXPECT_EQ(s->regs().pc, 0x2006);
    EXPECT_EQ(s->regs().b, 3);
    EXPECT_EQ(s->regs().sp, 0x01FF);
}

TEST(Stepping, StepOverOfARecursiveCallStopsAtItsOwnReturn) {
    auto s = session(calls);
    s->step(); // LDS
    s->regs().pc = symbol(calls, "REC");
    s->regs().a = 3;
    ASSERT_EQ(s->runTo(symbol(calls, "INNER")), RunEnd::Done);
    const std::uint16_t sp = s->regs().sp;
    EXPECT_EQ(s->stepOver(), RunEnd::Done);
    EXPECT_EQ(s->regs().pc, symbol(calls, "DONE"));
    EXPECT_EQ(s->regs().sp, sp);
    EXPECT_EQ(s->regs().b, 2) << "both deeper levels went by DONE";
}

TEST(Stepping, ABreakpointInsideTheCallEndsTheStepOver) {
    auto s = session(calls);
    s->step();
    s->setBreakpoint(symbol(calls, "SUB2"));
    EXPECT_EQ(s->stepOver(), RunEnd::Breakpoint);
    EXPECT_EQ(s->regs().pc, symbol(calls, "SUB2"));
    s->setBreakpoint(symbol(calls, "SUB2"), false);
    EXPECT_EQ(s->run(), RunEnd::Stop) << "no breakpoint left behind at the return";
}

TEST(Stepping, StepOutRunsToTheReturnOfTheCurrentRoutine) {
    auto s = session(calls);
    ASSERT_EQ(s->runTo(symbol(calls, "SUB")), RunEnd::Done);
    s->step(); // inside SUB, before its call to SUB2
    EXPECT_EQ(s->stepOut(), RunEnd::Done);
    EXPECT_EQ(s->regs().pc, 0x2006) << "the nested RTS of SUB2 did not count";
    EXPECT_EQ(s->regs().b, 3);
}

TEST(Stepping, StepOutOfAHandlerEndsAfterItsRti) {
    const std::string body = " CLI\nL BRA L\nH INC $0100\n INC $0100\n RTI\n ORG $FFF2\n FDB H";
    auto s = session(body);
    s->setIrqLine(true);
    ASSERT_EQ(s->runTo(symbol(body, "H")), RunEnd::Done);
    s->setIrqLine(false);
    EXPECT_EQ(s->stepOut(), RunEnd::Done);
    EXPECT_EQ(s->regs().pc, symbol(body, "L"));
    EXPECT_EQ(s->regs().sp, 0x01FF);
    EXPECT_EQ(s->peek(0x0100), 2);
}

// --- breakpoints and watchpoints ------------------------------------------------

TEST(Breakpoints, StopBeforeTheInstructionAndLetTheNextRunThrough) {
    auto s = session(" LDAA #1\nSECOND LDAA #2\n LDAA #3\n STOP");
    s->setBreakpoint(0x2005);
    EXPECT_EQ(s->run(), RunEnd::Breakpoint);
    EXPECT_EQ(s->regs().pc, 0x2005);
    EXPECT_EQ(s->regs().a, 1) << "its instruction has not run";
    EXPECT_EQ(s->run(), RunEnd::Stop);
    EXPECT_EQ(s->regs().a, 3);
    EXPECT_EQ(s->breakpoints(), std::vector<std::uint16_t>{0x2005});
    s->reset();
    s->setBreakpoint(0x2005, false);
    EXPECT_EQ(s->run(), RunEnd::Stop);
}

TEST(Breakpoints, InAnInterruptHandlerAndAfterItsReturn) {
    const std::string body = " CLI\nL NOP\n BRA L\nH LDAB #9\n RTI\n ORG $FFF2\n FDB H";
    auto s = session(body);
    s->setBreakpoint(symbol(body, "H"));
    s->setIrqLine(true);
    EXPECT_EQ(s->run(1000), RunEnd::Breakpoint);
    EXPECT_EQ(s->regs().pc, symbol(body, "H"));
    s->setIrqLine(false);
    s->setBreakpoint(symbol(body, "H"), false);
    const std::uint16_t resumed = s->peek(0x01FF) | s->peek(0x01FE) << 8;
    s->setBreakpoint(resumed);
    EXPECT_EQ(s->run(1000), RunEnd::Breakpoint) << "the interrupted instruction, after the RTI";
    EXPECT_EQ(s->regs().pc, resumed);
}

TEST(Watchpoints, StopAfterTheInstructionThatWritesOrReads) {
    auto s = session(" LDAA #$42\n STAA $0100\nAFTERW LDAB $0100\nAFTERR NOP\n BSR SUB\n STOP\n"
                     "SUB RTS");
    s->setWatchpoint(0x0100, Access::Write);
    EXPECT_EQ(s->run(), RunEnd::Watchpoint);
    EXPECT_EQ(s->regs().pc, 0x2008);
    EXPECT_EQ(s->lastWatch().address, 0x0100);
    EXPECT_EQ(s->lastWatch().value, 0x42);
    EXPECT_TRUE(s->lastWatch().write);
    s->setWatchpoint(0x0100, Access::Read);
    EXPECT_EQ(s->run(), RunEnd::Watchpoint);
    EXPECT_EQ(s->regs().pc, 0x200B);
    EXPECT_EQ(s->regs().b, 0x42);
    EXPECT_FALSE(s->lastWatch().write);
    s->setWatchpoint(0x0100, Access{});
    // Fetching an instruction is not a read; a push onto the stack is a write.
    s->setWatchpoint(0x200B, Access::Read);
    s->setWatchpoint(0x01FE, Access::Write);
    EXPECT_EQ(s->run(), RunEnd::Watchpoint);
    EXPECT_EQ(s->lastWatch().address, 0x01FE) << "BSR pushed its return address";
    EXPECT_EQ(s->lastWatch().value, 0x20);
}

// --- halts -----------------------------------------------------------------------

TEST(Halt, FromAnotherThreadEndsAnEndlessRun) {
    auto s = session("L BRA L");
    std::thread other([&] {
        std::this_thread::sleep_for(20ms);
        s->requestHalt();
    });
    EXPECT_EQ(s->run(), RunEnd::Halted);
    other.join();
    // A halt asked for while nothing ran does not end the next command.
    s->requestHalt();
    EXPECT_EQ(s->run(1000), RunEnd::CycleLimit);
}

TEST(Halt, EndsARealTimeSliceWhileItWaitsForTheClock) {
    auto s = session("L BRA L");
    s->setRealTime(true);
    s->begin(Session::Goal::Run);
    std::thread other([&] {
        std::this_thread::sleep_for(20ms);
        s->requestHalt();
    });
    EXPECT_EQ(s->runFor(60s), RunEnd::Halted);
    other.join();
}

TEST(Halt, TimeSliceGoesOnWhereTheLastEnded) {
    auto s = session("L INCA\n BRA L");
    s->setBreakpoint(0x2003);
    s->begin(Session::Goal::Run);
    EXPECT_EQ(s->runFor(1s), RunEnd::Breakpoint);
    s->setBreakpoint(0x2003, false);
    s->begin(Session::Goal::Run);
    EXPECT_EQ(s->runFor(1ms), RunEnd::TimeSlice);
    const std::uint64_t after = s->cycles();
    EXPECT_EQ(s->runFor(1ms), RunEnd::TimeSlice);
    EXPECT_GT(s->cycles(), after);
}

// --- hooks -----------------------------------------------------------------------

TEST(Hooks, PinsReportEachChangeOfAPortWhateverMadeIt) {
    auto s = session(" LDAA #$FF\n STAA $1007\n LDAA #$55\n STAA $1004\n STAA $1004\n"
                     " LDAA #$0F\n STAA $1003\n LDAB $100A\n STOP");
    std::vector<std::pair<Port, std::uint8_t>> seen;
    s->onPins = [&](Port port, std::uint8_t levels) { seen.emplace_back(port, levels); };
    s->setPortInputs(Port::E, 0xA5);
    EXPECT_EQ(s->run(), RunEnd::Stop);
    const std::vector<std::pair<Port, std::uint8_t>> expected = {
        {Port::E, 0xA5}, {Port::B, 0x55}, {Port::C, 0x0F}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(s->regs().b, 0xA5) << "the program read the switches";
    const Snapshot snap = s->snapshot();
    EXPECT_EQ(snap.pins[static_cast<int>(Port::B)], 0x55);
    EXPECT_EQ(snap.outputs[static_cast<int>(Port::C)], 0xFF);
    EXPECT_EQ(snap.outputs[static_cast<int>(Port::E)], 0x00);
    EXPECT_EQ(snap.regs.b, 0xA5);
}

TEST(Hooks, OutputComparesReportTheirPinsToo) {
    auto s = session(" LDAA #$40\n STAA $1020\nL BRA L");
    std::vector<std::uint8_t> portA;
    s->onPins = [&](Port port, std::uint8_t levels) {
        if (port == Port::A)
            portA.push_back(levels & 0x40);
    };
    s->run(3 * 65536 + 100);
    EXPECT_EQ(portA, (std::vector<std::uint8_t>{0x40, 0x00, 0x40})) << "OC2 toggles PA6 per turn";
}

TEST(Hooks, MemoryWritesInTheWatchedRangeWithoutStopping) {
    auto s = session(" LDAA #1\n STAA $0100\n STAA $0105\n STAA $0110\n STAA $00FF\n STOP");
    std::vector<std::uint16_t> written;
    s->onMemoryWritten = [&](std::uint16_t address, std::uint8_t) { written.push_back(address); };
    s->watchMemory(0x0100, 0x010F);
    EXPECT_EQ(s->run(), RunEnd::Stop);
    EXPECT_EQ(written, (std::vector<std::uint16_t>{0x0100, 0x0105}));
}

TEST(Hooks, TransmittedBytesCanEndARun) {
    auto s = session(" LDX #$1000\n LDAA #$0C\n STAA $2D,X\n LDAA #'K\nW BRCLR $2E,X,#$80,W\n"
                     " STAA $2F,X\nL BRA L");
    std::string sent;
    s->onTransmit = [&](std::uint8_t byte) { sent += static_cast<char>(byte); };
    s->setStopOnTransmit(true);
    EXPECT_EQ(s->run(1000000), RunEnd::Transmitted);
    EXPECT_EQ(sent, "K");
}

// --- runaway programs and resets -------------------------------------------------

TEST(Runaway, IllegalOpcodeStopsOnItWhenAsked) {
    auto s = session(" NOP\nBAD FCB $41\n STOP");
    s->setStopOnIllegal(true);
    EXPECT_EQ(s->run(), RunEnd::IllegalOpcode);
    EXPECT_EQ(s->regs().pc, 0x2004);
    EXPECT_EQ(s->run(), RunEnd::IllegalOpcode) << "and stays there";
}

TEST(Runaway, ConfigFromTheImageArmsTheCopWhichResetsAForgetfulProgram) {
    auto s = session("L BRA L\n ORG $103F\n FCB $0B");
    s->setStopOnCopReset(true);
    EXPECT_EQ(s->peek(0x103F), 0x0B);
    EXPECT_EQ(s->run(200000), RunEnd::CopReset);
    EXPECT_EQ(s->cycles(), 32768u + 1) << "at the first timeout, the loop's last BRA done";
}

TEST(Resets, PressKeepsMemoryAndTimePowerOnStartsAfresh) {
    auto s = session(" INC $0100\n INC PATCH\nPATCH FCB $01\n STOP");
    EXPECT_EQ(s->run(), RunEnd::Stop);
    EXPECT_EQ(s->peek(0x0100), 1);
    const std::uint64_t ran = s->cycles();
    s->pressReset();
    EXPECT_EQ(s->regs().pc, 0x2000);
    EXPECT_EQ(s->cycles(), ran);
    EXPECT_EQ(s->run(), RunEnd::Stop);
    EXPECT_EQ(s->peek(0x0100), 2) << "the RESET pin keeps memory";
    s->reset();
    EXPECT_EQ(s->cycles(), 0u);
    EXPECT_EQ(s->peek(0x2009), 0x01) << "the image is stored again";
}

TEST(Resets, AnotherChipKeepsTheImageAndTheBreakpoints) {
    auto s = session(" LDAA #1\n STOP");
    s->setBreakpoint(0x2003);
    std::string error;
    EXPECT_TRUE(s->configure({Chip::A1, Mode::Expanded}, &error)) << error;
    EXPECT_EQ(s->machine().chip(), Chip::A1);
    EXPECT_EQ(s->run(), RunEnd::Breakpoint);
    EXPECT_FALSE(s->configure({Chip::A1, Mode::SingleChip}, &error));
    EXPECT_NE(error.find("n'est pas dans la mémoire du A1"), std::string::npos) << error;
}

// The session's hooks hang on the machine's lines: a new machine gets them
// again, and a hook taken away leaves the line alone.
TEST(Resets, TheHooksFollowTheSessionOntoAnotherChip) {
    auto s = session(" INC $1004\n LDAA #$0C\n STAA $102D\n LDAA #'A\n STAA $102F\n"
                     "W LDAA $102E\n ANDA #$40\n BEQ W\n STOP");
    int pins = 0;
    std::string sent;
    s->onPins = [&](Port port, std::uint8_t) { pins += port == Port::B; };
    s->onTransmit = [&](std::uint8_t byte) { sent += static_cast<char>(byte); };
    EXPECT_EQ(s->run(1'000'000), RunEnd::Stop);
    std::string error;
    ASSERT_TRUE(s->configure({Chip::E1, Mode::Expanded}, &error)) << error;
    EXPECT_EQ(s->run(1'000'000), RunEnd::Stop);
    EXPECT_EQ(pins, 2);
    s->onPins = nullptr;
    s->reset();
    EXPECT_EQ(s->run(1'000'000), RunEnd::Stop);
    EXPECT_EQ(pins, 2) << "no hook, nothing heard";
    EXPECT_EQ(sent, "AAA");
}

// --- inputs ------------------------------------------------------------------------

TEST(Inputs, AnalogVoltsAreTheConvertersRatio) {
    auto s = session(" LDAA #$30\n STAA $1039\n LDAA #$01\n STAA $1030\n"
                     "W LDAA $1030\n BPL W\n LDAA $1031\n STOP");
    const std::pair<double, std::uint8_t> cases[] = {
        {0.0, 0x00}, {2.5, 0x80}, {5.0, 0xFF}, {6.0, 0xFF}, {-1.0, 0x00}};
    for (const auto& [volts, value] : cases) {
        s->reset();
        s->setAnalogVolts(1, volts);
        EXPECT_EQ(s->run(), RunEnd::Stop);
        EXPECT_EQ(s->regs().a, value) << volts << " V";
    }
}

TEST(Inputs, OnTheEvaluationBoardOc5FallingRaisesXirq) {
    const std::string body = " LDAA #$03\n STAA $1020\n LDAA #$08\n STAA $100B\n"
                             " TPA\n ANDA #$BF\n TAP\n NOP\n"
                             " LDAA #$02\n STAA $1020\n LDD $100E\n ADDD #40\n STD $101E\n"
                             "L BRA L\nX LDAB #$77\n STOP\n ORG $FFF4\n FDB X";
    auto bare = session(body);
    EXPECT_EQ(bare->run(100000), RunEnd::CycleLimit) << "OC5 goes nowhere on the bare chip";
    auto board = session(body, {Chip::E9, Mode::Expanded, Board::Evb});
    EXPECT_EQ(board->run(100000), RunEnd::Stop);
    EXPECT_EQ(board->regs().b, 0x77);
}

// --- pacing ---------------------------------------------------------------------------

TEST(Pacer, CyclesAndWallTimeAtTheEClock) {
    using Clock = Pacer::Clock;
    const Clock::time_point t0{std::chrono::seconds(100)};
    Pacer pacer(2'000'000.0);
    pacer.anchor(t0, 1000);
    EXPECT_EQ(pacer.due(1000 + 2'000'000), t0 + 1s);
    EXPECT_EQ(pacer.due(1000 + 1), t0 + 500ns);
    EXPECT_EQ(pacer.due(10), t0) << "the past is due now";
    EXPECT_EQ(pacer.cyclesAt(t0 + 250ms), 1000u + 500'000u);
    EXPECT_EQ(pacer.cyclesAt(t0 - 1s), 1000u);
    // Ten seconds of a pin toggled every 500,000 cycles: twenty toggles, 2 Hz.
    EXPECT_EQ(pacer.due(1000 + 20 * 500'000), t0 + 5s);
    pacer.setEClock(4'000'000.0, t0 + 1s, 1000 + 2'000'000);
    EXPECT_EQ(pacer.due(1000 + 6'000'000), t0 + 2s);
}

TEST(Pacer, ALongStallIsDroppedNotRacedThrough) {
    using Clock = Pacer::Clock;
    const Clock::time_point t0{std::chrono::seconds(100)};
    Pacer pacer;
    pacer.anchor(t0, 0);
    EXPECT_FALSE(pacer.dropLag(t0 + 100ms, 0, 250ms)) << "a short lag is caught up";
    EXPECT_TRUE(pacer.dropLag(t0 + 1s, 0, 250ms));
    EXPECT_EQ(pacer.due(0), t0 + 1s);
    EXPECT_EQ(pacer.due(2'000'000), t0 + 2s);
}

} // namespace
} // namespace sim11::test
