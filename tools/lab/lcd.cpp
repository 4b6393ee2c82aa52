#include "lab/lcd.h"

#include <algorithm>
#include <cmath>

namespace lab {

// --- the controller ----------------------------------------------------------

Hd44780::Hd44780(int columns, int rows)
    : columns_(std::clamp(columns, 1, 40)), rows_(std::clamp(rows, 1, 4)) {
    powerOn();
}

void Hd44780::powerOn() {
    ddram_.fill(0x20);
    cgram_.fill(0);
    ac_ = 0;
    cgramSelected_ = false;
    eightBit_ = true;
    twoLines_ = false;
    bigFont_ = false;
    displayOn_ = cursorOn_ = blinkOn_ = false;
    increment_ = true;
    shiftOnWrite_ = false;
    shift_ = 0;
    busyUntil_ = 0;
    lostWrites_ = 0;
    secondNibble_ = false;
    firstNibble_ = readLatch_ = 0;
}

void Hd44780::holdBusy(std::uint64_t cycle, double microseconds) {
    const double cycles = std::ceil(microseconds * eClock_ / 1e6);
    busyUntil_ = cycle + static_cast<std::uint64_t>(std::max(cycles, 0.0));
}

void Hd44780::write(bool rs, std::uint8_t value, std::uint64_t cycle) {
    if (eightBit_) {
        execute(rs, value, cycle);
        return;
    }
    if (!secondNibble_) {
        firstNibble_ = value & 0xF0;
        secondNibble_ = true;
        return;
    }
    secondNibble_ = false;
    execute(rs, static_cast<std::uint8_t>(firstNibble_ | value >> 4), cycle);
}

void Hd44780::execute(bool rs, std::uint8_t value, std::uint64_t cycle) {
    // The part takes nothing while it works on the last instruction.
    if (busy(cycle)) {
        ++lostWrites_;
        return;
    }
    if (!rs) {
        instruction(value, cycle);
        return;
    }
    if (cgramSelected_) {
        cgram_[ac_ & 0x3F] = value;
    } else {
        ddram_[ac_ & 0x7F] = value;
        if (shiftOnWrite_)
            shift_ = (shift_ + (increment_ ? 1 : 79)) % 80;
    }
    moveCounter(increment_);
    holdBusy(cycle, instructionMicroseconds);
}

void Hd44780::instruction(std::uint8_t value, std::uint64_t cycle) {
    if (value & 0x80) { // set DDRAM address
        ac_ = value & 0x7F;
        cgramSelected_ = false;
    } else if (value & 0x40) { // set CGRAM address
        ac_ = value & 0x3F;
        cgramSelected_ = true;
    } else if (value & 0x20) { // function set
        eightBit_ = value & 0x10;
        twoLines_ = value & 0x08;
        bigFont_ = value & 0x04;
        secondNibble_ = false;
    } else if (value & 0x10) { // cursor or display shift
        const bool right = value & 0x04;
        if (value & 0x08)
            shift_ = (shift_ + (right ? 79 : 1)) % 80;
        else
            moveCounter(right);
    } else if (value & 0x08) { // display on/off control
        displayOn_ = value & 0x04;
        cursorOn_ = value & 0x02;
        blinkOn_ = value & 0x01;
    } else if (value & 0x04) { // entry mode set
        increment_ = value & 0x02;
        shiftOnWrite_ = value & 0x01;
    } else if (value & 0x02) { // return home
        ac_ = 0;
        cgramSelected_ = false;
        shift_ = 0;
        holdBusy(cycle, clearMicroseconds);
        return;
    } else if (value & 0x01) { // clear display
        ddram_.fill(0x20);
        ac_ = 0;
        cgramSelected_ = false;
        shift_ = 0;
        increment_ = true;
        holdBusy(cycle, clearMicroseconds);
        return;
    } else {
        return; // $00 is no instruction
    }
    holdBusy(cycle, instructionMicroseconds);
}

void Hd44780::moveCounter(bool up) {
    if (cgramSelected_) {
        ac_ = static_cast<std::uint8_t>((ac_ + (up ? 1 : -1)) & 0x3F);
        return;
    }
    // Two lines of 40 at $00 and $40, or one of 80 from $00, each a ring.
    const std::uint8_t lastOfFirst = twoLines_ ? 0x27 : 0x4F;
    const std::uint8_t last = twoLines_ ? 0x67 : 0x4F;
    const std::uint8_t startOfSecond = twoLines_ ? 0x40 : 0x00;
    if (up) {
        if (ac_ == last)
            ac_ = 0;
        else if (ac_ == lastOfFirst)
            ac_ = startOfSecond;
        else
            ac_ = static_cast<std::uint8_t>((ac_ + 1) & 0x7F);
    } else {
        if (ac_ == 0)
            ac_ = last;
        else if (ac_ == startOfSecond)
            ac_ = lastOfFirst;
        else
            ac_ = static_cast<std::uint8_t>((ac_ - 1) & 0x7F);
    }
}

std::uint8_t Hd44780::readByte() {
    std::uint8_t value;
    if (cgramSelected_)
        value = cgram_[ac_ & 0x3F];
    else
        value = ddram_[ac_ & 0x7F];
    moveCounter(increment_);
    return value;
}

std::uint8_t Hd44780::read(bool rs, std::uint64_t cycle) {
    if (!eightBit_ && secondNibble_) {
        secondNibble_ = false;
        return static_cast<std::uint8_t>(readLatch_ << 4);
    }
    std::uint8_t value;
    if (rs) {
        value = readByte();
        holdBusy(cycle, instructionMicroseconds);
    } else {
        value = static_cast<std::uint8_t>((busy(cycle) ? 0x80 : 0) | (ac_ & 0x7F));
    }
    if (eightBit_)
        return value;
    readLatch_ = value;
    secondNibble_ = true;
    return value & 0xF0;
}

std::uint8_t Hd44780::peek(bool rs, std::uint64_t cycle) const {
    if (!eightBit_ && secondNibble_)
        return static_cast<std::uint8_t>(readLatch_ << 4);
    std::uint8_t value;
    if (rs)
        value = cgramSelected_ ? cgram_[ac_ & 0x3F] : ddram_[ac_ & 0x7F];
    else
        value = static_cast<std::uint8_t>((busy(cycle) ? 0x80 : 0) | (ac_ & 0x7F));
    return eightBit_ ? value : static_cast<std::uint8_t>(value & 0xF0);
}

int Hd44780::cellAddress(int row, int column) const {
    if (row < 0 || row >= rows_ || column < 0 || column >= columns_)
        return -1;
    // A four-row window folds each line of the controller in two: rows 2 and
    // 3 go on with lines 1 and 2 (a 20x4 shows $00, $40, $14, $54).
    const int line = row % 2;
    const int offset = (row / 2) * columns_;
    if (!twoLines_) {
        if (line != 0)
            return -1;
        return (offset + column + shift_) % 80;
    }
    return (line ? 0x40 : 0x00) + (offset + column + shift_) % 40;
}

void Hd44780::fill(LcdView& view) const {
    view.columns = columns_;
    view.rows = rows_;
    view.cells.assign(static_cast<std::size_t>(columns_ * rows_), 0x20);
    view.displayOn = displayOn_;
    view.cursor = cursorOn_;
    view.blink = blinkOn_;
    view.cursorRow = view.cursorColumn = -1;
    for (int k = 0; k < 8; ++k)
        for (int r = 0; r < 8; ++r)
            view.cgram[static_cast<std::size_t>(k)][static_cast<std::size_t>(r)] =
                cgram_[static_cast<std::size_t>(k * 8 + r)] & 0x1F;
    if (!displayOn_)
        return;
    for (int row = 0; row < rows_; ++row)
        for (int column = 0; column < columns_; ++column) {
            const int address = cellAddress(row, column);
            if (address < 0)
                continue;
            view.cells[static_cast<std::size_t>(row * columns_ + column)] =
                ddram_[static_cast<std::size_t>(address)];
            if (!cgramSelected_ && address == ac_ && view.cursorRow < 0) {
                view.cursorRow = row;
                view.cursorColumn = column;
            }
        }
}

// --- the text of the view ------------------------------------------------------

namespace {

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

std::string LcdView::text() const {
    std::string out;
    for (int row = 0; row < rows; ++row) {
        if (row > 0)
            out += '\n';
        for (int column = 0; column < columns; ++column) {
            const auto k = static_cast<std::size_t>(row * columns + column);
            const std::uint8_t code = k < cells.size() ? cells[k] : 0x20;
            const char32_t c = lcdUnicode(code);
            appendUtf8(out, c ? c : U'?');
        }
    }
    return out;
}

// --- the part ------------------------------------------------------------------

// The display on the expanded bus: the instruction register at the first
// address, data at the next (RS on A0).
class Lcd::Device final : public sim11::BusDevice {
public:
    explicit Device(Lcd& lcd) : lcd_(lcd) {}
    std::uint8_t read(std::uint16_t address, std::uint64_t cycle) override {
        lcd_.controller_.setEClock(lcd_.eClock());
        return lcd_.controller_.read(isData(address), cycle);
    }
    void write(std::uint16_t address, std::uint8_t value, std::uint64_t cycle) override {
        lcd_.controller_.setEClock(lcd_.eClock());
        lcd_.controller_.write(isData(address), value, cycle);
    }
    std::uint8_t peek(std::uint16_t address) const override {
        const std::uint64_t now = lcd_.machine_ ? lcd_.machine_->cycles() : 0;
        return lcd_.controller_.peek(isData(address), now);
    }

private:
    bool isData(std::uint16_t address) const { return address != *lcd_.wiring_.address; }
    Lcd& lcd_;
};

Lcd::Lcd(const LcdWiring& wiring)
    : Part(wiring.name), wiring_(wiring), controller_(wiring.columns, wiring.rows),
      bus_(std::make_unique<Device>(*this)) {}

Lcd::~Lcd() = default;

bool Lcd::level(const Pin& pin) const {
    return pin.kind == Pin::Kind::Port && (machine_->pins(pin.port) & pin.mask());
}

void Lcd::attach(Machine& machine, PinDrivers& drivers) {
    // The machine before this one is gone with its connections.
    machine_ = &machine;
    drivers_ = &drivers;
    device_ = watcher_ = 0;
    driver_ = -1;
    reading_ = false;
    controller_.clearBusy();
    controller_.setEClock(eClock());

    if (wiring_.address) {
        if (*wiring_.address < 0xFFFF)
            device_ = machine.attachDevice(*wiring_.address,
                                           static_cast<std::uint16_t>(*wiring_.address + 1), *bus_);
        return;
    }
    if (wiring_.rs.kind != Pin::Kind::Port || wiring_.e.kind != Pin::Kind::Port ||
        (wiring_.rw.kind != Pin::Kind::None && wiring_.rw.kind != Pin::Kind::Port))
        return;
    driver_ = drivers.add();
    e_ = level(wiring_.e);
    rs_ = level(wiring_.rs);
    rw_ = level(wiring_.rw);
    data_ = machine.pins(wiring_.data);
    watcher_ = machine.connectPins([this](Port port, std::uint8_t, std::uint64_t cycle) {
        const auto on = [port](const Pin& pin) {
            return pin.kind == Pin::Kind::Port && pin.port == port;
        };
        if (port == wiring_.data || on(wiring_.e) || on(wiring_.rs) || on(wiring_.rw))
            pinsChanged(cycle);
    });
}

void Lcd::detach() {
    if (!machine_)
        return;
    if (device_)
        machine_->disconnect(device_);
    if (watcher_)
        machine_->disconnect(watcher_);
    if (driver_ >= 0 && drivers_)
        drivers_->drive(driver_, wiring_.data, 0, 0);
    device_ = watcher_ = 0;
    driver_ = -1;
    reading_ = false;
    machine_ = nullptr;
    drivers_ = nullptr;
}

void Lcd::pinsChanged(std::uint64_t cycle) {
    // The levels are read from the pins rather than from the call: a driver's
    // answer may report newer levels before this call's own.
    const bool e = level(wiring_.e);
    const bool rs = level(wiring_.rs);
    const bool rw = level(wiring_.rw);
    const std::uint8_t data = machine_->pins(wiring_.data);
    controller_.setEClock(eClock());

    // A write is latched on E's falling edge, with what was set up before it.
    // D0-D3 of a 4-bit wiring are left open: the part pulls them up.
    if (e_ && !e && !rw_)
        controller_.write(
            rs_, wiring_.fourBit ? static_cast<std::uint8_t>((data_ & 0xF0) | 0x0F) : data_, cycle);
    e_ = e;
    rs_ = rs;
    rw_ = rw;
    data_ = data;

    // A read puts the data on the pins while E is high, at once, so the
    // program finds it in the same cycle.
    const bool reading = e && rw;
    if (reading == reading_)
        return;
    reading_ = reading;
    if (reading) {
        const std::uint8_t mask = wiring_.fourBit ? 0xF0 : 0xFF;
        drivers_->drive(driver_, wiring_.data, mask, controller_.read(rs, cycle));
    } else {
        drivers_->drive(driver_, wiring_.data, 0, 0);
    }
}

LcdView Lcd::view(std::uint64_t cycle) const {
    (void)cycle; // what is shown does not wait on the controller's time
    LcdView view;
    view.name = wiring_.name;
    view.backlight = wiring_.backlight;
    controller_.fill(view);
    view.lostWrites = controller_.lostWrites();
    return view;
}

} // namespace lab
