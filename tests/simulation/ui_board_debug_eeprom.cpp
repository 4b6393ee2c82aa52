// The EEPROM and CONFIG of the simulated chip written with the chip's own
// sequence (simulation/chip_memory.h), on a bare machine: what must happen on
// the chip, and what must not happen to the program around it.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "sim11/machine.h"
#include "simulation/chip_memory.h"

namespace kavrel::test {
namespace {

using simulation::programConfigCell;
using simulation::programEepromBytes;

constexpr double kEClock = 2'000'000.0;
constexpr std::uint64_t kProgramCycles = 20'000; // 10 ms at 2 MHz
constexpr std::uint16_t kConfig = 0x103F;

// A machine as a window leaves it stopped: a program of NOPs at $0040.
struct Stopped {
    explicit Stopped(sim11::Chip chip = sim11::Chip::E9, sim11::Mode mode = sim11::Mode::SingleChip)
        : machine(chip, mode) {
        machine.powerOn();
        for (std::uint16_t a = 0x40; a < 0x80; ++a)
            machine.load(a, 0x01);
        machine.regs().pc = 0x0040;
    }
    // Past the 64 cycles after reset in which BPROT can be cleared.
    void runAWhile() { machine.run(machine.cycles() + 100); }
    bool program(std::uint16_t address, std::vector<std::uint8_t> bytes,
                 std::string* said = nullptr) {
        const simulation::ChipWrite done = programEepromBytes(machine, kEClock, address, bytes);
        if (said)
            *said = done.message;
        return done.ok;
    }
    sim11::Machine machine;
};

TEST(ChipEeprom, ProgramsInTheChipsTimeAndErasesOnlyWhereABitMustRise) {
    struct Case {
        std::uint8_t before, after;
        std::uint64_t cycles; // at least: one programming, and an erase where needed
    } cases[] = {
        {0xFF, 0x5A, kProgramCycles},     // erased: programmed only
        {0x5A, 0x42, kProgramCycles},     // only bits to clear
        {0x5A, 0xA5, 2 * kProgramCycles}, // a bit back to 1: erased first
        {0x5A, 0xFF, kProgramCycles},     // erased, nothing to program
        {0x42, 0x42, 0},                  // already there: nothing
    };
    for (const Case& c : cases) {
        Stopped chip;
        if (c.before != 0xFF) {
            ASSERT_TRUE(chip.program(0xB700, {c.before}));
        }
        const std::uint64_t from = chip.machine.cycles();
        std::string said;
        ASSERT_TRUE(chip.program(0xB700, {c.after}, &said)) << said;
        EXPECT_EQ(chip.machine.peek(0xB700), c.after);
        const std::uint64_t spent = chip.machine.cycles() - from;
        EXPECT_GE(spent, c.cycles) << int(c.before) << " -> " << int(c.after);
        // Never an erase more than needed.
        EXPECT_LT(spent, c.cycles + kProgramCycles) << int(c.before) << " -> " << int(c.after);
    }
}

TEST(ChipEeprom, TheProgramFindsItsRegistersRamAndBreakpointsAsTheyWere) {
    Stopped chip;
    sim11::Registers r;
    r.a = 0x12;
    r.b = 0x34;
    r.x = 0x5678;
    r.y = 0x9ABC;
    r.sp = 0x01FF;
    r.pc = 0x0040;
    r.ccr = 0x00; // interrupts open: the wait must not let one in
    chip.machine.regs() = r;
    const std::uint16_t ram = chip.machine.ramBase();
    chip.machine.load(ram, 0x86);
    chip.machine.load(static_cast<std::uint16_t>(ram + 1), 0x07);
    chip.machine.setBreakpoint(ram, true);
    ASSERT_TRUE(chip.program(0xB600, {0x01, 0x02, 0x03}));
    const sim11::Registers after = chip.machine.regs();
    EXPECT_EQ(after.a, r.a);
    EXPECT_EQ(after.b, r.b);
    EXPECT_EQ(after.x, r.x);
    EXPECT_EQ(after.y, r.y);
    EXPECT_EQ(after.sp, r.sp);
    EXPECT_EQ(after.pc, r.pc);
    EXPECT_EQ(after.ccr, r.ccr);
    EXPECT_EQ(chip.machine.peek(ram), 0x86);
    EXPECT_EQ(chip.machine.peek(static_cast<std::uint16_t>(ram + 1)), 0x07);
    EXPECT_TRUE(chip.machine.breakpoint(ram));
    EXPECT_EQ(chip.machine.peek(0xB602), 0x03);
}

TEST(ChipEeprom, TheCopIsServedWhileTheChipWaits) {
    Stopped chip;
    // COP on from the next reset, and a reset it would cause ends the run.
    chip.machine.load(kConfig, 0x0B);
    chip.machine.powerOn();
    chip.machine.regs().pc = 0x0040;
    chip.machine.setStopOnCopReset(true);
    std::string said;
    // Eight bytes: far longer than the COP's 16 ms.
    ASSERT_TRUE(chip.program(0xB600, {1, 2, 3, 4, 5, 6, 7, 8}, &said)) << said;
    EXPECT_EQ(chip.machine.peek(0xB607), 8);
}

TEST(ChipEeprom, WhatTheChipRefusesIsToldAndLeftAsItWas) {
    {
        // The single-chip part keeps BPROT once 64 cycles have gone.
        Stopped chip;
        chip.runAWhile();
        std::string said;
        EXPECT_FALSE(chip.program(0xB600, {0x00}, &said));
        EXPECT_NE(said.find("BPROT"), std::string::npos) << said;
        EXPECT_EQ(chip.machine.peek(0xB600), 0xFF);
    }
    {
        // The bootstrap mode lets it be cleared at any time.
        Stopped chip(sim11::Chip::E9, sim11::Mode::Bootstrap);
        chip.runAWhile();
        std::string said;
        EXPECT_TRUE(chip.program(0xB600, {0x00}, &said)) << said;
        EXPECT_EQ(chip.machine.peek(0xB600), 0x00);
    }
    {
        // Past the end of the EEPROM: what fits is done, the rest told.
        Stopped chip;
        std::string said;
        EXPECT_FALSE(chip.program(0xB7FF, {0x11, 0x22}, &said));
        EXPECT_NE(said.find("$B800"), std::string::npos) << said;
        EXPECT_EQ(chip.machine.peek(0xB7FF), 0x11);
    }
    {
        // EEON at 0: no EEPROM in the map.
        Stopped chip;
        chip.machine.load(kConfig, 0x0E);
        chip.machine.powerOn();
        std::string said;
        EXPECT_FALSE(chip.program(0xB600, {0x00}, &said));
        EXPECT_NE(said.find("EEON"), std::string::npos) << said;
    }
}

TEST(ChipConfig, ProgrammedForTheNextResetAndErasedWhenABitMustRise) {
    for (const sim11::Chip part : {sim11::Chip::E9, sim11::Chip::A1}) {
        Stopped chip(part);
        const std::uint8_t erased = chip.machine.peek(kConfig);
        ASSERT_TRUE(chip.program(0xB7F0, {0x5A}));
        const auto copOn = static_cast<std::uint8_t>(erased & ~0x04);
        auto done = programConfigCell(chip.machine, kEClock, copOn);
        ASSERT_TRUE(done.ok) << done.message;
        // In force only from the next reset; the cell holds it already.
        EXPECT_EQ(chip.machine.peek(kConfig), erased);
        EXPECT_EQ(chip.machine.configCell(), copOn);
        chip.machine.powerOn();
        EXPECT_EQ(chip.machine.peek(kConfig), copOn);
        done = programConfigCell(chip.machine, kEClock, erased);
        ASSERT_TRUE(done.ok) << done.message;
        chip.machine.powerOn();
        EXPECT_EQ(chip.machine.peek(kConfig), erased);
        // The A part's bulk erase took the EEPROM with it: programmed again.
        EXPECT_EQ(chip.machine.peek(0xB7F0), 0x5A) << sim11::chipName(part);
    }
}

} // namespace
} // namespace kavrel::test
