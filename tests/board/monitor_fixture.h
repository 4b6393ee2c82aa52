// The load through BUFFALO in the tests: the evaluation board as a fixture,
// lines that fail, what the port says.
#pragma once

#include "board/monitor_load.h"
#include "buffalo_board.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace kavrel::board::test {

inline S19Program s19Of(const std::string& text) {
    std::string error;
    std::optional<S19Program> program = parseS19Program(text, error);
    EXPECT_TRUE(program) << error;
    return program.value_or(S19Program{});
}

// What the port gives within `time`.
inline std::string listen(Transport& port, Duration time) {
    std::string heard;
    std::uint8_t buffer[64];
    const Duration end = port.now() + time;
    for (Duration now = port.now(); now < end; now = port.now()) {
        const std::size_t n = port.read(buffer, end - now);
        heard.append(buffer, buffer + n);
    }
    return heard;
}

// A port nobody should open.
class UntouchedPort : public Transport {
public:
    unsigned opens = 0;
    void open(const std::string&, unsigned) override { ++opens; }
    void write(std::span<const std::uint8_t>) override {}
    std::size_t read(std::span<std::uint8_t>, Duration) override { return 0; }
    void close() override {}
    Duration now() const override { return {}; }
};

// The line in front of a board, failing as lines fail, counted in records.
class MonitorLine : public Transport {
public:
    explicit MonitorLine(Transport& board) : board_(board) {}

    std::optional<std::size_t>
        corruptRecord; // this record's first data digit arrives changed (from 1)
    std::optional<std::size_t> deafAfterRecords;   // nothing comes back once this many have gone
    std::optional<std::size_t> vanishAfterRecords; // unplugged once this many have gone

    void open(const std::string& port, unsigned baud) override { board_.open(port, baud); }
    void write(std::span<const std::uint8_t> bytes) override {
        usable();
        std::string text(bytes.begin(), bytes.end());
        if (text.rfind("S1", 0) == 0) {
            ++records_;
            if (corruptRecord == records_ && text.size() > 8)
                text[8] = text[8] == '0' ? '1' : '0';
        }
        board_.write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override {
        usable();
        const std::size_t n = board_.read(into, timeout);
        return deafAfterRecords && records_ >= *deafAfterRecords ? 0 : n;
    }
    void close() override { board_.close(); }
    Duration now() const override { return board_.now(); }

private:
    void usable() const {
        if (vanishAfterRecords && records_ >= *vanishAfterRecords)
            throw PortError(PortFault::Vanished);
    }
    Transport& board_;
    std::size_t records_ = 0;
};

class BuffaloBoard : public ::testing::Test {
protected:
    void SetUp() override {
        if (buffaloRom().empty())
            GTEST_SKIP() << "absent : " << KAVREL_TESTDATA_DIR << "/buffalo-34.asm";
        board_ = evaluationBoard();
    }

    static MonitorSettings settingsFor(unsigned baud) {
        MonitorSettings settings;
        settings.port = "sim";
        settings.baud = baud;
        return settings;
    }

    void expectInMemory(const S19Program& program) {
        for (const S19Record& record : program.records)
            for (std::size_t k = 0; k < record.data.size(); ++k) {
                const auto address = static_cast<std::uint16_t>(record.address + k);
                ASSERT_EQ(board_->machine().peek(address), record.data[k])
                    << "adresse " << std::hex << address;
            }
    }

    std::unique_ptr<SimulatedBoard> board_;
};

} // namespace kavrel::board::test
