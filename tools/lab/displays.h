// Seven-segment displays, multiplexed (the segments on one port, a select
// pin per digit) or driven directly (a port per digit), common cathode or
// common anode. Each segment's brightness is the share of the last refresh
// window it was lit, integrated from the cycles of the pins' changes: a
// scanned display reads as the eye sees it, steady digits at a fraction of
// full brightness.
#pragma once

#include "lab/board_description.h"
#include "lab/board_view.h"
#include "lab/part.h"

#include <array>
#include <cstdint>
#include <vector>

namespace lab {

// The eye's persistence: for each of a few channels, the share of the last
// window (of `window` cycles) it was lit. Fed with each change of a
// channel's state at its cycle; costs nothing between two changes. The lit
// time is counted exactly in fixed windows; the last window's share is the
// one under way plus the window before, weighted by the part of it still
// inside the last `window` cycles (exact for a steady pattern, and two
// windows after any change).
class Persistence {
public:
    explicit Persistence(std::size_t channels = 0) { resize(channels); }
    void resize(std::size_t channels);
    // A new start at `cycle`, every channel dark (a new machine's time).
    // A cycle before the latest one seen (the machine powered on again, its
    // count back to zero) starts again from there too, each channel as it is.
    void restart(std::uint64_t cycle, std::uint64_t window);
    // Channels [first, first + 8) take the bits of `lit` at `cycle`.
    void set8(std::size_t first, std::uint8_t lit, std::uint64_t cycle);
    void set(std::size_t channel, bool lit, std::uint64_t cycle);
    // The lit share of each channel over the window that ends at `cycle`
    // (over the time since the start while it is shorter than a window).
    float share(std::size_t channel, std::uint64_t cycle) const;
    std::vector<float> shares(std::uint64_t cycle) const; // every channel's
    bool lit(std::size_t channel) const { return channels_[channel].lit; }

private:
    struct Channel {
        bool lit = false;
        std::uint64_t since = 0;   // lit from this cycle, counted in `current` up to it
        std::uint64_t current = 0; // lit cycles in the window under way
        float previous = 0;        // share in the window before
    };
    void advance(std::uint64_t cycle);
    void rewind(std::uint64_t cycle);
    float shareAfterAdvance(const Channel& c, std::uint64_t cycle) const;
    std::vector<Channel> channels_;
    std::uint64_t window_ = 40'000;
    std::uint64_t start_ = 0, windowStart_ = 0;
    std::uint64_t last_ = 0; // the latest cycle seen
    bool havePrevious_ = false;
};

class Displays final : public Part {
public:
    // The window the brightness is measured over, as the eye integrates it.
    static constexpr double refreshSeconds = 0.020;

    explicit Displays(const DisplayWiring& wiring);
    ~Displays() override;

    void attach(Machine& machine, PinDrivers& drivers) override;
    void detach() override;
    const DisplayWiring& wiring() const { return wiring_; }
    DisplayView view(std::uint64_t cycle) const;

private:
    void pinsChanged(std::uint64_t cycle);
    std::uint8_t litSegments(int digit) const;

    DisplayWiring wiring_;
    int digits_ = 0;
    bool multiplexed_ = false;
    std::uint8_t ports_ = 0; // bit p: the part listens to port p
    Machine* machine_ = nullptr;
    Machine::Connection watcher_ = 0;
    Persistence eye_;
    std::vector<std::uint8_t> shown_;      // each digit's lit segments now
    std::array<std::uint8_t, 5> levels_{}; // each port's pins, as last heard
};

// The character a digit's segments (a-g on bits 0-6) draw: "0"-"9", "A"-"F",
// "-", " ", '?' for another pattern.
char segmentCharacter(std::uint8_t segments);

} // namespace lab
