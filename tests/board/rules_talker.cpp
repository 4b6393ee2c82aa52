// The talker's rules without a chip: the images the build embedded, the SCI's
// speeds at a crystal, the EEPROM's time, and the protocol against a line
// played from a script (the loader's echoes right, then the talker's answers
// as the test writes them), so that each fault of the line is told.
#include "board/talker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>

namespace kavrel::board::test {
namespace {

using namespace std::chrono_literals;
using testing::HasSubstr;

TEST(TalkerImage, EachFamilysImageFitsItsRamAndItsPseudoVectorsLeadIntoIt) {
    for (const Family family : {Family::A, Family::E}) {
        SCOPED_TRACE(familyName(family));
        const TalkerImage& image = talkerImage(family);
        if (family == Family::A) {
            EXPECT_EQ(image.boot.size(), 256u) << "the A loader takes 256 bytes exactly";
            EXPECT_LT(image.last, 0x00C4) << "below the pseudo-vectors";
        } else {
            EXPECT_LE(image.boot.size(), 512u);
            EXPECT_GE(image.first, 0x0100) << "above the pseudo-vectors";
        }
        ASSERT_LT(image.first, image.last);
        EXPECT_LE(image.last, ramBytes(family) - 1);
        EXPECT_EQ(image.boot[0], 0x86) << "LDAA #BAUD at $0000";
        EXPECT_TRUE(image.boot[2] == 0x7E || image.boot[2] == 0x20) << "then JMP or BRA";
        // The SCI's and SWI's pseudo-vectors jump into the talker.
        for (const std::size_t slot : {std::size_t{0xC4}, std::size_t{0xF4}}) {
            ASSERT_EQ(image.boot[slot], 0x7E) << slot;
            const auto target =
                static_cast<std::uint16_t>(image.boot[slot + 1] << 8 | image.boot[slot + 2]);
            EXPECT_GE(target, image.first);
            EXPECT_LE(target, image.last);
        }
    }
}

TEST(TalkerSpeeds, TheSciSettingOfASpeedAtACrystal) {
    struct Case {
        double eClock;
        unsigned baud;
        bool possible;
    };
    const Case cases[] = {
        {2'000'000, 9600, true},   {2'000'000, 1200, true},    {2'000'000, 4800, true},
        {2'457'600, 9600, true},   {2'457'600, 19200, true},   {2'000'000, 125000, true},
        {2'000'000, 19200, false}, {2'000'000, 115200, false},
    };
    constexpr double prescalers[] = {1, 3, 4, 13};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.eClock);
        SCOPED_TRACE(c.baud);
        const std::optional<std::uint8_t> setting = talkerBaudRegister(c.eClock, c.baud);
        ASSERT_EQ(setting.has_value(), c.possible);
        if (!setting)
            continue;
        EXPECT_EQ(*setting & 0xC8, 0) << "SCP1-0 and SCR2-0 only";
        const double rate =
            c.eClock / (16 * prescalers[(*setting >> 4) & 3] * (1 << (*setting & 7)));
        EXPECT_NEAR(rate / c.baud, 1.0, 0.03);
    }
    EXPECT_EQ(talkerBaudRegister(2'000'000, 9600), 0x30) << "the one setting at 8 MHz";
    EXPECT_EQ(eepromProgramTime(2'000'000), 10ms);
    EXPECT_EQ(eepromProgramTime(3'000'000), 10ms);
    EXPECT_EQ(eepromProgramTime(1'500'000), 20ms);
}

// Echoes the bootstrap load; once the speed changes, each command of seven
// bytes (and the data of a W) goes to `answer`, whose bytes come back.
class ScriptedTalker final : public Transport {
public:
    std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>& command)> answer;
    bool vanishOnCommand = false;
    unsigned closes = 0;

    void open(const std::string&, unsigned) override {
        loading_ = true;
        first_ = true;
    }
    void write(std::span<const std::uint8_t> bytes) override {
        for (const std::uint8_t b : bytes) {
            now_ += 1ms;
            if (loading_) {
                if (!first_)
                    coming_.push_back(b);
                first_ = false;
                continue;
            }
            if (vanishOnCommand)
                throw PortError(PortFault::Vanished);
            command_.push_back(b);
            const std::size_t size = command_[0] == 'W' && command_.size() >= 4
                                         ? 7u + (command_[3] ? command_[3] : 256u)
                                         : 7u;
            if (command_.size() == size) {
                for (const std::uint8_t r : answer(command_))
                    coming_.push_back(r);
                command_.clear();
            }
        }
    }
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override {
        std::size_t n = 0;
        while (n < into.size() && !coming_.empty()) {
            into[n++] = coming_.front();
            coming_.pop_front();
        }
        if (n == 0)
            now_ += timeout;
        return n;
    }
    void setBaud(unsigned) override { loading_ = false; }
    void close() override { ++closes; }
    Duration now() const override { return now_; }

