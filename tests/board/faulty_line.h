// A line between the host and a board that fails on demand: it passes
// everything through to the board, until the byte coming back that it
// corrupts, the point from which it hears nothing, or the read at which the
// port vanishes. Counts start when arm() is called (after a load, say).
#pragma once

#include "board/transport.h"

#include <cstdint>
#include <optional>

namespace kavrel::board::test {

class FaultyLine : public Transport {
public:
    explicit FaultyLine(Transport& board) : board_(board) {}

    std::optional<std::size_t> corruptAt;   // this byte heard since arm() comes with a bit flipped
    std::optional<std::size_t> deafFrom;    // nothing heard from this byte on
    std::optional<std::size_t> vanishAfter; // reads since arm() before the port goes
    unsigned closes = 0;

    void arm() {
        armed_ = true;
        heard_ = 0;
        reads_ = 0;
    }

    void open(const std::string& port, unsigned baud) override { board_.open(port, baud); }
    void write(std::span<const std::uint8_t> bytes) override {
        if (gone_)
            throw PortError(PortFault::Vanished);
        board_.write(bytes);
    }
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override {
        if (gone_ || (armed_ && vanishAfter && reads_ >= *vanishAfter)) {
            gone_ = true;
            throw PortError(PortFault::Vanished);
        }
        ++reads_;
        std::size_t n = board_.read(into, timeout);
        if (!armed_)
            return n;
        std::size_t kept = 0;
        for (std::size_t k = 0; k < n; ++k, ++heard_) {
            if (deafFrom && heard_ >= *deafFrom)
                continue;
            std::uint8_t byte = into[k];
            if (corruptAt && heard_ == *corruptAt)
                byte ^= 0x10;
            into[kept++] = byte;
        }
        return kept;
    }
    void setBaud(unsigned baud) override { board_.setBaud(baud); }
    void pulseReset(Duration low) override { board_.pulseReset(low); }
    void close() override {
        ++closes;
        board_.close();
    }
    Duration now() const override { return board_.now(); }

private:
    Transport& board_;
    bool armed_ = false, gone_ = false;
    std::size_t heard_ = 0, reads_ = 0;
};

} // namespace kavrel::board::test
