// A real program from outside the project: the BUFFALO monitor, assembled by
// asmhc11, as the ROM of an E9 in single-chip mode, talked to on the SCI.
#include "sim_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace sim11::test {
namespace {

namespace fs = std::filesystem;

class Buffalo : public ::testing::Test {
protected:
    void SetUp() override {
        const fs::path source = fs::path(KAVREL_TESTDATA_DIR) / "buffalo-34.asm";
        if (!fs::exists(source))
            GTEST_SKIP() << "absent : " << source.string();
        std::ifstream in(source, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        m_ = std::make_unique<Machine>(Chip::E9, Mode::SingleChip);
        loadSource(*m_, text.str());
        m_->setFeed(Feed::Paced);
        m_->connectTransmit([this](std::uint8_t b, std::uint64_t) {
            if (b != 0) // the monitor pads its line ends with NULs
                out_ += static_cast<char>(b);
        });
    }

    // Types `input` and runs until `expected` appears after what was seen so
    // far; returns the new output.
    std::string converse(const std::string& input, const std::string& expected) {
        const std::size_t from = out_.size();
        m_->sciFeed(input);
        for (int slice = 0; slice < 400; ++slice) {
            m_->run(m_->cycles() + 100000);
            if (out_.find(expected, from) != std::string::npos && m_->sciWaiting() == 0)
                break;
        }
        const std::string answer = out_.substr(from);
        EXPECT_NE(answer.find(expected), std::string::npos)
            << "attendu : " << expected << "\nreçu : " << answer;
        return answer;
    }

    std::unique_ptr<Machine> m_;
    std::string out_;
};

TEST_F(Buffalo, BootsAndAnswersItsCommands) {
    m_->run(2000000);
    EXPECT_NE(out_.find("BUFFALO 3.4"), std::string::npos) << out_;
    converse("\r", "\r\n>");
    converse("MD E000 E00F\r", "E000 CE 10 0A 1F 00 01 03 7E B6 00 86 93 B7 10 39 86");
    // The one-line disassembler, then the assembler writing into RAM.
    converse("ASM E000\r", "E000 LDX  #$100A");
    converse("\r", "E003 BRCL $00,X $01 $E00A");
    converse("\x01", ">");
    converse("ASM 0100\r", "0100 ");
    converse("LDAA #55\r", "86 55");
    converse("INCA\r", "4C");
    converse("RTS\r", "39");
    converse("\x01", ">");
    converse("MD 0100 0103\r", "0100 86 55 4C 39");
    // The monitor runs it as a subroutine and shows the registers it left.
    converse("CALL 0100\r", "A-56");
    // Memory modify and register display.
    converse("MM 0120\r", "0120 00");
    converse("42\r", ">");
    converse("MD 0120 0120\r", "0120 42");
    converse("RM\r", "P-0100 Y-0000 X-0000 A-56 B-00 C-D0 S-0041");
    converse("\r", ">");
}

// On the evaluation board OC5 drives XIRQ: the monitor's trace runs one
// instruction of the user's program and comes back.
TEST_F(Buffalo, TracesOnTheEvaluationBoard) {
    m_->setOc5ToXirq(true);
    m_->run(2000000);
    converse("\r", "\r\n>");
    converse("ASM 0100\r", "0100 ");
    converse("LDAA #55\r", "86 55");
    converse("INCA\r", "4C");
    converse("\x01", ">");
    converse("RM\r", "P-");
    converse("0100\r", ">");
    converse("T\r", "LDAA #$55            P-0102 Y-0000 X-0000 A-55");
    converse("T\r", "INCA                 P-0103 Y-0000 X-0000 A-56");
}

} // namespace
} // namespace sim11::test
