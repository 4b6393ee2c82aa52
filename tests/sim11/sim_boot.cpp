// The bootstrap mode's loader, fed through the SCI as a host would feed it.
#include "sim_support.h"

#include <gtest/gtest.h>

namespace sim11::test {
namespace {

struct Boot {
    std::unique_ptr<Machine> m;
    std::string sent;
};

Boot boot(Chip chip, const std::string& download) {
    Boot b{std::make_unique<Machine>(chip, Mode::Bootstrap), {}};
    b.m->setFeed(Feed::Line);
    b.m->connectTransmit(
        [&sent = b.sent](std::uint8_t byte, std::uint64_t) { sent += static_cast<char>(byte); });
    b.m->sciFeed(download);
    return b;
}

const std::string program = "\x86\x42\xCF\x20\xFE"; // LDAA #$42, STOP, BRA *
constexpr std::uint64_t frame = 2560;               // 7812 baud: 256 E cycles a bit

// After the STOP, the last echoes still leave the transmitter.
void drain(Machine& m) {
    m.run(m.cycles() + 3 * frame);
}

TEST(Loader, EPartLoadsUntilTheLineIdlesEchoingEachByteThenRunsFromZero) {
    Boot b = boot(Chip::E9, "\xFF" + program);
    Machine& m = *b.m;
    ASSERT_EQ(m.run(2000000), Halt::Stop);
    const std::uint64_t ended = m.cycles();
    drain(m);
    EXPECT_EQ(b.sent, std::string("\x00", 1) + program) << "a break, then the echoes";
    EXPECT_EQ(m.regs().a, 0x42);
    EXPECT_EQ(m.regs().pc, 0x0003) << "run ends at the STOP";
    // What programs loaded this way count on.
    EXPECT_EQ(m.regs().sp, 0x00FF);
    EXPECT_EQ(m.peek(0x102B), 0xA2) << "7812 baud kept";
    EXPECT_EQ(m.peek(0x102D), 0x0C) << "transmitter and receiver on";
    EXPECT_EQ(m.regs().y, program.size());
    // Four character times of silence after the last byte end it.
    const std::uint64_t lastByte = (1 + program.size()) * frame;
    EXPECT_GE(ended, lastByte + 4 * frame);
    EXPECT_LT(ended, lastByte + 5 * frame);
}

TEST(Loader, APartTakesExactlyTwoHundredFiftySixBytesAndNoTimeout) {
    std::string image = program;
    image.resize(256, '\x01'); // NOP padding
    Boot b = boot(Chip::A1, "\xFF" + image.substr(0, 100));
    Machine& m = *b.m;
    m.run(400000);
    EXPECT_EQ(m.regs().pc, 0xBF40) << "still loading after a long pause";
    m.sciFeed(image.substr(100));
    ASSERT_EQ(m.run(m.cycles() + 2000000), Halt::Stop);
    drain(m);
    EXPECT_EQ(b.sent.size(), 1u + 256u);
    EXPECT_EQ(m.regs().a, 0x42);
}

TEST(Loader, EPartStopsWhenRamIsFull) {
    std::string image = program;
    image.resize(512, '\x01');
    Boot b = boot(Chip::E9, "\xFF" + image + "extra");
    ASSERT_EQ(b.m->run(3000000), Halt::Stop);
    drain(*b.m);
    EXPECT_EQ(b.m->regs().a, 0x42);
    EXPECT_EQ(b.sent.size(), 1u + 512u);
}

TEST(Loader, AnythingButFfSwitchesToTheSlowRate) {
    Boot b = boot(Chip::E9, "\xE0" + program);
    ASSERT_EQ(b.m->run(5000000), Halt::Stop);
    EXPECT_EQ(b.m->peek(0x102B), 0xB3);
    EXPECT_EQ(b.m->sciBitCycles(), 1664u); // 1200 baud at 2 MHz
    EXPECT_EQ(b.m->regs().a, 0x42);
}

TEST(Loader, ZeroFirstJumpsToTheEeprom) {
    Boot b = boot(Chip::E9, std::string("\x00", 1));
    b.m->load(0xB600, 0xC6); // LDAB #$77, STOP
    b.m->load(0xB601, 0x77);
    b.m->load(0xB602, 0xCF);
    ASSERT_EQ(b.m->run(100000), Halt::Stop);
    EXPECT_EQ(b.m->regs().b, 0x77);
}

TEST(Loader, InterruptsOfTheLoadedProgramGoThroughRamSlots) {
    // SWI in the downloaded program lands in its slot at $00F4.
    std::string image = "\x3F"; // SWI
    image.resize(0xF4, '\x01');
    image += "\xC6\x99\xCF"; // slot: LDAB #$99, STOP
    Boot b = boot(Chip::E9, "\xFF" + image);
    ASSERT_EQ(b.m->run(3000000), Halt::Stop);
    EXPECT_EQ(b.m->regs().b, 0x99);
}

} // namespace
} // namespace sim11::test
