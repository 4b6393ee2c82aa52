#include "lab/keypad.h"

#include <algorithm>
#include <cmath>

namespace lab {

namespace {

// The intervals between two changes of a bouncing contact, in microseconds:
// irregular, but the same on every run.
constexpr std::array<unsigned, 16> bounceSteps{130, 270, 180, 220, 110, 290, 160, 240,
                                               200, 120, 260, 150, 300, 140, 230, 190};

const char* const labels4x4[] = {"1", "2", "3", "A", "4", "5", "6", "B",
                                 "7", "8", "9", "C", "*", "0", "#", "D"};
const char* const labels4x3[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "0", "#"};

std::size_t portIndex(Port port) {
    return static_cast<std::size_t>(port);
}

} // namespace

Keypad::Keypad(const KeypadWiring& wiring) : Part(wiring.name), wiring_(wiring) {
    wiring_.rows = std::max(wiring_.rows, 0);
    wiring_.columns = std::max(wiring_.columns, 0);
    keys_.resize(static_cast<std::size_t>(wiring_.rows * wiring_.columns));
    for (const Pin& pin : wiring_.columnPins)
        if (pin.kind == Pin::Kind::Port)
            columnPorts_ |= static_cast<std::uint8_t>(1u << portIndex(pin.port));
    for (const Pin& pin : wiring_.rowPins)
        if (pin.kind == Pin::Kind::Port) {
            rowPorts_ |= static_cast<std::uint8_t>(1u << portIndex(pin.port));
            rowMasks_[portIndex(pin.port)] |= pin.mask();
        }
}

Keypad::~Keypad() = default;

void Keypad::attach(Machine& machine, PinDrivers& drivers) {
    machine_ = &machine;
    drivers_ = &drivers;
    driver_ = drivers.add();
    // A bounce under way belongs to the old machine's time: the contacts settle.
    settle();
    lastCycle_ = machine.cycles();
    watcher_ = machine.connectPins([this](Port port, std::uint8_t, std::uint64_t cycle) {
        // The count gone back (a power-on): a bounce's times are the old count's.
        if (cycle < lastCycle_) {
            settle();
            scheduleAlarm();
        }
        lastCycle_ = cycle;
        if (closedCount_ > 0 && (columnPorts_ >> portIndex(port) & 1))
            update();
    });
    alarm_ = machine.connectAlarm([this](std::uint64_t cycle) { bounce(cycle); });
    update();
}

void Keypad::settle() {
    for (Key& k : keys_) {
        k.closed = k.held;
        k.nextToggle = k.settleAt = Machine::never;
    }
    closedCount_ = static_cast<int>(
        std::count_if(keys_.begin(), keys_.end(), [](const Key& k) { return k.closed; }));
}

void Keypad::detach() {
    if (!machine_)
        return;
    if (watcher_)
        machine_->disconnect(watcher_);
    if (alarm_)
        machine_->disconnect(alarm_);
    if (drivers_ && driver_ >= 0)
        for (std::size_t p = 0; p < rowMasks_.size(); ++p)
            if (rowMasks_[p])
                drivers_->drive(driver_, static_cast<Port>(p), 0, 0);
    watcher_ = alarm_ = 0;
    driver_ = -1;
    machine_ = nullptr;
    drivers_ = nullptr;
}

bool Keypad::columnLow(int column) const {
    const Pin& pin = wiring_.columnPins[static_cast<std::size_t>(column)];
    if (pin.kind != Pin::Kind::Port)
        return false;
    // A column the chip does not drive floats: it pulls no row.
    return (machine_->outputs(pin.port) & pin.mask()) && !(machine_->pins(pin.port) & pin.mask());
}

void Keypad::update() {
    if (!machine_ || !drivers_ || driver_ < 0)
        return;
    std::array<std::uint8_t, 5> low{};
    if (closedCount_ > 0) {
        const int columns =
            std::min<int>(wiring_.columns, static_cast<int>(wiring_.columnPins.size()));
        const int rows = std::min<int>(wiring_.rows, static_cast<int>(wiring_.rowPins.size()));
        for (int c = 0; c < columns; ++c) {
            if (!columnLow(c))
                continue;
            for (int r = 0; r < rows; ++r) {
                const Pin& row = wiring_.rowPins[static_cast<std::size_t>(r)];
                if (row.kind == Pin::Kind::Port &&
                    keys_[static_cast<std::size_t>(r * wiring_.columns + c)].closed)
                    low[portIndex(row.port)] |= row.mask();
            }
        }
    }
    for (std::size_t p = 0; p < low.size(); ++p)
        if (rowPorts_ >> p & 1)
            drivers_->drive(driver_, static_cast<Port>(p), low[p], 0);
}

void Keypad::press(int key, bool down) {
    if (key < 0 || static_cast<std::size_t>(key) >= keys_.size())
        return;
    Key& k = keys_[static_cast<std::size_t>(key)];
    if (k.held == down)
        return;
    if (machine_) {
        if (machine_->cycles() < lastCycle_)
            settle(); // the count gone back: the bounces under way are the old count's
        lastCycle_ = machine_->cycles();
    }
    k.held = down;
    const bool wasClosed = k.closed;
    k.closed = down;
    k.nextToggle = k.settleAt = Machine::never;
    k.step = static_cast<unsigned>(key) * 5u; // each key its own part of the pattern
    if (machine_ && wiring_.bounceMs > 0) {
        const std::uint64_t now = machine_->cycles();
        const double cyclesPerMicro = eClock() / 1e6;
        k.settleAt = now + static_cast<std::uint64_t>(
                               std::llround(wiring_.bounceMs * 1000 * cyclesPerMicro));
        k.nextToggle = now + static_cast<std::uint64_t>(std::llround(
                                 bounceSteps[k.step % bounceSteps.size()] * cyclesPerMicro));
        if (k.nextToggle >= k.settleAt)
            k.nextToggle = k.settleAt = Machine::never;
    }
    closedCount_ += (k.closed ? 1 : 0) - (wasClosed ? 1 : 0);
    scheduleAlarm();
    update();
}

void Keypad::bounce(std::uint64_t cycle) {
    const double cyclesPerMicro = eClock() / 1e6;
    for (Key& k : keys_) {
        while (k.nextToggle <= cycle) {
            const bool wasClosed = k.closed;
            if (k.nextToggle >= k.settleAt) {
                k.closed = k.held;
                k.nextToggle = k.settleAt = Machine::never;
            } else {
                k.closed = !k.closed;
                ++k.step;
                k.nextToggle = std::min(
                    k.settleAt,
                    k.nextToggle + static_cast<std::uint64_t>(std::llround(
                                       bounceSteps[k.step % bounceSteps.size()] * cyclesPerMicro)));
            }
            closedCount_ += (k.closed ? 1 : 0) - (wasClosed ? 1 : 0);
        }
    }
    scheduleAlarm();
    update();
}

void Keypad::scheduleAlarm() {
    if (!machine_ || !alarm_)
        return;
    std::uint64_t next = Machine::never;
    for (const Key& k : keys_)
        next = std::min(next, k.nextToggle);
    machine_->setAlarm(alarm_, next);
}

bool Keypad::contact(int key) const {
    return key >= 0 && static_cast<std::size_t>(key) < keys_.size() &&
           keys_[static_cast<std::size_t>(key)].closed;
}

KeypadView Keypad::view() const {
    KeypadView v;
    v.name = wiring_.name;
    v.rows = wiring_.rows;
    v.columns = wiring_.columns;
    const bool full = wiring_.rows == 4 && wiring_.columns == 4;
    const bool phone = wiring_.rows == 4 && wiring_.columns == 3;
    for (int k = 0; k < wiring_.rows * wiring_.columns; ++k) {
        if (full)
            v.labels.emplace_back(labels4x4[k]);
        else if (phone)
            v.labels.emplace_back(labels4x3[k]);
        else
            v.labels.push_back(std::to_string(k));
        v.pressed.push_back(keys_[static_cast<std::size_t>(k)].held);
    }
    return v;
}

} // namespace lab
