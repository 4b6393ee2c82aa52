// Pins by name, and the levels parts drive onto the chip's inputs.
#include "lab/part.h"

#include <gtest/gtest.h>

namespace {

using lab::Pin;
using sim11::Machine;
using sim11::Port;

TEST(LabPins, NamesReadBackAsWritten) {
    for (const char* name : {"PA0", "PA7", "PC3", "PE7", "IRQ", "XIRQ", "RESET"}) {
        const auto pin = Pin::parse(name);
        ASSERT_TRUE(pin) << name;
        EXPECT_EQ(pin->name(), name);
    }
    EXPECT_EQ(Pin::parse("pd5")->name(), "PD5");
    for (const char* bad : {"", "P", "PF0", "PA8", "PA", "PA10", "IRQQ", "A5"})
        EXPECT_FALSE(Pin::parse(bad)) << bad;
}

TEST(LabPins, DriversOverrideTheBaseInTheirOrderAndLetGo) {
    Machine machine(sim11::Chip::E9, sim11::Mode::SingleChip);
    lab::PinDrivers drivers;
    drivers.attach(&machine);
    const int key = drivers.add();
    const int lcd = drivers.add();
    EXPECT_EQ(machine.pins(Port::E), 0xFF); // pulled up
    drivers.setBase(Port::E, 0xF0);
    EXPECT_EQ(machine.pins(Port::E), 0xF0);
    drivers.drive(key, Port::E, 0x10, 0x00);
    EXPECT_EQ(machine.pins(Port::E), 0xE0);
    drivers.drive(lcd, Port::E, 0x11, 0x11); // a later driver wins where both drive
    EXPECT_EQ(machine.pins(Port::E), 0xF1);
    drivers.drive(lcd, Port::E, 0, 0);
    drivers.drive(key, Port::E, 0, 0);
    EXPECT_EQ(machine.pins(Port::E), 0xF0);

    drivers.driveSignal(key, sim11::Signal::Irq, true);
    drivers.driveSignal(lcd, sim11::Signal::Irq, true);
    drivers.driveSignal(key, sim11::Signal::Irq, false);
    EXPECT_TRUE(machine.signal(sim11::Signal::Irq)); // still held by the other
    drivers.driveSignal(lcd, sim11::Signal::Irq, false);
    EXPECT_FALSE(machine.signal(sim11::Signal::Irq));
}

TEST(LabPins, AnAlarmFiresAtItsCycleAndOutlivesAReset) {
    Machine machine(sim11::Chip::E9, sim11::Mode::SingleChip);
    // A loop: BRA *
    machine.load(0x0000, 0x20);
    machine.load(0x0001, 0xFE);
    machine.regs().pc = 0;
    std::vector<std::uint64_t> calls;
    const auto alarm = machine.connectAlarm([&](std::uint64_t cycle) { calls.push_back(cycle); });
    machine.setAlarm(alarm, 1000);
    machine.run(500);
    machine.pressReset();
    machine.regs().pc = 0;
    machine.run(2000);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_GE(calls[0], 1000u);
    EXPECT_LT(calls[0], 1003u); // within the instruction that passed it
    machine.setAlarm(alarm, 3000);
    machine.setAlarm(alarm, Machine::never);
    machine.run(5000);
    EXPECT_EQ(calls.size(), 1u);
    machine.setAlarm(alarm, 6000);
    machine.disconnect(alarm);
    machine.run(7000);
    EXPECT_EQ(calls.size(), 1u);
}

} // namespace
