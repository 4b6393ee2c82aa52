// A board in bootstrap mode played from a script, in simulated time: it
// echoes each program byte once the byte has crossed the line and the echo
// has crossed back, and it fails in the ways boards and adapters fail.
#pragma once

#include "board/transport.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace kavrel::board::test {

class ScriptedBoard : public Transport {
public:
    // --- the script ---
    std::optional<PortFault> openFault;
    Duration latency{};                     // added to every byte coming back (a slow adapter)
    std::optional<std::size_t> corruptAt;   // this program byte's echo comes back with a bit flipped
    std::optional<std::size_t> silentFrom;  // no echo from this program byte on (0: never answers)
    std::optional<std::size_t> vanishAfter; // unplugged once this many bytes have been read
    std::string waiting;                    // there when the port opens (the loader's break)
    std::string greeting;                   // said by the program after its last byte...
    std::size_t programSize = 0;            // ...which is this one

    // --- what it saw ---
    std::vector<std::uint8_t> written;
    std::vector<Duration> leftAt; // when each written byte started on the line
    unsigned baud = 0;
    unsigned opens = 0;
    unsigned pulses = 0; // resets by DTR and RTS
    bool isOpen = false;
    std::size_t delivered = 0;

    void open(const std::string&, unsigned speed) override {
        if (openFault)
            throw PortError(*openFault, "refus du système");
        baud = speed;
        ++opens;
        isOpen = true;
        for (const char c : waiting)
            coming_.push_back({now_, static_cast<std::uint8_t>(c)});
    }

    void write(std::span<const std::uint8_t> bytes) override {
        ensureUsable();
        for (const std::uint8_t byte : bytes) {
            const Duration start = std::max(now_, wireFree_);
            wireFree_ = start + character();
            leftAt.push_back(start);
            written.push_back(byte);
            if (written.size() == 1)
                continue; // the $FF that sets the speed is not echoed
            const std::size_t index = written.size() - 2;
            if (silentFrom && index >= *silentFrom)
                continue;
            const Duration back = start + 2 * character() + latency;
            const std::uint8_t echo = corruptAt == index ? static_cast<std::uint8_t>(byte ^ 0x10) : byte;
            coming_.push_back({back, echo});
            if (programSize != 0 && index + 1 == programSize)
                for (std::size_t k = 0; k < greeting.size(); ++k)
                    coming_.push_back({back + static_cast<int>(k + 1) * character(),
                                       static_cast<std::uint8_t>(greeting[k])});
        }
    }

    std::size_t read(std::span<std::uint8_t> into, Duration timeout) override {
        ensureUsable();
        if (coming_.empty() || coming_.front().at > now_ + timeout) {
            now_ += timeout;
            return 0;
        }
        now_ = std::max(now_, coming_.front().at);
        std::size_t n = 0;
        while (n < into.size() && !coming_.empty() && coming_.front().at <= now_) {
            if (vanishAfter && delivered >= *vanishAfter)
                break;
            into[n++] = coming_.front().byte;
            coming_.pop_front();
            ++delivered;
        }
        return n;
    }

    void pulseReset(Duration low) override {
        ensureUsable();
        ++pulses;
        now_ += low;
    }

    void close() override { isOpen = false; }
    Duration now() const override { return now_; }

    Duration character() const { return Duration(10'000'000'000LL / baud); }
    // The longest the line stayed idle between two program bytes.
    Duration longestGap() const {
        Duration gap{};
        for (std::size_t i = 2; i < leftAt.size(); ++i)
            gap = std::max(gap, leftAt[i] - (leftAt[i - 1] + character()));
        return gap;
    }

private:
    void ensureUsable() const {
        if (!isOpen)
            throw PortError(PortFault::Other, "port fermé");
        if (vanishAfter && delivered >= *vanishAfter)
            throw PortError(PortFault::Vanished);
    }

    struct Coming {
        Duration at;
        std::uint8_t byte;
    };
    std::deque<Coming> coming_;
    Duration now_{};
    Duration wireFree_{};
};

} // namespace kavrel::board::test
