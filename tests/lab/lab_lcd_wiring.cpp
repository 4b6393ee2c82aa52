// The display wired to a running chip: on the expanded bus, and on port pins
// in 4-bit mode, each driven by a program that polls the busy flag.
#include "lab/lcd.h"
#include "sim_support.h"

#include <gtest/gtest.h>

namespace {

using sim11::Machine;
using sim11::Port;
using sim11::test::program;
using sim11::test::runToStop;

lab::LcdWiring onBus() {
    lab::LcdWiring wiring;
    wiring.address = 0xB5F0;
    return wiring;
}

// Initialises the display, then writes MSG, waiting on the busy flag before
// each transfer.
const char* const busProgram = R"(
 LDAA #$38
 BSR CMD
 LDAA #$0C
 BSR CMD
 LDAA #$01
 BSR CMD
 LDAA #$06
 BSR CMD
 LDX #MSG
LOOP LDAA 0,X
 BEQ DONE
 BSR WAIT
 STAA $B5F1
 INX
 BRA LOOP
DONE BSR WAIT
 STOP
CMD BSR WAIT
 STAA $B5F0
 RTS
WAIT LDAB $B5F0
 BMI WAIT
 RTS
MSG FCC /BONJOUR/
 FCB 0
)";

TEST(LcdOnBus, AProgramPollingTheBusyFlagWritesItsText) {
    auto m = program(busProgram);
    lab::PinDrivers drivers;
    drivers.attach(m.get());
    lab::Lcd lcd(onBus());
    lcd.attach(*m, drivers);
    ASSERT_TRUE(lcd.connected());
    runToStop(*m);
    const lab::LcdView v = lcd.view(m->cycles());
    EXPECT_EQ(v.text(), "BONJOUR         \n                ");
    EXPECT_EQ(v.lostWrites, 0u);
    EXPECT_EQ(v.name, "LCD");
    EXPECT_EQ(v.cursorColumn, 7);

    // The memory pane's look changes nothing: no counter moved.
    EXPECT_EQ(m->peek(0xB5F0), 0x07);
    m->write(0xB5F0, 0x80 | 0x03);
    EXPECT_EQ(m->peek(0xB5F1), 'J');
    EXPECT_EQ(m->peek(0xB5F1), 'J');
    EXPECT_EQ(m->read(0xB5F1), 'J');
    EXPECT_EQ(m->peek(0xB5F0) & 0x7F, 0x04);

    lcd.detach();
    m->write(0xB5F0, 0x01);
    EXPECT_EQ(lcd.view(m->cycles()).text(), v.text());
}

TEST(LcdOnBus, AProgramThatDoesNotWaitLosesWrites) {
    auto m = program(R"(
 LDAA #$38
 STAA $B5F0
 LDAA #$0C
 STAA $B5F0
 LDX #$4142
 STX $B5F0
 STOP
)");
    lab::PinDrivers drivers;
    drivers.attach(m.get());
    lab::Lcd lcd(onBus());
    lcd.attach(*m, drivers);
    runToStop(*m);
    // The display control and the data byte came within 37 us of the
    // instruction before them.
    const lab::LcdView v = lcd.view(m->cycles());
    EXPECT_EQ(v.lostWrites, 3u);
    EXPECT_FALSE(v.displayOn);
}

TEST(LcdOnBus, OutsideTheExpandedModeItIsNotConnected) {
    Machine m(sim11::Chip::E9, sim11::Mode::SingleChip);
    lab::PinDrivers drivers;
    drivers.attach(&m);
    lab::Lcd lcd(onBus());
    lcd.attach(m, drivers);
    EXPECT_FALSE(lcd.connected());
    m.write(0xB5F0, 0x0C);
    EXPECT_FALSE(lcd.view(m.cycles()).displayOn);
    lcd.detach();
}

// Port C's D4-D7 on PC4-PC7, RS on PD2, R/W on PD3, E on PD4: the
// initialisation by instruction, then MSG, the busy flag read as two nibbles.
const char* const pinsProgram = R"(
PORTC EQU $1003
DDRC EQU $1007
PORTD EQU $1008
DDRD EQU $1009
 ORG $0000
 LDS #$01FF
 LDAA #$1C
 STAA DDRD
 CLR PORTD
 LDAA #$F0
 STAA DDRC
 CLRB
 LDAA #$30
 BSR NIB
 BSR DELAY
 LDAA #$30
 BSR NIB
 BSR DELAY
 LDAA #$30
 BSR NIB
 BSR DELAY
 LDAA #$20
 BSR NIB
 LDAA #$28
 BSR CMD
 LDAA #$0C
 BSR CMD
 LDAA #$01
 BSR CMD
 LDAA #$06
 BSR CMD
 LDX #MSG
LOOP LDAA 0,X
 BEQ DONE
 PSHA
 BSR WAIT
 PULA
 LDAB #$04
 BSR SEND
 INX
 BRA LOOP
DONE STOP
CMD PSHA
 BSR WAIT
 PULA
 CLRB
SEND PSHA
 BSR NIB
 PULA
 LSLA
 LSLA
 LSLA
 LSLA
