#include "lab/simple_parts.h"

#include <algorithm>
#include <cmath>

namespace lab {

namespace {

std::optional<sim11::Signal> signalOf(const Pin& pin) {
    switch (pin.kind) {
    case Pin::Kind::Irq:
        return sim11::Signal::Irq;
    case Pin::Kind::Xirq:
        return sim11::Signal::Xirq;
    case Pin::Kind::Reset:
        return sim11::Signal::Reset;
    default:
        return std::nullopt;
    }
}

} // namespace

// --- Button --------------------------------------------------------------------

Button::Button(const ButtonWiring& wiring) : Part(wiring.name), wiring_(wiring) {}

void Button::attach(Machine&, PinDrivers& drivers) {
    drivers_ = &drivers;
    driver_ = drivers.add();
    apply();
}

void Button::detach() {
    if (drivers_ && driver_ >= 0) {
        if (const auto signal = signalOf(wiring_.pin))
            drivers_->driveSignal(driver_, *signal, false);
        else if (wiring_.pin.kind == Pin::Kind::Port)
            drivers_->drive(driver_, wiring_.pin.port, 0, 0);
    }
    drivers_ = nullptr;
    driver_ = -1;
}

void Button::press(bool down) {
    pressed_ = down;
    apply();
}

void Button::apply() {
    if (!drivers_ || driver_ < 0)
        return;
    // The control lines are active low: a button on them asserts the line.
    if (const auto signal = signalOf(wiring_.pin)) {
        drivers_->driveSignal(driver_, *signal, pressed_);
        return;
    }
    if (wiring_.pin.kind != Pin::Kind::Port)
        return;
    const std::uint8_t mask = wiring_.pin.mask();
    if (wiring_.activeLow)
        drivers_->drive(driver_, wiring_.pin.port, pressed_ ? mask : 0, 0);
    else
        drivers_->drive(driver_, wiring_.pin.port, mask, pressed_ ? mask : 0);
}

ButtonView Button::view() const {
    return {wiring_.name, wiring_.pin, pressed_};
}

// --- Led -------------------------------------------------------------------------

Led::Led(const LedWiring& wiring) : Part(wiring.name), wiring_(wiring) {}

bool Led::litNow() const {
    if (!machine_ || wiring_.pin.kind != Pin::Kind::Port)
        return false;
    const bool high = machine_->pins(wiring_.pin.port) & wiring_.pin.mask();
    return high == wiring_.activeHigh;
}

void Led::attach(Machine& machine, PinDrivers&) {
    machine_ = &machine;
    window_ = static_cast<std::uint64_t>(std::llround(refreshSeconds * eClock()));
    eye_.restart(machine.cycles(), window_);
    lit_ = litNow();
    changes_[0] = changes_[1] = 0;
    eye_.set(0, lit_, machine.cycles());
    if (wiring_.pin.kind != Pin::Kind::Port)
        return;
    watcher_ = machine.connectPins([this](Port port, std::uint8_t levels, std::uint64_t cycle) {
        if (port != wiring_.pin.port)
            return;
        const bool lit = static_cast<bool>(levels & wiring_.pin.mask()) == wiring_.activeHigh;
        if (cycle + 1 < changes_[0]) // the count gone back (a power-on)
            changes_[0] = changes_[1] = 0;
        if (lit != lit_) {
            lit_ = lit;
            changes_[1] = changes_[0];
            changes_[0] = cycle + 1; // 0: no change yet
            eye_.set(0, lit, cycle);
        }
    });
}

void Led::detach() {
    if (machine_ && watcher_)
        machine_->disconnect(watcher_);
    watcher_ = 0;
    machine_ = nullptr;
}

LedView Led::view(std::uint64_t cycle) const {
    // On or off as its pin says, unless it blinks faster than the eye follows.
    const bool blinking =
        changes_[1] != 0 && changes_[1] - 1 <= cycle && changes_[1] - 1 + window_ > cycle;
    const float brightness = blinking ? eye_.share(0, cycle) : (lit_ ? 1.0f : 0.0f);
    return {wiring_.name, wiring_.pin, wiring_.colour, brightness};
}

// --- Potentiometer ---------------------------------------------------------------

Potentiometer::Potentiometer(const PotWiring& wiring) : Part(wiring.name), wiring_(wiring) {
    volts_ = std::clamp(wiring.volts, 0.0, 5.0);
    if (!(volts_ == volts_)) // NaN
        volts_ = 0;
}

std::uint8_t Potentiometer::value() const {
    return static_cast<std::uint8_t>(std::lround(volts_ / 5.0 * 255.0));
}

void Potentiometer::attach(Machine& machine, PinDrivers&) {
    machine_ = &machine;
    machine.setAnalog(wiring_.channel, value());
}

void Potentiometer::detach() {
    machine_ = nullptr;
}

void Potentiometer::setVolts(double volts) {
    volts_ = std::isnan(volts) ? 0.0 : std::clamp(volts, 0.0, 5.0);
    if (machine_)
        machine_->setAnalog(wiring_.channel, value());
}

PotView Potentiometer::view() const {
    return {wiring_.name, wiring_.channel, volts_};
}

// --- Buzzer ------------------------------------------------------------------------

Buzzer::Buzzer(const BuzzerWiring& wiring) : Part(wiring.name), wiring_(wiring) {}

void Buzzer::attach(Machine& machine, PinDrivers&) {
    machine_ = &machine;
    haveRise_ = false;
    periodCount_ = nextPeriod_ = 0;
    lastChange_ = machine.cycles();
    if (wiring_.pin.kind != Pin::Kind::Port)
        return;
    level_ = machine.pins(wiring_.pin.port) & wiring_.pin.mask();
    watcher_ = machine.connectPins([this](Port port, std::uint8_t levels, std::uint64_t cycle) {
        if (port != wiring_.pin.port)
            return;
        const bool level = levels & wiring_.pin.mask();
        if (level != level_)
            changed(level, cycle);
    });
}

void Buzzer::detach() {
    if (machine_ && watcher_)
        machine_->disconnect(watcher_);
    watcher_ = 0;
    machine_ = nullptr;
}

void Buzzer::changed(bool level, std::uint64_t cycle) {
    level_ = level;
    // A pin still for a long while starts a new tone: its periods are
    // forgotten; so does a count gone back (a power-on).
    if (cycle < lastChange_ ||
        static_cast<double>(cycle - lastChange_) > silenceSeconds * eClock()) {
        periodCount_ = nextPeriod_ = 0;
        haveRise_ = false;
    }
    lastChange_ = cycle;
    if (!level)
        return;
    if (haveRise_) {
        periods_[nextPeriod_] = cycle - lastRise_;
        nextPeriod_ = (nextPeriod_ + 1) % periods_.size();
        periodCount_ = std::min(periodCount_ + 1, periods_.size());
    }
    haveRise_ = true;
    lastRise_ = cycle;
}

double Buzzer::frequency(std::uint64_t cycle) const {
    if (periodCount_ == 0 || cycle < lastChange_ ||
        static_cast<double>(cycle - lastChange_) > silenceSeconds * eClock())
        return 0;
    std::uint64_t sum = 0;
    for (std::size_t k = 0; k < periodCount_; ++k)
        sum += periods_[k];
    if (sum == 0)
        return 0;
    return eClock() * static_cast<double>(periodCount_) / static_cast<double>(sum);
}

BuzzerView Buzzer::view(std::uint64_t cycle) const {
    return {wiring_.name, wiring_.pin, frequency(cycle)};
}

} // namespace lab
