#pragma once

// The machine as the window shows it: taken by the worker thread that runs
// the simulation, between two slices or when it stops, and handed to the
// panes by a queued signal. A plain copy, so the panes never touch the
// running machine.
#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>

#include "sim11/machine.h"

namespace kavrel::simulation {

// The five ports, in this order.
enum class Port { A, B, C, D, E };
inline constexpr int portCount = 5;

struct PortState {
    std::uint8_t pins = 0;    // the level on each pin, as the program would read it
    std::uint8_t outputs = 0; // 1 where the pin is an output (fixed, or from DDRC/DDRD)
    std::uint8_t present = 0xFF; // 1 where the pin exists on this chip and mode
};

struct Snapshot {
    sim11::Chip chip = sim11::Chip::E9;
    sim11::Mode mode = sim11::Mode::SingleChip;
    sim11::Registers regs;
    std::uint64_t cycles = 0;
    double seconds = 0; // simulated time, E cycles at the E clock
    bool running = false;
    // The whole address space as the CPU would read it, without the side
    // effects of a read (status flags stay as they are).
    std::array<std::uint8_t, 0x10000> memory{};
    // The bytes not read from the target (a board: rows never shown, the
    // registers a read would change); null where every byte is known.
    std::shared_ptr<const std::bitset<0x10000>> unread;
    std::uint16_t registerBase = 0x1000; // where INIT puts the chip's registers
    std::array<PortState, portCount> ports{};
    std::array<std::uint8_t, 8> analog{}; // A/D inputs, 0..255 (0..VRH)
    bool irqLine = false, xirqLine = false;
};

} // namespace kavrel::simulation
