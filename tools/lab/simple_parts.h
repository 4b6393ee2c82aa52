// The small parts of a lab board: a push button (on a port pin, IRQ or
// XIRQ), an LED, a potentiometer on an analog input, a buzzer.
#pragma once

#include "lab/board_description.h"
#include "lab/board_view.h"
#include "lab/displays.h"
#include "lab/part.h"

#include <array>
#include <cstdint>

namespace lab {

// Pressed, it pulls its pin low (or high when active high; a port pin is then
// held low while released). On IRQ or XIRQ it holds the line asserted.
class Button final : public Part {
public:
    explicit Button(const ButtonWiring& wiring);
    void attach(Machine& machine, PinDrivers& drivers) override;
    void detach() override;
    void press(bool down);
    bool pressed() const { return pressed_; }
    ButtonView view() const;

private:
    void apply();
    ButtonWiring wiring_;
    bool pressed_ = false;
    PinDrivers* drivers_ = nullptr;
    int driver_ = -1;
};

// Lit by the level of its pin; blinking faster than the eye follows (its
// pin changed twice within the last 20 ms), it shows the share of the last
// 20 ms it was lit.
class Led final : public Part {
public:
    static constexpr double refreshSeconds = Displays::refreshSeconds;
    explicit Led(const LedWiring& wiring);
    void attach(Machine& machine, PinDrivers& drivers) override;
    void detach() override;
    LedView view(std::uint64_t cycle) const;

private:
    bool litNow() const;
    LedWiring wiring_;
    Machine* machine_ = nullptr;
    Machine::Connection watcher_ = 0;
    Persistence eye_{1};
    bool lit_ = false;
    std::uint64_t changes_[2] = {0, 0}; // the last two changes, latest first
    std::uint64_t window_ = 40'000;
};

// 0 to 5 V on an analog input, converted 0 to 255 (5 V reads $FF).
class Potentiometer final : public Part {
public:
    explicit Potentiometer(const PotWiring& wiring);
    void attach(Machine& machine, PinDrivers& drivers) override;
    void detach() override;
    void setVolts(double volts); // clamped to 0-5 V
    double volts() const { return volts_; }
    std::uint8_t value() const; // what the converter reads
    PotView view() const;

private:
    PotWiring wiring_;
    double volts_ = 0;
    Machine* machine_ = nullptr;
};

// The tone on its pin: the frequency of its last full periods (rising edge
// to rising edge), silent once the pin has not moved for 50 ms.
class Buzzer final : public Part {
public:
    static constexpr double silenceSeconds = 0.050;
    explicit Buzzer(const BuzzerWiring& wiring);
    void attach(Machine& machine, PinDrivers& drivers) override;
    void detach() override;
    BuzzerView view(std::uint64_t cycle) const;
    double frequency(std::uint64_t cycle) const;

private:
    void changed(bool level, std::uint64_t cycle);
    BuzzerWiring wiring_;
    Machine* machine_ = nullptr;
    Machine::Connection watcher_ = 0;
    bool level_ = false;
    std::uint64_t lastChange_ = 0, lastRise_ = 0;
    bool haveRise_ = false;
    // The last periods, in cycles, averaged (a ring).
    std::array<std::uint64_t, 4> periods_{};
    std::size_t periodCount_ = 0, nextPeriod_ = 0;
};

} // namespace lab
