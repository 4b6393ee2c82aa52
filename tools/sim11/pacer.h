// Simulated time against the wall clock: which E cycle the simulation should
// have reached at a given moment, and when it may go on from a given cycle.
// Pure arithmetic on time points given by the caller, so it is tested without
// sleeping.
#pragma once

#include <chrono>
#include <cstdint>

namespace sim11 {

class Pacer {
public:
    using Clock = std::chrono::steady_clock;

    explicit Pacer(double eClockHz = 2'000'000.0) : hz_(eClockHz) {}

    double eClock() const { return hz_; }
    // A new rate keeps the current pairing of cycle and moment.
    void setEClock(double hz, Clock::time_point now, std::uint64_t cycles);

    // Pairs a moment with a cycle; every later answer counts from there.
    void anchor(Clock::time_point now, std::uint64_t cycles) {
        wall_ = now;
        cycles_ = cycles;
    }
    // When the wall clock reaches `cycles` of simulated time.
    Clock::time_point due(std::uint64_t cycles) const;
    // The cycle the simulation should be at, at `now`.
    std::uint64_t cyclesAt(Clock::time_point now) const;
    // After a stall (the machine busy elsewhere, a debugger), a simulation
    // more than `maxLag` behind does not race to catch up: the pairing moves
    // to now. True when it moved.
    bool dropLag(Clock::time_point now, std::uint64_t cycles, Clock::duration maxLag);

private:
    double hz_;
    Clock::time_point wall_{};
    std::uint64_t cycles_ = 0;
};

} // namespace sim11
