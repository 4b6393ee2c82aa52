// The board as a window draws it and as `sim11 --show` prints it, copied
// from the parts between two slices of a run (plain data, any thread).
#pragma once

#include "lab/part.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace lab {

struct LcdView {
    std::string name;
    int columns = 16, rows = 2;
    // The character codes shown in each cell, row after row (the display's
    // shift applied); blank cells and a display turned off hold 0x20.
    std::vector<std::uint8_t> cells;
    std::array<std::array<std::uint8_t, 8>, 8> cgram{}; // the eight user characters, 5 bits a row
    bool displayOn = false;
    bool cursor = false, blink = false;
    int cursorRow = -1, cursorColumn = -1; // -1: not on the visible window
    std::string backlight = "vert";
    std::uint32_t lostWrites = 0; // writes made while the controller was busy
    // What it shows, one line per row, in UTF-8 (the character ROM's upper
    // half and the user characters given as their nearest Unicode, or '?').
    std::string text() const;
};

struct KeypadView {
    std::string name;
    int rows = 4, columns = 4;
    std::vector<std::string> labels; // row after row: "1" "2" "3" "A" ...
    std::vector<bool> pressed;       // the same order
};

struct DisplayView {
    std::string name;
    int digits = 4;
    // Per digit, the brightness of a-g and dp (0 to 1): the share of the
    // last refresh window the segment was lit, as the eye sees it.
    std::vector<std::array<float, 8>> segments;
    // The digits as characters ("0"-"9", "A"-"F", "-", " ", "?" for
    // another pattern), a segment counted lit from half brightness on.
    std::string text() const;
};

struct ButtonView {
    std::string name;
    Pin pin;
    bool pressed = false;
};

struct LedView {
    std::string name;
    Pin pin;
    std::string colour;
    float brightness = 0; // 0 off, 1 on; a share while it blinks fast
};

struct PotView {
    std::string name;
    int channel = 0;
    double volts = 0;
};

struct BuzzerView {
    std::string name;
    Pin pin;
    double frequency = 0; // Hz, 0 when silent
};

struct BoardView {
    std::string name;
    std::vector<LcdView> lcds;
    std::vector<KeypadView> keypads;
    std::vector<DisplayView> displays;
    std::vector<ButtonView> buttons;
    std::vector<LedView> leds;
    std::vector<PotView> pots;
    std::vector<BuzzerView> buzzers;
};

} // namespace lab