NIB STAA PORTC
 STAB PORTD
 ORAB #$10
 STAB PORTD
 ANDB #$EF
 STAB PORTD
 RTS
WAIT CLR DDRC
 LDAB #$08
 STAB PORTD
W1 LDAB #$18
 STAB PORTD
 LDAA PORTC
 LDAB #$08
 STAB PORTD
 LDAB #$18
 STAB PORTD
 LDAB #$08
 STAB PORTD
 TSTA
 BMI W1
 CLR PORTD
 LDAB #$F0
 STAB DDRC
 RTS
DELAY LDY #50
D1 DEY
 BNE D1
 RTS
MSG FCC /BONJOUR/
 FCB 0
)";

lab::LcdWiring onPins() {
    lab::LcdWiring wiring;
    wiring.data = Port::C;
    wiring.fourBit = true;
    wiring.rs = lab::Pin::portPin(Port::D, 2);
    wiring.rw = lab::Pin::portPin(Port::D, 3);
    wiring.e = lab::Pin::portPin(Port::D, 4);
    wiring.columns = 20;
    wiring.rows = 4;
    wiring.backlight = "bleu";
    return wiring;
}

TEST(LcdOnPins, AFourBitProgramPollingTheBusyFlagWritesItsText) {
    Machine m(sim11::Chip::E9, sim11::Mode::SingleChip);
    sim11::test::loadSource(m, pinsProgram);
    m.regs().pc = 0x0000;
    lab::PinDrivers drivers;
    drivers.attach(&m);
    lab::Lcd lcd(onPins());
    lcd.attach(m, drivers);
    ASSERT_TRUE(lcd.connected());
    runToStop(m);
    const lab::LcdView v = lcd.view(m.cycles());
    EXPECT_EQ(v.text(), "BONJOUR             \n" + std::string(20, ' ') + "\n" +
                            std::string(20, ' ') + "\n" + std::string(20, ' '));
    EXPECT_EQ(v.lostWrites, 0u);
    EXPECT_EQ(v.backlight, "bleu");
    EXPECT_FALSE(lcd.controller().eightBit());
    // The read is over: the display lets go of port C.
    EXPECT_EQ(drivers.levels(Port::C), 0xFF);

    // Attached again to a new machine counting from zero, it goes on. Its
    // port D floats high before the program sets it (E and R/W high: a read
    // under way), so the program starts with the initialisation again.
    Machine n(sim11::Chip::E9, sim11::Mode::SingleChip);
    n.load(0x0000, 0x20); // BRA *
    n.load(0x0001, 0xFE);
    n.regs().pc = 0x0000;
    lcd.attach(n, drivers);
    drivers.attach(&n);
    n.write(0x1008, 0x00);    // PORTD
    n.write(0x1009, 0x1C);    // DDRD
    n.write(0x1007, 0xF0);    // DDRC
    n.run(n.cycles() + 4000); // the start's delay
    for (const std::uint8_t nibble : {0x30, 0x30, 0x30, 0x20, 0x00, 0x10}) {
        n.write(0x1003, nibble);
        n.write(0x1008, 0x10);
        n.write(0x1008, 0x00);
        n.run(n.cycles() + 4000);
    }
    EXPECT_EQ(lcd.view(n.cycles()).text().substr(0, 7), "       ");
    EXPECT_EQ(lcd.view(n.cycles()).lostWrites, 0u);
}

TEST(LcdOnPins, EightBitsWriteOnlyLatchOnTheFallingEdge) {
    Machine m(sim11::Chip::E9, sim11::Mode::SingleChip);
    m.load(0x0000, 0x20); // BRA *
    m.load(0x0001, 0xFE);
    m.regs().pc = 0x0000;
    lab::PinDrivers drivers;
    drivers.attach(&m);
    lab::LcdWiring wiring;
    wiring.data = Port::B;
    wiring.rs = lab::Pin::portPin(Port::A, 4);
    wiring.e = lab::Pin::portPin(Port::A, 5);
    lab::Lcd lcd(wiring);
    lcd.attach(m, drivers);
    // What is on the data pins when E falls is what the part takes.
    const auto send = [&](bool rs, std::uint8_t value) {
        m.write(0x1004, 0x00);             // PORTB
        m.write(0x1000, rs ? 0x30 : 0x20); // PORTA: RS, E high
        m.write(0x1004, value);
        m.write(0x1000, rs ? 0x10 : 0x00); // E falls
        m.run(m.cycles() + 4000);
    };
    send(false, 0x38);
    send(false, 0x0C);
    m.write(0x1004, 'Z');
    m.write(0x1000, 0x30);
    EXPECT_EQ(lcd.controller().ddram(0), 0x20); // nothing yet while E is high
    m.write(0x1000, 0x10);
    EXPECT_EQ(lcd.view(m.cycles()).text().substr(0, 2), "Z ");
    EXPECT_TRUE(lcd.controller().twoLines());
    m.run(m.cycles() + 4000);

    lcd.detach();
    send(true, 'Y');
    EXPECT_EQ(lcd.controller().ddram(1), 0x20);
}

} // namespace
