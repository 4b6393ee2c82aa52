#include "sim11/pacer.h"

#include <cmath>

namespace sim11 {

void Pacer::setEClock(double hz, Clock::time_point now, std::uint64_t cycles) {
    anchor(now, cycles);
    hz_ = hz;
}

Pacer::Clock::time_point Pacer::due(std::uint64_t cycles) const {
    if (cycles <= cycles_)
        return wall_;
    const double seconds = static_cast<double>(cycles - cycles_) / hz_;
    return wall_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

std::uint64_t Pacer::cyclesAt(Clock::time_point now) const {
    if (now <= wall_)
        return cycles_;
    const double seconds = std::chrono::duration<double>(now - wall_).count();
    return cycles_ + static_cast<std::uint64_t>(std::floor(seconds * hz_));
}

bool Pacer::dropLag(Clock::time_point now, std::uint64_t cycles, Clock::duration maxLag) {
    if (now - due(cycles) <= maxLag)
        return false;
    anchor(now, cycles);
    return true;
}

} // namespace sim11
