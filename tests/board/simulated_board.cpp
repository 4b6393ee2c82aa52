#include "simulated_board.h"

#include <algorithm>
#include <cmath>

namespace kavrel::board::test {

std::uint8_t acrossLine(std::uint8_t byte, double sentBit, double readBit) {
    // Close enough speeds read every bit in its own cell.
    if (std::abs(sentBit / readBit - 1.0) < 0.03)
        return byte;
    std::uint8_t read = 0;
    for (int k = 0; k < 8; ++k) {
        const auto cell = static_cast<long>(std::floor((1.5 + k) * readBit / sentBit));
        // Cell 0 is the start bit, 1 to 8 the data, then the stop bit and an idle line.
        const bool level = cell == 0 ? false : cell <= 8 ? ((byte >> (cell - 1)) & 1) != 0 : true;
        if (level)
            read |= static_cast<std::uint8_t>(1u << k);
    }
    return read;
}

SimulatedBoard::SimulatedBoard(sim11::Chip chip, std::uint32_t crystalHz)
    : machine_(chip, sim11::Mode::Bootstrap), eClockHz_(crystalHz / 4) {
    start();
}

SimulatedBoard::SimulatedBoard(sim11::Chip chip, std::uint32_t crystalHz, sim11::Mode mode,
                               const std::function<void(sim11::Machine&)>& prepare)
    : machine_(chip, mode), eClockHz_(crystalHz / 4) {
    if (prepare)
        prepare(machine_);
    start();
}

void SimulatedBoard::start() {
    machine_.setFeed(sim11::Feed::Line);
    // The EEPROM's time at this crystal; the host's bytes are framed here.
    machine_.setHostBaud(0, static_cast<double>(eClockHz_));
    machine_.connectTransmit([this](std::uint8_t byte, std::uint64_t) {
        const double chipBit = chipBitNs();
        const std::uint8_t heard = hostBitNs_ > 0 ? acrossLine(byte, chipBit, hostBitNs_) : byte;
        heard_.push_back({timeAt(machine_.cycles()) + latency, heard});
        machine_.requestHalt();
    });
    // Reset well before the host comes: the loader has sent its break.
    advance(std::chrono::milliseconds(20), false);
}

void SimulatedBoard::open(const std::string&, unsigned baud) {
    hostBitNs_ = 1e9 / baud;
    open_ = true;
}

void SimulatedBoard::setBaud(unsigned baud) {
    if (!open_)
        throw PortError(PortFault::Other, "port fermé");
    hostBitNs_ = 1e9 / baud;
}

void SimulatedBoard::pulseReset(Duration low) {
    if (!controlLines)
        throw PortError(PortFault::NoControlLines);
    ++pulses;
    advance(now_ + low, false);
    // The chip starts again when the lines come back up.
    if (resetWired)
        machine_.pressReset();
}

void SimulatedBoard::close() {
    while (!toChip_.empty() && toChip_.back().at > now_)
        toChip_.pop_back();
    lineFree_ = std::min(lineFree_, now_);
    open_ = false;
}

void SimulatedBoard::write(std::span<const std::uint8_t> bytes) {
    if (!open_)
        throw PortError(PortFault::Other, "port fermé");
    for (const std::uint8_t byte : bytes) {
        ++written_;
        const Duration start = std::max(now_, lineFree_);
        lineFree_ = start + Duration(static_cast<std::int64_t>(10 * hostBitNs_));
        toChip_.push_back({start, byte});
    }
    feedDue();
}

std::size_t SimulatedBoard::read(std::span<std::uint8_t> into, Duration timeout) {
    if (!open_)
        throw PortError(PortFault::Other, "port fermé");
    if (stallAfter && written_ > *stallAfter && !stalled_) {
        stalled_ = true;
        advance(now_ + stall, false);
    }
    advance(now_ + timeout, true);
    std::size_t n = 0;
    while (n < into.size() && !heard_.empty() && heard_.front().at <= now_) {
        into[n++] = heard_.front().byte;
        heard_.pop_front();
    }
    return n;
}

void SimulatedBoard::advance(Duration until, bool untilHeard) {
    for (;;) {
        feedDue();
        if (untilHeard && !heard_.empty() && heard_.front().at <= now_)
            return;
        if (now_ >= until)
            return;
        Duration target = until;
        if (!toChip_.empty())
            target = std::min(target, toChip_.front().at);
        if (untilHeard && !heard_.empty())
            target = std::min(target, heard_.front().at);
        const std::uint64_t limit = cyclesAt(target);
        if (machine_.cycles() < limit && machine_.run(limit) == sim11::Halt::Requested)
            now_ = std::clamp(timeAt(machine_.cycles()), now_, target);
        else
            now_ = target; // the limit reached, or the chip asleep in STOP
    }
}

void SimulatedBoard::feedDue() {
    while (!toChip_.empty() && toChip_.front().at <= now_) {
        const std::uint8_t byte = toChip_.front().byte;
        toChip_.pop_front();
        machine_.sciFeed(acrossLine(byte, hostBitNs_, chipBitNs()));
    }
}

std::uint64_t SimulatedBoard::cyclesAt(Duration t) const {
    // Rounded up: the chip is never behind the host's clock.
    return static_cast<std::uint64_t>(
        std::ceil(static_cast<double>(t.count()) * static_cast<double>(eClockHz_) / 1e9));
}

Duration SimulatedBoard::timeAt(std::uint64_t cycles) const {
    return Duration(static_cast<std::int64_t>(static_cast<double>(cycles) * 1e9 /
                                              static_cast<double>(eClockHz_)));
}

double SimulatedBoard::chipBitNs() const {
    return machine_.sciBitCycles() * 1e9 / static_cast<double>(eClockHz_);
}

} // namespace kavrel::board::test
