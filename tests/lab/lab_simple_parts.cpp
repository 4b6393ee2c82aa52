// Buttons, LEDs, potentiometers and the buzzer wired to a running chip: a
// button on IRQ enters the handler, the polarities of buttons and LEDs, a
// blinking LED's share, the converter reading a potentiometer, a tone's
// frequency and its silence.
#include "lab/simple_parts.h"
#include "sim_support.h"

#include <gtest/gtest.h>

namespace {

using lab::Pin;
using sim11::Machine;
using sim11::Port;
using sim11::test::program;
using sim11::test::runToStop;

std::unique_ptr<Machine> singleChip(const std::string& body) {
    auto m = std::make_unique<Machine>(sim11::Chip::E9, sim11::Mode::SingleChip);
    sim11::test::loadSource(*m, " ORG $0040\n" + body + "\n");
    m->regs().pc = 0x0040;
    m->regs().sp = 0x01FF;
    return m;
}

// An output compare toggling its pin each `half` cycles: OC3 on PA5 (the
// buzzer) or OC2 on PA6.
std::string toggling(int oc, unsigned half) {
    const bool oc2 = oc == 2;
    return std::string(" LDAA #") + (oc2 ? "$40" : "$10") + R"(
 STAA $1020
 LDD $100E
 ADDD #)" + std::to_string(half) +
           R"(
 STD )" + (oc2 ? "$1018" : "$101A") +
           R"(
LOOP LDAA #)" +
           (oc2 ? "$40" : "$20") + R"(
WT BITA $1023
 BEQ WT
 STAA $1023
 LDD )" + (oc2 ? "$1018" : "$101A") +
           R"(
 ADDD #)" + std::to_string(half) +
           R"(
 STD )" + (oc2 ? "$1018" : "$101A") +
           R"(
 BRA LOOP
)";
}

TEST(Button, OnIrqItEntersTheHandler) {
    auto m = program(R"(
HIT EQU $0100
 CLR HIT
 CLI
LOOP BRA LOOP
HANDLER INC HIT
 STOP
 ORG $FFF2
 FDB HANDLER
)");
    lab::PinDrivers drivers;
    drivers.attach(m.get());
    lab::ButtonWiring wiring;
    wiring.name = "BP3";
    wiring.pin = Pin{Pin::Kind::Irq};
    lab::Button button(wiring);
    button.attach(*m, drivers);
    EXPECT_EQ(m->run(50'000), sim11::Halt::CycleLimit);
    EXPECT_EQ(m->peek(0x0100), 0);
    button.press(true);
    EXPECT_TRUE(m->signal(sim11::Signal::Irq));
    EXPECT_TRUE(button.view().pressed);
    runToStop(*m, 1000);
    EXPECT_EQ(m->peek(0x0100), 1);
    button.press(false);
    EXPECT_FALSE(m->signal(sim11::Signal::Irq));
    button.press(true);
    button.detach(); // a button taken away lets go of the line
    EXPECT_FALSE(m->signal(sim11::Signal::Irq));
}

TEST(Button, OnAPortPinEitherPolarity) {
    Machine m(sim11::Chip::E9, sim11::Mode::SingleChip);
    lab::PinDrivers drivers;
    drivers.attach(&m);
    lab::ButtonWiring low{"BP1", Pin::portPin(Port::A, 0), true, 0};
    lab::ButtonWiring high{"BP2", Pin::portPin(Port::A, 1), false, 0};
    lab::Button b1(low), b2(high);
    b1.attach(m, drivers);
    b2.attach(m, drivers);
    EXPECT_EQ(m.pins(Port::A) & 0x03, 0x01); // released: PA0 pulled up, PA1 pulled down
    b1.press(true);
    b2.press(true);
    EXPECT_EQ(m.pins(Port::A) & 0x03, 0x02);
    EXPECT_EQ(m.read(0x1000) & 0x03, 0x02);
    b1.press(false);
    EXPECT_EQ(m.pins(Port::A) & 0x03, 0x03);
}

TEST(Led, PolarityAndTheShareOfAFastBlink) {
    for (const bool activeHigh : {true, false}) {
        auto m = singleChip(" LDAA #$40\n STAA $1000\n STOP\n"); // PA6 high
        lab::PinDrivers drivers;
        lab::Led led({"LED", Pin::portPin(Port::A, 6), activeHigh, "vert", 0});
        led.attach(*m, drivers);
        runToStop(*m);
        const lab::LedView v = led.view(m->cycles());
        EXPECT_EQ(v.brightness, activeHigh ? 1.0f : 0.0f);
        EXPECT_EQ(v.colour, "vert");
    }
    // Toggled every 500 µs: half lit, whichever polarity.
    for (const bool activeHigh : {true, false}) {
        auto m = singleChip(toggling(2, 1000));
        lab::PinDrivers drivers;
        lab::Led led({"LED", Pin::portPin(Port::A, 6), activeHigh, "rouge", 0});
        led.attach(*m, drivers);
        for (const std::uint64_t at : {100'000u, 151'234u}) {
            m->run(at);
            EXPECT_NEAR(led.view(m->cycles()).brightness, 0.5, 0.03) << at;
        }
        // The chip held: once the eye has caught up, the pin's own level.
        const float after = led.view(m->cycles() + 100'000).brightness;
        EXPECT_TRUE(after == 0.0f || after == 1.0f) << after;
    }
}

TEST(Potentiometer, TheConverterReadsItsVoltage) {
    const char* const convert = R"(
 LDAA #$80
 STAA $1039
 LDY #50
W DEY
 BNE W
 LDAA #$03
 STAA $1030
WT LDAA $1030
 BPL WT
 LDAA $1031
 STAA $0100
 STOP
)";
    const struct {
        double volts;
        int value;
    } cases[] = {{0.0, 0x00}, {2.5, 0x80}, {5.0, 0xFF}, {1.0, 51}, {7.0, 0xFF}, {-2.0, 0x00}};
    for (const auto& c : cases) {
        auto m = singleChip(convert);
        lab::PinDrivers drivers;
        lab::Potentiometer pot({"Pot", 3, 2.5, 0});
        pot.attach(*m, drivers);
        pot.setVolts(c.volts);
        runToStop(*m);
        EXPECT_EQ(m->peek(0x0100), c.value) << c.volts << " V";
        EXPECT_GE(pot.view().volts, 0.0);
        EXPECT_LE(pot.view().volts, 5.0);
    }
    // Its voltage at attach is the one the board file gives.
    auto m = singleChip(convert);
    lab::PinDrivers drivers;
    lab::Potentiometer pot({"Pot", 3, 1.0, 0});
    pot.attach(*m, drivers);
    runToStop(*m);
    EXPECT_EQ(m->peek(0x0100), 51);
}

TEST(Buzzer, ItsToneAndItsSilence) {
    const struct {
        unsigned half;
        double hertz;
    } tones[] = {{1000, 1000.0}, {250, 4000.0}, {2273, 2e6 / 4546}};
    for (const auto& t : tones) {
        auto m = singleChip(toggling(3, t.half));
        lab::PinDrivers drivers;
        lab::Buzzer buzzer({"Buzzer", Pin::portPin(Port::A, 5), 0});
        buzzer.attach(*m, drivers);
        EXPECT_EQ(buzzer.view(m->cycles()).frequency, 0.0);
        m->run(60'000);
        EXPECT_NEAR(buzzer.view(m->cycles()).frequency, t.hertz, t.hertz * 1e-9) << t.half;
        // The chip held 50 ms: silent.
        EXPECT_EQ(buzzer.view(m->cycles() + 100'001).frequency, 0.0);
    }
}

} // namespace
