// An HD44780 character display: the controller (its DDRAM, CGRAM, address
// counter, entry mode, display shift, busy time and 4-bit interface), and
// the part that wires it to the chip, on the expanded bus (RS on address
// line A0) or on port pins (data, RS, R/W, E). Its character ROM is the
// common A00 one (lcd_font.cpp). Runs on the thread that runs the machine;
// view() copies what the window draws.
#pragma once

#include "lab/board_description.h"
#include "lab/board_view.h"
#include "lab/part.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace lab {

// The A00 character ROM: the 5x8 glyph of a code (5 bits a row, bit 4 the
// leftmost pixel, row 0 on top); codes without a glyph, and the user
// characters 0-15 (which live in CGRAM), are blank.
const std::array<std::uint8_t, 8>& lcdGlyph(std::uint8_t code);
// The nearest Unicode character of a code of that ROM, 0 where it has none
// (the user characters, the codes without a glyph).
char32_t lcdUnicode(std::uint8_t code);

// The controller alone, driven by what its interface latches: a write or a
// read with RS, at a cycle of the chip. Its timing counts in the chip's E
// cycles at the E clock given.
class Hd44780 {
public:
    explicit Hd44780(int columns = 16, int rows = 2);

    // Power on: the state the part's internal reset leaves (display cleared
    // and off, 8-bit interface, one line, increment, no shift).
    void powerOn();
    void setEClock(double hertz) { eClock_ = hertz; }
    double eClock() const { return eClock_; }

    // The bus lines D7-D0 (in 4-bit mode only D7-D4 count, high nibble
    // first). rs false: the instruction register; true: data.
    void write(bool rs, std::uint8_t value, std::uint64_t cycle);
    // Busy flag and address counter (rs false), or data at the address
    // counter, which then moves as the entry mode says (rs true). In 4-bit
    // mode each call gives one nibble on D7-D4, high first.
    std::uint8_t read(bool rs, std::uint64_t cycle);
    // What read() would give, changing nothing.
    std::uint8_t peek(bool rs, std::uint64_t cycle) const;

    bool busy(std::uint64_t cycle) const { return cycle < busyUntil_; }
    // The time of the chip is another's (a new machine counts from zero):
    // the instruction under way is forgotten.
    void clearBusy() { busyUntil_ = 0; }

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    bool eightBit() const { return eightBit_; }
    bool twoLines() const { return twoLines_; }
    bool displayOn() const { return displayOn_; }
    bool cursorOn() const { return cursorOn_; }
    bool blinkOn() const { return blinkOn_; }
    bool increment() const { return increment_; }
    bool shiftOnWrite() const { return shiftOnWrite_; }
    bool addressingCgram() const { return cgramSelected_; }
    std::uint8_t addressCounter() const { return ac_; }
    int displayShift() const { return shift_; }
    std::uint32_t lostWrites() const { return lostWrites_; }
    std::uint8_t ddram(std::uint8_t address) const { return ddram_[address & 0x7F]; }
    std::uint8_t cgram(std::uint8_t address) const { return cgram_[address & 0x3F]; }

    // The DDRAM address shown at a cell of the window, -1 where the display
    // shows nothing (the rows past the first in one-line mode).
    int cellAddress(int row, int column) const;
    // The cells as the window shows them, and the cursor's cell.
    void fill(LcdView& view) const;

    // The controller's execution times at its 270 kHz oscillator.
    static constexpr double instructionMicroseconds = 37.0;
    static constexpr double clearMicroseconds = 1520.0;

private:
    void execute(bool rs, std::uint8_t value, std::uint64_t cycle);
    void instruction(std::uint8_t value, std::uint64_t cycle);
    std::uint8_t readByte();
    void moveCounter(bool up);
    void holdBusy(std::uint64_t cycle, double microseconds);

    int columns_, rows_;
    double eClock_ = 2'000'000.0;
    std::array<std::uint8_t, 128> ddram_{};
    std::array<std::uint8_t, 64> cgram_{};
    std::uint8_t ac_ = 0;
    bool cgramSelected_ = false;
    bool eightBit_ = true, twoLines_ = false, bigFont_ = false;
    bool displayOn_ = false, cursorOn_ = false, blinkOn_ = false;
    bool increment_ = true, shiftOnWrite_ = false;
    int shift_ = 0; // the display's shift, positive to the left
    std::uint64_t busyUntil_ = 0;
    std::uint32_t lostWrites_ = 0;
    // The 4-bit interface: the second nibble of a transfer is awaited.
    bool secondNibble_ = false;
    std::uint8_t firstNibble_ = 0; // a write's high nibble
    std::uint8_t readLatch_ = 0;   // a read's whole byte
};

class Lcd final : public Part {
public:
    explicit Lcd(const LcdWiring& wiring);
    ~Lcd() override;

    void attach(Machine& machine, PinDrivers& drivers) override;
    void detach() override;
    // Whether the last attach() found a way to the chip (the bus needs the
    // expanded mode; the pins need RS and E on ports).
    bool connected() const { return device_ != 0 || watcher_ != 0; }

    const LcdWiring& wiring() const { return wiring_; }
    Hd44780& controller() { return controller_; }
    const Hd44780& controller() const { return controller_; }
    LcdView view(std::uint64_t cycle) const;

private:
    class Device;
    void pinsChanged(std::uint64_t cycle);
    bool level(const Pin& pin) const;

    LcdWiring wiring_;
    Hd44780 controller_;
    Machine* machine_ = nullptr;
    PinDrivers* drivers_ = nullptr;
    int driver_ = -1;
    Machine::Connection device_ = 0, watcher_ = 0;
    std::unique_ptr<Device> bus_;
    // The pins as last seen: what E's falling edge latches.
    bool e_ = false, rs_ = false, rw_ = false;
    std::uint8_t data_ = 0xFF;
    bool reading_ = false;
};

} // namespace lab
