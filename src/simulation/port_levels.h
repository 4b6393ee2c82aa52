#pragma once

// The ports pane's arithmetic, without Qt: what each pin is, which changed,
// the analog inputs between volts and converter counts.
#include <cstdint>
#include <string>

#include "simulation/snapshot.h"

namespace kavrel::simulation {

enum class PinKind { Absent, Input, Output };
PinKind pinKind(const PortState& port, int bit);

// "PB7"
std::string pinName(Port port, int bit);
char portLetter(Port port);

// Pins whose level differs, among those present on both sides.
std::uint8_t changedPins(const PortState& before, const PortState& now);

// The converter reads 0 at 0 V and 255 at the reference, 5 V.
inline constexpr double kReferenceVolts = 5.0;
double countsToVolts(std::uint8_t counts);
// Rounded to the nearest count; outside 0-5 V, the nearest end.
std::uint8_t voltsToCounts(double volts);
// "2,50 V", French decimal comma.
std::string formatVolts(std::uint8_t counts);

} // namespace kavrel::simulation
