#pragma once

// The EEPROM and CONFIG of the simulated chip, written the way a program on
// the chip writes them: BPROT cleared, each byte erased where a bit must go
// from 0 to 1, programmed with EEPGM held for the programming time at the
// chip's E clock, then read back. The time goes by on the chip (its timers
// run, the COP is served), in a two-byte loop placed in RAM for the while
// and taken away after, the CPU's registers put back: the program resumes as
// if nothing had run but time. Qt-free; the thread that runs the machine.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "sim11/machine.h"

namespace kavrel::simulation {

// The EEPROM's addresses on the simulated parts (A1, E1, E9).
inline constexpr std::uint16_t kEepromFirst = 0xB600, kEepromLast = 0xB7FF;
inline bool inEeprom(std::uint16_t address) {
    return address >= kEepromFirst && address <= kEepromLast;
}

// How long a byte takes to erase or to program: 10 ms, twice that below an
// E clock of 2 MHz, where the charge pump is slower.
inline double programSeconds(double eClockHz) {
    return eClockHz >= 2'000'000.0 ? 0.010 : 0.020;
}

struct ChipWrite {
    bool ok = false;
    std::string message; // French (UTF-8): what was done, or why not
};

// Programs `bytes` from `address` (all within the EEPROM) with the chip's
// sequence; verifies each byte. `eClockHz`: the chip's E clock. `progress`
// (done, total) after each byte.
ChipWrite programEepromBytes(sim11::Machine& machine, double eClockHz, std::uint16_t address,
                             std::span<const std::uint8_t> bytes,
                             const std::function<void(std::size_t, std::size_t)>& progress = {});

// Programs the CONFIG cell: erased first when a bit must go from 0 to 1
// (with the whole EEPROM on the A parts, whose CONFIG goes with a bulk erase:
// its bytes are programmed again after), then programmed and the cell read
// back; the new value takes effect at the next reset. The message says so.
ChipWrite programConfigCell(sim11::Machine& machine, double eClockHz, std::uint8_t value);

} // namespace kavrel::simulation
