// Seven-segment displays driven by programs: four digits scanned at 1 kHz
// read steady at a quarter brightness each, digits on their own ports,
// common anode, and the characters the patterns draw.
#include "lab/displays.h"
#include "lab/lab_board.h"
#include "lab/shipped_boards.h"
#include "sim_support.h"

#include <gtest/gtest.h>

namespace {

using lab::Displays;
using lab::Pin;
using sim11::Machine;
using sim11::Port;

// A program in the internal RAM of a single-chip E9, where port B is an
// output port.
std::unique_ptr<Machine> singleChip(const std::string& body) {
    auto m = std::make_unique<Machine>(sim11::Chip::E9, sim11::Mode::SingleChip);
    sim11::test::loadSource(*m, " ORG $0040\n" + body + "\n");
    m->regs().pc = 0x0040;
    m->regs().sp = 0x01FF;
    return m;
}

// The one-chip board's wiring: segments on PB, selects PD2 (left) to PD5.
lab::DisplayWiring scanned(bool anode = false, bool activeLow = false) {
    lab::DisplayWiring wiring;
    wiring.commonAnode = anode;
    wiring.selectActiveLow = activeLow;
    wiring.segmentPorts = {Port::B};
    for (unsigned k = 0; k < 4; ++k)
        wiring.selectPins.push_back(Pin::portPin(Port::D, 2 + k));
    return wiring;
}

// Each digit 250 µs in turn (the whole display scanned at 1 kHz), the
// selects off while the segments change. XOR masks give the polarities.
std::string scanProgram(std::uint8_t segmentXor, std::uint8_t selectXor) {
    return R"(
 LDAA #$3C
 STAA $1009
TOP LDX #DIG
 LDAB #$04
NEXT LDAA #)" +
           std::to_string(selectXor) + R"(
 STAA $1008
 LDAA 0,X
 EORA #)" + std::to_string(segmentXor) +
           R"(
 STAA $1004
 TBA
 EORA #)" + std::to_string(selectXor) +
           R"(
 STAA $1008
 LDY #66
W DEY
 BNE W
 INX
 LSLB
 CMPB #$40
 BNE NEXT
 BRA TOP
DIG FCB $06,$5B,$4F,$66
)";
}

