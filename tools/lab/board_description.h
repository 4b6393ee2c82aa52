// A lab board as its file describes it: the chip, its mode and crystal, the
// memory outside the chip, and each part with its wiring. Plain data; the
// file is read by board_file.h, the parts built from it by lab_board.h.
#pragma once

#include "lab/part.h"
#include "sim11/machine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lab {

struct MemoryRange {
    enum class Kind { Ram, Rom };
    Kind kind = Kind::Ram;
    std::uint16_t from = 0, to = 0; // both included
    // A ROM's contents: an S19 file (a monitor), relative to the board
    // file's folder; empty: erased ($FF).
    std::string file;
    int line = 0; // in the board file, for messages
};

// An HD44780 character display.
struct LcdWiring {
    std::string name = "LCD";
    int columns = 16, rows = 2;
    // On the expanded bus: the instruction register at `address`, data at
    // address + 1 (RS is address line A0). Or on port pins.
    std::optional<std::uint16_t> address;
    // On pins: the data bus on a port (8 bits, or its high nibble D4-D7 on
    // the port's bits 4-7 when fourBit), RS, R/W (None: tied low, write
    // only) and E.
    Port data = Port::C;
    bool fourBit = false;
    Pin rs, rw, e;
    std::string backlight = "vert"; // "vert", "bleu", "aucun"
    int line = 0;
};

struct KeypadWiring {
    std::string name = "Clavier";
    int rows = 4, columns = 4;   // 4x4 or 4x3
    std::vector<Pin> rowPins;    // read by the program, pulled up
    std::vector<Pin> columnPins; // driven low one at a time by the program
    double bounceMs = 0;         // contact bounce after a press and a release
    int line = 0;
};

struct DisplayWiring {
    std::string name = "Afficheurs";
    int digits = 4;
    bool commonAnode = false;
    // Multiplexed: the segments (a-g, dp on bits 0-7) on one port and one
    // select pin per digit, leftmost first. Direct: one port per digit.
    std::vector<Port> segmentPorts;
    std::vector<Pin> selectPins;
    bool selectActiveLow = false;
    int line = 0;
};

struct ButtonWiring {
    std::string name;
    Pin pin;               // a port input, IRQ or XIRQ (pressed: low)
    bool activeLow = true; // pressed pulls the pin low
    int line = 0;
};

struct LedWiring {
    std::string name;
    Pin pin;
    bool activeHigh = true; // lit when the pin is high
    std::string colour = "rouge";
    int line = 0;
};

struct PotWiring {
    std::string name;
    int channel = 0; // PE0-PE7
    double volts = 2.5;
    int line = 0;
};

struct BuzzerWiring {
    std::string name = "Buzzer";
    Pin pin;
    int line = 0;
};

struct BoardDescription {
    std::string name;  // shown in the window's list
    std::string about; // a sentence about it
    // Absent: the window's or the command line's own choice holds.
    std::optional<sim11::Chip> chip;
    std::optional<sim11::Mode> mode;
    std::optional<double> quartzHz;
    bool oc5ToXirq = false;
    std::vector<MemoryRange> memory;
    std::vector<LcdWiring> lcds;
    std::vector<KeypadWiring> keypads;
    std::vector<DisplayWiring> displays;
    std::vector<ButtonWiring> buttons;
    std::vector<LedWiring> leds;
    std::vector<PotWiring> pots;
    std::vector<BuzzerWiring> buzzers;
    std::vector<Pin> recorded; // the timing view's signals, at most 8
    std::string folder;        // the board file's folder (for ROM files)
};

} // namespace lab