private:
    bool loading_ = true, first_ = true;
    std::deque<std::uint8_t> coming_;
    std::vector<std::uint8_t> command_;
    Duration now_{};
};

// The talker's own answer to a read: the bytes, then the check.
std::vector<std::uint8_t> readAnswer(const std::vector<std::uint8_t>& command,
                                     std::vector<std::uint8_t> data) {
    std::uint8_t sum = 0;
    for (const std::uint8_t b : command)
        sum = static_cast<std::uint8_t>(sum + b);
    for (const std::uint8_t b : data)
        sum = static_cast<std::uint8_t>(sum + b);
    data.push_back(static_cast<std::uint8_t>(-sum));
    return data;
}

TalkerSettings settings() {
    TalkerSettings s;
    s.port = "COM3";
    s.family = Family::E;
    return s;
}

TEST(TalkerProtocol, EachFaultOfTheFirstAnswerIsToldAndThePortClosed) {
    struct Case {
        const char* what;
        std::function<std::vector<std::uint8_t>(const std::vector<std::uint8_t>&)> answer;
        TalkerFault fault;
        const char* words;
    };
    const Case cases[] = {
        {"silence", [](const auto&) { return std::vector<std::uint8_t>{}; }, TalkerFault::NoAnswer,
         "ne répond pas à 9600 bauds"},
        {"check wrong",
         [](const auto& c) {
             auto a = readAnswer(c, {0x01, 0xF6});
             a.back() ^= 0x01;
             return a;
         },
         TalkerFault::BadReply, "octets faussés"},
        {"cut short", [](const auto&) { return std::vector<std::uint8_t>{0x01}; },
         TalkerFault::BadReply, "octets faussés"},
        {"a stack outside the RAM",
         [](const auto& c) {
             return readAnswer(c, {0x7F, 0x00});
         },
         TalkerFault::BadReply, "n'est pas le programme de dialogue"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedTalker line;
        line.answer = c.answer;
        Talker talker(line, settings());
        try {
            talker.connect();
            ADD_FAILURE() << "connecté";
        } catch (const TalkerError& error) {
            EXPECT_EQ(error.fault(), c.fault);
            EXPECT_THAT(error.what(), HasSubstr(c.words));
        }
        EXPECT_FALSE(talker.connected());
        EXPECT_GE(line.closes, 1u);
    }
}

TEST(TalkerProtocol, AReadIsCheckedAndAVanishedPortIsNamed) {
    ScriptedTalker line;
    std::vector<std::uint8_t> memory(0x10000, 0x00);
    memory[0x0100] = 0x01;
    memory[0x0101] = 0xF6;
    memory[0x0040] = 0x5A;
    bool corrupt = false;
    line.answer = [&](const std::vector<std::uint8_t>& c) {
        const auto at = static_cast<std::uint16_t>(c[1] << 8 | c[2]);
        const std::size_t n = c[3] ? c[3] : 256;
        std::vector<std::uint8_t> data(memory.begin() + at, memory.begin() + at + n);
        auto a = readAnswer(c, data);
        if (corrupt)
            a[0] ^= 0x80;
        return a;
    };
    Talker talker(line, settings());
    talker.connect();
    EXPECT_EQ(talker.read(0x0040, 1), std::vector<std::uint8_t>{0x5A});
    EXPECT_EQ(talker.read(0xB600, 300).size(), 300u) << "split in two";
    corrupt = true;
    try {
        talker.read(0x0040, 1);
        ADD_FAILURE();
    } catch (const TalkerError& error) {
        EXPECT_EQ(error.fault(), TalkerFault::BadReply);
    }
    corrupt = false;
    EXPECT_EQ(talker.read(0x0040, 1), std::vector<std::uint8_t>{0x5A}) << "still in step";
    line.vanishOnCommand = true;
    try {
        talker.read(0x0040, 1);
        ADD_FAILURE();
    } catch (const TalkerError& error) {
        EXPECT_EQ(error.fault(), TalkerFault::Vanished);
        EXPECT_THAT(error.what(), HasSubstr("Le port COM3 a disparu pendant le débogage"));
    }
}

} // namespace
} // namespace kavrel::board::test
