// The keypad read by programs that scan it: each key found at its row and
// column, nothing pulled while no column is driven, and the contacts'
// bounce seen by a naive read and filtered by a debounced one.
#include "lab/keypad.h"
#include "lab/lab_board.h"
#include "lab/shipped_boards.h"
#include "sim_support.h"

#include <gtest/gtest.h>

namespace {

using lab::Keypad;
using lab::Pin;
using sim11::Machine;
using sim11::Port;
using sim11::test::program;
using sim11::test::runToStop;

// The TP board's wiring: columns PD2-PD5, rows PE0-PE3.
lab::KeypadWiring tpKeypad(int columns = 4, double bounceMs = 0) {
    lab::KeypadWiring wiring;
    wiring.columns = columns;
    for (unsigned r = 0; r < 4; ++r)
        wiring.rowPins.push_back(Pin::portPin(Port::E, r));
    for (unsigned c = 0; c < static_cast<unsigned>(columns); ++c)
        wiring.columnPins.push_back(Pin::portPin(Port::D, 2 + c));
    wiring.bounceMs = bounceMs;
    return wiring;
}

// Drives one column low at a time until a row reads low, then stores
// row * 4 + column at KEY and stops.
const char* const scan = R"(
COLN EQU $0100
CMASK EQU $0101
KEY EQU $0102
 LDAA #$3C
 STAA $1009
AGAIN CLR COLN
 LDAA #$04
 STAA CMASK
NEXT LDAA CMASK
 COMA
 ANDA #$3C
 STAA $1008
 LDAA $100A
 ANDA #$0F
 CMPA #$0F
 BNE FOUND
 INC COLN
 LSL CMASK
 LDAA CMASK
 CMPA #$40
 BNE NEXT
 BRA AGAIN
FOUND CLRB
ROW LSRA
 BCC GOT
 INCB
 BRA ROW
GOT LSLB
 LSLB
 ADDB COLN
 STAB KEY
 STOP
)";

TEST(Keypad, AScanFindsEachKeyAtItsRowAndColumn) {
    for (const int key : {0, 3, 5, 6, 9, 12, 15}) {
        auto m = program(scan);
        lab::PinDrivers drivers;
        drivers.attach(m.get());
        Keypad keypad(tpKeypad());
        keypad.attach(*m, drivers);
        keypad.press(key, true);
        runToStop(*m, 100000);
        EXPECT_EQ(m->peek(0x0102), key);
    }
}

TEST(Keypad, NothingIsReadWithoutAKeyOrADrivenColumn) {
    auto m = program(scan);
    lab::PinDrivers drivers;
    drivers.attach(m.get());
    Keypad keypad(tpKeypad());
    keypad.attach(*m, drivers);
    EXPECT_EQ(m->run(200000), sim11::Halt::CycleLimit); // still scanning
    keypad.press(7, true);
    keypad.press(7, false);
    EXPECT_EQ(m->run(m->cycles() + 200000), sim11::Halt::CycleLimit);

    // A key held on a column the chip leaves as an input pulls nothing.
    Machine bare(sim11::Chip::E9, sim11::Mode::SingleChip);
    lab::PinDrivers d2;
    d2.attach(&bare);
    Keypad k2(tpKeypad());
    k2.attach(bare, d2);
    k2.press(0, true);
    EXPECT_EQ(bare.pins(Port::E) & 0x0F, 0x0F);
    bare.write(0x1008, 0x3C);
    bare.write(0x1009, 0x3C); // the columns driven, all high
    EXPECT_EQ(bare.pins(Port::E) & 0x0F, 0x0F);
    bare.write(0x1008, 0x38); // PD2 low: the first column
    EXPECT_EQ(bare.pins(Port::E) & 0x0F, 0x0E);
    k2.press(0, false);
    EXPECT_EQ(bare.pins(Port::E) & 0x0F, 0x0F);
    k2.press(4, true); // row 1, column 0
    EXPECT_EQ(bare.pins(Port::E) & 0x0F, 0x0D);
    k2.detach();
    EXPECT_EQ(bare.pins(Port::E) & 0x0F, 0x0F);
}

TEST(Keypad, ThreeColumnsAndTheirLabels) {
    const lab::KeypadView small = Keypad(tpKeypad(3)).view();
    EXPECT_EQ(small.labels, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9",
                                                      "*", "0", "#"}));
    Keypad full(tpKeypad());
    full.press(15, true);
    full.press(16, true); // none such: ignored
    full.press(-1, true);
    const lab::KeypadView v = full.view();
    EXPECT_EQ(v.labels[3], "A");
    EXPECT_EQ(v.labels[12], "*");
    EXPECT_EQ(v.labels[15], "D");
    EXPECT_TRUE(v.pressed[15]);
    EXPECT_EQ(std::count(v.pressed.begin(), v.pressed.end(), true), 1);

    // Key 5 of a 4x3 pad is row 1, column 2 (PD4).
    auto m = program(scan);
    lab::PinDrivers drivers;
    drivers.attach(m.get());
    Keypad keypad(tpKeypad(3));
    keypad.attach(*m, drivers);
    keypad.press(5, true);
    runToStop(*m, 100000);
    EXPECT_EQ(m->peek(0x0102), 1 * 4 + 2);
}