TEST(Displays, FourScannedDigitsReadSteadyAtAQuarterBrightness) {
    struct Case {
        bool anode, activeLow;
    };
    for (const Case c : {Case{false, false}, Case{true, false}, Case{true, true}}) {
        auto m = singleChip(scanProgram(c.anode ? 0xFF : 0x00, c.activeLow ? 0x3C : 0x00));
        lab::PinDrivers drivers;
        drivers.attach(m.get());
        Displays displays(scanned(c.anode, c.activeLow));
        displays.attach(*m, drivers);
        // The text holds at any moment of the scan.
        for (const std::uint64_t at : {100'000u, 123'457u, 160'001u}) {
            m->run(at);
            const lab::DisplayView v = displays.view(m->cycles());
            EXPECT_EQ(v.text(), "1234") << c.anode << c.activeLow << " à " << at;
            ASSERT_EQ(v.segments.size(), 4u);
            // "1": segments b and c only, about a quarter of the time.
            EXPECT_NEAR(v.segments[0][1], 0.25, 0.04);
            EXPECT_NEAR(v.segments[0][2], 0.25, 0.04);
            EXPECT_LT(v.segments[0][0], 0.02);
            EXPECT_NEAR(v.segments[3][6], 0.25, 0.04); // "4": g
            EXPECT_LT(v.segments[3][7], 0.02);         // no point
        }
    }
}

TEST(Displays, AScanThatStopsLeavesOneDigitOnceTheEyeCatchesUp) {
    auto m = singleChip(scanProgram(0, 0));
    lab::PinDrivers drivers;
    drivers.attach(m.get());
    Displays displays(scanned());
    displays.attach(*m, drivers);
    m->run(100'000);
    // The chip held where it is, time going on: a digit stays lit alone.
    const std::uint64_t later = m->cycles() + 80'000; // two windows
    const std::string text = displays.view(later).text();
    EXPECT_EQ(std::count(text.begin(), text.end(), ' '), 3) << text;
    float lit = 0;
    for (const auto& digit : displays.view(later).segments)
        for (const float s : digit)
            lit = std::max(lit, s);
    EXPECT_FLOAT_EQ(lit, 1.0f);
}

TEST(Displays, APowerOnStartsTheirTimeAgain) {
    auto m = singleChip(scanProgram(0, 0));
    lab::PinDrivers drivers;
    drivers.attach(m.get());
    Displays displays(scanned());
    displays.attach(*m, drivers);
    m->run(1'000'000);
    // The count goes back to zero on the same machine, the parts still on it.
    m->powerOn();
    m->regs().pc = 0x0040;
    m->regs().sp = 0x01FF;
    m->run(100'000);
    const lab::DisplayView v = displays.view(m->cycles());
    EXPECT_EQ(v.text(), "1234");
    EXPECT_NEAR(v.segments[0][1], 0.25, 0.04);
}

TEST(Displays, DigitsOnTheirOwnPortsCommonAnode) {
    auto m = singleChip(R"(
 LDAA #$FF
 STAA $1007
 LDAA #$86
 STAA $1004
 LDAA #$C0
 STAA $1003
 STOP
)"); // $86 on PB and $C0 on PC (DDRC all outputs), low segments lit
    lab::PinDrivers drivers;
    drivers.attach(m.get());
    lab::DisplayWiring wiring;
    wiring.digits = 2;
    wiring.commonAnode = true;
    wiring.segmentPorts = {Port::B, Port::C};
    Displays displays(wiring);
    displays.attach(*m, drivers);
    sim11::test::runToStop(*m);
    const lab::DisplayView v = displays.view(m->cycles() + 80'000);
    EXPECT_EQ(v.text(), "E0");
    EXPECT_FLOAT_EQ(v.segments[0][7], 0.0f); // PB7 high: no point
    EXPECT_FLOAT_EQ(v.segments[1][0], 1.0f);
    EXPECT_FLOAT_EQ(v.segments[1][6], 0.0f);
    EXPECT_FLOAT_EQ(v.segments[1][7], 0.0f);
    // Reset leaves PB low, every segment lit for the first cycles: a
    // millisecond later, that glow no longer counts.
    EXPECT_EQ(displays.view(m->cycles() + 2'000).text(), "E0");
}

TEST(Displays, PatternsAndTheirCharacters) {
    const std::pair<std::uint8_t, char> table[] = {
        {0x3F, '0'}, {0x06, '1'}, {0x5B, '2'}, {0x4F, '3'}, {0x66, '4'}, {0x6D, '5'},
        {0x7D, '6'}, {0x07, '7'}, {0x27, '7'}, {0x7F, '8'}, {0x6F, '9'}, {0x67, '9'},
        {0x77, 'A'}, {0x7C, 'B'}, {0x39, 'C'}, {0x5E, 'D'}, {0x79, 'E'}, {0x71, 'F'},
        {0x40, '-'}, {0x00, ' '}, {0x80, ' '}, {0xBF, '0'}, {0x49, '?'}, {0x01, '?'}};
    for (const auto& [pattern, character] : table)
        EXPECT_EQ(lab::segmentCharacter(pattern), character) << int(pattern);

    // Half the brightest segment counts: a faint ghost does not.
    lab::DisplayView v;
    v.segments = {{0.25f, 0.25f, 0.25f, 0.25f, 0.25f, 0.25f, 0.05f, 0}, {}};
    v.segments[1] = {0, 0.2f, 0.2f, 0, 0, 0, 0, 0};
    EXPECT_EQ(v.text(), "01");
    v.segments[1] = {0, 0.1f, 0.2f, 0, 0, 0, 0, 0};
    EXPECT_EQ(v.text(), "0?");
    v.segments = {{0.01f, 0.01f, 0.01f, 0.01f, 0.01f, 0.01f, 0, 0}};
    EXPECT_EQ(v.text(), " "); // too faint to be seen
}

TEST(Displays, TheOneChipBoardShowsItsDigits) {
    std::string error;
    const auto wiring = lab::shippedBoard("monopuce", error);
    ASSERT_TRUE(wiring) << error;
    auto board = lab::LabBoard::create(*wiring, error);
    ASSERT_TRUE(board) << error;
    auto m = singleChip(scanProgram(0, 0));
    board->setEClock(2'000'000);
    board->attach(*m);
    m->run(100'000);
    EXPECT_EQ(board->view().displays.at(0).text(), "1234");
    const std::vector<std::string> lines = board->showLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Afficheurs : « 1234 »"), lines.end());
    board->detach();
}

} // namespace
