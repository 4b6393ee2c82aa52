// The host's side of the SCI as the session exchanges it: a downloader that
// waits for each echo, a terminal at another rate, a typist who types ahead.
#include "sim_support.h"

#include "sim11/host_link.h"
#include "sim11/session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sim11::test {
namespace {

const std::string download = "\x86\x42\xCF\x20\xFE"; // LDAA #$42, STOP, BRA *

// Sends $FF, then each byte of the image once the previous one came back.
class EchoWaitingHost final : public SerialHost {
public:
    explicit EchoWaitingHost(std::string image) : image_(std::move(image)) {}
    void transmit(std::uint8_t byte) override {
        if (next_ > 0 && waiting_ && byte == static_cast<std::uint8_t>(image_[next_ - 1])) {
            waiting_ = false;
            ++echoes_;
        }
    }
    void poll(std::vector<std::uint8_t>& received) override {
        if (!started_) {
            received.push_back(0xFF);
            started_ = true;
        }
        if (!waiting_ && next_ < image_.size()) {
            received.push_back(static_cast<std::uint8_t>(image_[next_++]));
            waiting_ = true;
        }
    }
    bool live() const override { return true; }
    std::size_t echoes() const { return echoes_; }

private:
    std::string image_;
    std::size_t next_ = 0, echoes_ = 0;
    bool started_ = false, waiting_ = false;
};

TEST(HostExchange, ADownloaderWaitingForEachEchoLoadsAnEPart) {
    std::string image = download;
    image.resize(40, '\x01');
    Session s({Chip::E9, Mode::Bootstrap});
    EchoWaitingHost host(image);
    EXPECT_EQ(runWithHost(s, host, 20'000'000), RunEnd::Stop);
    EXPECT_EQ(host.echoes(), image.size());
    EXPECT_EQ(s.regs().a, 0x42) << "the whole image ran";
}

// A transport in memory: a byte sent, the run taken to its echo, the next.
void loadEchoByEcho(Chip chip, std::size_t size) {
    std::string image = download;
    image.resize(size, '\x01');
    Session s({chip, Mode::Bootstrap});
    std::string sent;
    s.onTransmit = [&](std::uint8_t byte) { sent += static_cast<char>(byte); };
    s.setStopOnTransmit(true);
    s.sciSend(0xFF);
    ASSERT_EQ(s.run(100000), RunEnd::Transmitted);
    EXPECT_EQ(sent, std::string(1, '\0')) << "the loader's break";
    for (std::size_t k = 0; k < image.size(); ++k) {
        sent.clear();
        s.sciSend(static_cast<std::uint8_t>(image[k]));
        RunEnd end = s.run(100000);
        // An A1 jumps to the program with its last echo still on the line.
        if (chip == Chip::A1 && k + 1 == image.size() && end == RunEnd::Stop)
            end = s.run(100000);
        ASSERT_EQ(end, RunEnd::Transmitted) << chipName(chip) << ", octet " << k;
        EXPECT_EQ(sent, std::string(1, image[k]));
    }
    if (chip != Chip::A1) {
        EXPECT_EQ(s.run(200000), RunEnd::Stop) << "after four character times of silence";
    }
    EXPECT_EQ(s.regs().a, 0x42) << chipName(chip);
}

TEST(HostExchange, EachByteRunToItsEchoLoadsBothParts) {
    loadEchoByEcho(Chip::E9, 64);
    loadEchoByEcho(Chip::A1, 256);
}

TEST(HostExchange, FfSentAt1200BaudArrivesGarbledAndChoosesTheSlowLoader) {
    Session s({Chip::E9, Mode::Bootstrap});
    s.setHostBaud(1200);
    s.sciSend("\xFF" + download);
    EXPECT_EQ(s.run(10'000'000), RunEnd::Stop);
    EXPECT_EQ(s.peek(0x102B), 0xB3);
    EXPECT_EQ(s.regs().a, 0x42);
}

TEST(HostExchange, AtAWrongRateTheStopBitIsMissedAndFramingErrorSet) {
    auto m = program(" LDAA #$30\n STAA $102B\n LDAA #$04\n STAA $102D\n"
                     "R BRCLR $2E,X,#$20,R\n LDAA $102E\n LDAB $102F\n STOP");
    m->regs().x = 0x1000;
    m->setFeed(Feed::Line);
    m->setHostBaud(4800);
    m->sciFeed('\x00');
    runToStop(*m);
    EXPECT_EQ(m->regs().a & 0x02, 0x02) << "FE";
}

// A monitor's long silent job (BUFFALO's BF over EEPROM) glances at the
// receiver once per 10 ms to see if it is told to stop, then prompts.
const char* slowJobThenPrompt = R"( LDX #$1000
 LDAA #$30
 STAA $2B,X
 LDAA #$0C
 STAA $2D,X
 LDAB #40
SLOW LDY #2857
D DEY
 BNE D
 BRCLR $2E,X,#$20,NOIN
 LDAA $2F,X
NOIN DECB
 BNE SLOW
 LDAA #'>
W BRCLR $2E,X,#$80,W
 STAA $2F,X
R1 BRCLR $2E,X,#$20,R1
 LDAA $2F,X
 STAA $0100
R2 BRCLR $2E,X,#$20,R2
 LDAA $2F,X
 STAA $0101
 STOP)";

TEST(TypedAhead, WaitsUntilTheProgramAsksForInput) {
    auto m = program(slowJobThenPrompt);
    m->setFeed(Feed::Paced);
    m->sciFeed("AB");
    runToStop(*m, 2'000'000);
    EXPECT_EQ(m->peek(0x0100), 'A');
    EXPECT_EQ(m->peek(0x0101), 'B');
}

TEST(TypedAhead, OnTheWireTheSameBytesAreLostAsOnABoard) {
    auto m = program(slowJobThenPrompt);
    m->setFeed(Feed::Line);
    m->sciFeed("AB");
    EXPECT_EQ(m->run(m->cycles() + 2'000'000), Halt::CycleLimit) << "still waiting for input";
}

} // namespace
} // namespace sim11::test
