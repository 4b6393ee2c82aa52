// Bits of the registers that more than one block of the machine looks at,
// and the constants they share. Private to the machine's sources.
#pragma once

#include "sim11/register_map.h"

#include <cstdint>

namespace sim11::bits {

// SCSR and SCCR2.
inline constexpr std::uint8_t TDRE = 0x80, TC = 0x40, RDRF = 0x20, IDLE = 0x10, OR = 0x08,
                              FE = 0x02;
inline constexpr std::uint8_t TIE = 0x80, TCIE = 0x40, RIE = 0x20, ILIE = 0x10, TE = 0x08,
                              RE = 0x04;
// PPROG.
inline constexpr std::uint8_t BYTE = 0x10, ROW = 0x08, ERASE = 0x04, EELAT = 0x02, EEPGM = 0x01;
// PACTL.
inline constexpr std::uint8_t DDRA7 = 0x80, PAEN = 0x40, PAMOD = 0x20, PEDGE = 0x10,
                              DDRA3 = 0x08, I4O5 = 0x04;
// CONFIG.
inline constexpr std::uint8_t NOCOP = 0x04, ROMON = 0x02, EEON = 0x01;

inline constexpr std::uint16_t loaderEntry = 0xBF40;

} // namespace sim11::bits