// Column 0 held low; COUNT counts every change of row 0.
const char* const naive = R"(
COUNT EQU $0100
LAST EQU $0101
 LDAA #$3C
 STAA $1009
 LDAA #$38
 STAA $1008
 CLR COUNT
 LDAA $100A
 ANDA #$01
 STAA LAST
LOOP LDAA $100A
 ANDA #$01
 CMPA LAST
 BEQ LOOP
 STAA LAST
 INC COUNT
 BRA LOOP
)";

// Counts a press once row 0 has stayed low for about 10 ms, then waits
// for it to stay high as long.
const char* const debounced = R"(
COUNT EQU $0100
 LDAA #$3C
 STAA $1009
 LDAA #$38
 STAA $1008
 CLR COUNT
WAITDN LDX #0
D1 LDAA $100A
 ANDA #$01
 BNE WAITDN
 INX
 CPX #1000
 BNE D1
 INC COUNT
WAITUP LDX #0
U1 LDAA $100A
 ANDA #$01
 BEQ WAITUP
 INX
 CPX #1000
 BNE U1
 BRA WAITDN
)";

struct BounceRun {
    int afterPress, afterRelease;
};

BounceRun pressAndRelease(const char* source, double bounceMs, int presses = 1) {
    auto m = program(source);
    lab::PinDrivers drivers;
    drivers.attach(m.get());
    Keypad keypad(tpKeypad(4, bounceMs));
    keypad.attach(*m, drivers);
    m->run(10000);
    BounceRun r{};
    for (int k = 0; k < presses; ++k) {
        keypad.press(0, true);
        m->run(m->cycles() + 60000); // 30 ms
        r.afterPress = m->peek(0x0100);
        keypad.press(0, false);
        m->run(m->cycles() + 60000);
        r.afterRelease = m->peek(0x0100);
    }
    EXPECT_EQ(m->pins(Port::E) & 1, 1) << "la ligne doit finir relâchée";
    return r;
}

TEST(Keypad, BounceIsSeenByANaiveReadAndFilteredByADebouncedOne) {
    const BounceRun clean = pressAndRelease(naive, 0);
    EXPECT_EQ(clean.afterPress, 1);
    EXPECT_EQ(clean.afterRelease, 2);

    const BounceRun bouncy = pressAndRelease(naive, 5);
    EXPECT_GE(bouncy.afterPress, 5);
    EXPECT_EQ(bouncy.afterPress % 2, 1); // ends closed
    EXPECT_GE(bouncy.afterRelease - bouncy.afterPress, 5);
    EXPECT_EQ(bouncy.afterRelease % 2, 0); // ends open

    // The same pattern each time: a run can be repeated.
    const BounceRun again = pressAndRelease(naive, 5);
    EXPECT_EQ(again.afterPress, bouncy.afterPress);
    EXPECT_EQ(again.afterRelease, bouncy.afterRelease);

    const BounceRun filtered = pressAndRelease(debounced, 5, 3);
    EXPECT_EQ(filtered.afterPress, 3);
    EXPECT_EQ(filtered.afterRelease, 3);
}

TEST(Keypad, APowerOnDuringABounceLeavesTheKeyHeld) {
    auto m = program(" LDAA #$3C\n STAA $1009\nL BRA L\n");
    lab::PinDrivers drivers;
    drivers.attach(m.get());
    Keypad keypad(tpKeypad(4, 20));
    keypad.attach(*m, drivers);
    m->run(1'000);
    keypad.press(5, true);
    while (keypad.contact(5)) // caught open, in the middle of its bounce
        m->step();
    m->powerOn(); // the count back to zero, the key still held
    m->regs().pc = 0x2000;
    m->run(1'000);
    EXPECT_TRUE(keypad.contact(5));
    m->run(100'000);
    EXPECT_TRUE(keypad.contact(5));
}

TEST(Keypad, TheTpBoardReadsItsKeypad) {
    std::string error;
    const auto wiring = lab::shippedBoard("tp", error);
    ASSERT_TRUE(wiring) << error;
    auto made = lab::LabBoard::create(*wiring, error);
    ASSERT_TRUE(made) << error;
    auto m = program(scan);
    made->attach(*m);
    made->pressKey(0, 9, true); // row 2, column 1: "8"
    runToStop(*m, 100000);
    EXPECT_EQ(m->peek(0x0102), 9);
    EXPECT_TRUE(made->view().keypads.at(0).pressed[9]);
    EXPECT_EQ(made->view().keypads.at(0).labels[9], "8");
    made->detach();
}

} // namespace
