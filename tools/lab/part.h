// What every part of a lab board shares: the pins it is wired to, the levels
// parts drive onto the chip's inputs, and the base of a part. A part is a
// model of its own, Qt-free, driven only through the chip's lines and with
// the chip's time (E cycles); it is attached to a machine and attached again
// when the machine is replaced (another chip or mode).
#pragma once

#include "sim11/machine.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lab {

using sim11::Machine;
using sim11::Port;

// A pin of the chip: a bit of a port ("PA5", "PE0"), or a control input.
struct Pin {
    enum class Kind : std::uint8_t { None, Port, Irq, Xirq, Reset };
    Kind kind = Kind::None;
    Port port = Port::A;
    std::uint8_t bit = 0;

    static Pin portPin(Port port, unsigned bit) {
        return {Kind::Port, port, static_cast<std::uint8_t>(bit)};
    }
    // "PA0" to "PE7" (any case), "IRQ", "XIRQ", "RESET"; nothing else.
    static std::optional<Pin> parse(std::string_view text);
    std::string name() const; // as parse() takes it: "PA5", "IRQ"
    std::uint8_t mask() const { return static_cast<std::uint8_t>(1u << bit); }
    friend bool operator==(const Pin&, const Pin&) = default;
};

// "PA" to "PE" (any case).
std::optional<Port> parsePort(std::string_view text);
char portLetter(Port port);

// The levels driven onto the chip's input pins from outside, merged: the
// board's switches (the ports pane) give each port's base levels, pulled up
// where nothing else drives; each part then drives the pins of its mask, in
// the order the parts were added (a key pulls its row low, an LCD puts its
// data on the port while it is read). The chip sees the result at once
// (Machine::setPortInputs), in the cycle of the change.
class PinDrivers {
public:
    PinDrivers() { base_.fill(0xFF); }
    void attach(Machine* machine); // null: nothing to drive
    // A new driver, driving nothing yet.
    int add();
    void drive(int driver, Port port, std::uint8_t mask, std::uint8_t levels);
    void setBase(Port port, std::uint8_t levels);
    std::uint8_t levels(Port port) const; // what the chip is given
    // The control inputs (IRQ, XIRQ, RESET) held low by any driver.
    void driveSignal(int driver, sim11::Signal signal, bool asserted);

private:
    void apply(Port port);
    void applySignal(sim11::Signal signal);
    struct Drive {
        std::array<std::uint8_t, 5> mask{}, levels{};
        std::array<bool, 3> signals{};
    };
    Machine* machine_ = nullptr;
    std::array<std::uint8_t, 5> base_{};
    std::vector<Drive> drivers_;
};

// A part on the board. attach() connects it to the machine's lines (it may be
// called again with a new machine; the old one is then gone: its connections
// are forgotten, not disconnected); detach() disconnects it from the machine
// it is attached to.
class Part {
public:
    explicit Part(std::string name) : name_(std::move(name)) {}
    virtual ~Part() = default;
    Part(const Part&) = delete;
    Part& operator=(const Part&) = delete;

    const std::string& name() const { return name_; }
    virtual void attach(Machine& machine, PinDrivers& drivers) = 0;
    virtual void detach() = 0;
    // The E clock, for the parts that count in seconds (a bounce, a tone).
    void setEClock(double hertz) { eClock_ = hertz; }
    double eClock() const { return eClock_; }

private:
    std::string name_;
    double eClock_ = 2'000'000.0;
};

} // namespace lab
