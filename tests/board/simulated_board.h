// The simulator as the board: a 68HC11 reset in bootstrap mode behind an
// in-memory line. The host's bytes reach the chip's receiver at the pace of
// the host's speed and the chip's answers come back at its own, both
// sampled across the line as a receiver would, so a speed the loader does not
// use garbles the bytes as a real line does. Time is the chip's E clock.
#pragma once

#include "board/transport.h"
#include "sim11/machine.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace kavrel::board::test {

// The byte a receiver reads when a frame sent with bits of `sentBit` is
// sampled in the middle of bits of `readBit` (start bit, 8 data bits, stop).
std::uint8_t acrossLine(std::uint8_t byte, double sentBit, double readBit);

class SimulatedBoard : public Transport {
public:
    // The E clock is a quarter of the crystal's frequency.
    explicit SimulatedBoard(sim11::Chip chip, std::uint32_t crystalHz = 8'000'000);
    // A chip in another mode, made ready by `prepare` (a ROM attached, a
    // program stored, the reset pressed again) before its first 20 ms run.
    SimulatedBoard(sim11::Chip chip, std::uint32_t crystalHz, sim11::Mode mode,
                   const std::function<void(sim11::Machine&)>& prepare);

    sim11::Machine& machine() { return machine_; }

    // What the host side does wrong.
    Duration latency{}; // a USB adapter holding the bytes it receives this long
    // The host's thread falls asleep this long in its first wait once it has
    // handed over more than this many bytes (the $FF included).
    std::optional<std::size_t> stallAfter;
    Duration stall{};
    // The port's control lines: whether it has them, and whether the board
    // wires them to RESET.
    bool controlLines = true;
    bool resetWired = false;
    unsigned pulses = 0;

    void open(const std::string& port, unsigned baud) override;
    void write(std::span<const std::uint8_t> bytes) override;
    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override;
    void setBaud(unsigned baud) override;
    void pulseReset(Duration low) override;
    // What the host's side had not started to send goes with the port.
    void close() override;
    Duration now() const override { return now_; }

    bool isOpen() const { return open_; }

private:
    void start();
    void advance(Duration until, bool untilHeard);
    void feedDue();
    std::uint64_t cyclesAt(Duration t) const;
    Duration timeAt(std::uint64_t cycles) const;
    double chipBitNs() const;

    struct Timed {
        Duration at;
        std::uint8_t byte;
    };

    sim11::Machine machine_;
    std::uint64_t eClockHz_;
    bool open_ = false;
    double hostBitNs_ = 0;
    Duration now_{};
    Duration lineFree_{};
    std::size_t written_ = 0;
    bool stalled_ = false;
    std::deque<Timed> toChip_; // bytes on their way, by the time they start
    std::deque<Timed> heard_;  // bytes for the host, by the time it can read them
};

} // namespace kavrel::board::test
