#include "simulation/port_levels.h"

#include <cmath>

namespace kavrel::simulation {

PinKind pinKind(const PortState& port, int bit) {
    const auto mask = static_cast<std::uint8_t>(1u << bit);
    if ((port.present & mask) == 0)
        return PinKind::Absent;
    return (port.outputs & mask) != 0 ? PinKind::Output : PinKind::Input;
}

char portLetter(Port port) {
    return static_cast<char>('A' + static_cast<int>(port));
}

std::string pinName(Port port, int bit) {
    return {'P', portLetter(port), static_cast<char>('0' + bit)};
}

std::uint8_t changedPins(const PortState& before, const PortState& now) {
    return static_cast<std::uint8_t>((before.pins ^ now.pins) & before.present & now.present);
}

double countsToVolts(std::uint8_t counts) {
    return counts * kReferenceVolts / 255.0;
}

std::uint8_t voltsToCounts(double volts) {
    if (!(volts > 0)) // NaN too
        return 0;
    if (volts >= kReferenceVolts)
        return 255;
    return static_cast<std::uint8_t>(std::lround(volts * 255.0 / kReferenceVolts));
}

std::string formatVolts(std::uint8_t counts) {
    // At most 500 hundredths.
    const int hundredths = static_cast<int>(std::lround(countsToVolts(counts) * 100.0));
    std::string text = std::to_string(hundredths / 100) + ',';
    text += static_cast<char>('0' + hundredths % 100 / 10);
    text += static_cast<char>('0' + hundredths % 10);
    return text + " V";
}

} // namespace kavrel::simulation
