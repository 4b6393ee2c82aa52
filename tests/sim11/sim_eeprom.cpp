// The EEPROM and CONFIG as the chip's documentation has them: programming only
// clears bits, an erase (byte, row, bulk) sets them, a read while the latch
// is on is not the data, the time follows the E clock, BPROT's blocks and
// PTCON, CONFIG erased alone on the E parts and with the array on the A parts.
#include "sim_support.h"

#include <gtest/gtest.h>

namespace sim11::test {
namespace {

constexpr std::uint16_t kPprog = 0x103B, kBprot = 0x1035, kConfig = 0x103F;
constexpr std::uint8_t kByte = 0x10, kRow = 0x08, kErase = 0x04, kLatch = 0x02, kPgm = 0x01;
constexpr std::uint64_t kTenMs = 20000; // at 2 MHz

// One operation as a program does it: the latch and the mode, the byte at
// its address, the programming voltage for `cycles`, then PPROG cleared.
void operate(Machine& m, std::uint8_t mode, std::uint16_t address, std::uint8_t data,
             std::uint64_t cycles = kTenMs) {
    m.write(kPprog, mode | kLatch);
    m.write(address, data);
    m.write(kPprog, mode | kLatch | kPgm);
    m.run(m.cycles() + cycles);
    m.write(kPprog, 0);
}

std::unique_ptr<Machine> unprotected(Chip chip = Chip::E9) {
    auto m = program("L BRA L", chip);
    m->write(kBprot, 0x00);
    return m;
}

TEST(EepromCells, ProgrammingOnlyClearsBitsAndEachEraseSetsItsOwnBytes) {
    auto m = unprotected();
    m->load(0xB610, 0xF0);
    operate(*m, 0, 0xB610, 0x0F);
    EXPECT_EQ(m->read(0xB610), 0x00) << "the ones of $0F could not come back";

    for (unsigned k = 0; k < 512; ++k)
        m->load(static_cast<std::uint16_t>(0xB600 + k), 0x00);
    operate(*m, kByte | kErase, 0xB612, 0x00);
    EXPECT_EQ(m->read(0xB612), 0xFF);
    EXPECT_EQ(m->read(0xB611), 0x00);
    EXPECT_EQ(m->read(0xB613), 0x00);

    operate(*m, kRow | kErase, 0xB625, 0x00); // the row $B620-$B62F
    EXPECT_EQ(m->read(0xB61F), 0x00);
    EXPECT_EQ(m->read(0xB620), 0xFF);
    EXPECT_EQ(m->read(0xB62F), 0xFF);
    EXPECT_EQ(m->read(0xB630), 0x00);

    operate(*m, kErase, 0xB600, 0x00); // bulk
    for (unsigned k = 0; k < 512; ++k)
        ASSERT_EQ(m->read(static_cast<std::uint16_t>(0xB600 + k)), 0xFF) << k;
}

TEST(EepromCells, AReadWhileLatchedIsNotTheData) {
    auto m = unprotected();
    m->write(kPprog, kLatch);
    m->write(0xB600, 0x5A);
    m->write(kPprog, kLatch | kPgm);
    m->run(m->cycles() + kTenMs);
    const std::uint8_t during = m->read(0xB600);
    EXPECT_NE(during, 0x5A);
    EXPECT_NE(during, 0xFF) << "nor the erased cell";
    m->write(kPprog, 0);
    EXPECT_EQ(m->read(0xB600), 0x5A);
}

TEST(EepromCells, TheProgrammingTimeFollowsTheEClock) {
    struct Case {
        double eClock;
        std::uint64_t cycles;
        bool programmed;
    };
    const Case cases[] = {
        {2'000'000, 19'900, false},                             // 9.95 ms
        {2'000'000, 20'000, true},                              // 10 ms
        {4'000'000, 39'900, false},                             // a 16 MHz crystal: still 10 ms
        {4'000'000, 40'000, true},  {1'000'000, 10'000, false}, // 10 ms is too short below 2 MHz
        {1'000'000, 20'000, true},                              // 20 ms
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.eClock);
        SCOPED_TRACE(c.cycles);
        auto m = unprotected();
        m->setHostBaud(0, c.eClock);
        operate(*m, 0, 0xB600, 0x00, c.cycles);
        EXPECT_EQ(m->read(0xB600), c.programmed ? 0x00 : 0xFF);
    }
}

TEST(EepromCells, BprotProtectsItsBlocksAndPtconTheConfig) {
    auto m = program("L BRA L");
    m->write(kBprot, 0x11); // $B600-$B61F and CONFIG
    operate(*m, 0, 0xB61F, 0x00);
    operate(*m, 0, 0xB620, 0x00);
    EXPECT_EQ(m->read(0xB61F), 0xFF);
    EXPECT_EQ(m->read(0xB620), 0x00);
    operate(*m, kByte | kErase, kConfig, 0xFF);
    operate(*m, 0, kConfig, 0x00);
    m->reset();
    EXPECT_EQ(m->peek(kConfig), 0x0F) << "CONFIG untouched";
}

TEST(EepromCells, ConfigErasedAloneOnAnEPartAndWithTheArrayOnAnAPart) {
    {
        auto m = unprotected(Chip::E9);
        m->load(0xB600, 0x12);
        operate(*m, kByte | kErase, kConfig, 0xFF);
        operate(*m, 0, kConfig, 0x0D);
        EXPECT_EQ(m->peek(kConfig), 0x0F) << "in force until reset";
        m->reset();
        EXPECT_EQ(m->peek(kConfig), 0x0D);
        EXPECT_EQ(m->peek(0xB600), 0x12);
    }
    {
        auto m = unprotected(Chip::A1);
        m->load(0xB600, 0x12);
        operate(*m, kByte | kErase, kConfig, 0xFF);
        operate(*m, 0, kConfig, 0x05);
        m->reset();
        EXPECT_EQ(m->peek(kConfig), 0x05) << "a byte erase does not reach an A part's CONFIG";
        EXPECT_EQ(m->peek(0xB600), 0x12);

        operate(*m, kErase, kConfig, 0xFF);
        m->reset();
        EXPECT_EQ(m->peek(kConfig), 0xFF);
        EXPECT_EQ(m->peek(0xB600), 0xFF) << "the bulk erase took the array with it";
    }
}

} // namespace
} // namespace sim11::test
