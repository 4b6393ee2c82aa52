// A matrix keypad (4x4 or 4x3): the program drives its columns low one at a
// time and reads its rows, pulled up; a key held down joins its column to
// its row. The contacts may bounce for a while after a press and a release,
// in a fixed pattern, so a program's debouncing can be tried and repeated.
#pragma once

#include "lab/board_description.h"
#include "lab/board_view.h"
#include "lab/part.h"

#include <array>
#include <cstdint>
#include <vector>

namespace lab {

class Keypad final : public Part {
public:
    explicit Keypad(const KeypadWiring& wiring);
    ~Keypad() override;

    void attach(Machine& machine, PinDrivers& drivers) override;
    void detach() override;

    const KeypadWiring& wiring() const { return wiring_; }
    // key = row * columns + column; held until released. Out of range: ignored.
    void press(int key, bool down);
    // Whether a key's contact is closed now (bouncing included).
    bool contact(int key) const;
    KeypadView view() const;

private:
    struct Key {
        bool held = false;                         // as the user holds it
        bool closed = false;                       // the contact, bouncing or not
        std::uint64_t nextToggle = Machine::never; // the bounce's next change
        std::uint64_t settleAt = Machine::never;   // the bounce's end
        unsigned step = 0;                         // where in the bounce pattern
    };
    void update();                    // the rows from the columns and the contacts
    void bounce(std::uint64_t cycle); // the contacts due at `cycle`
    void scheduleAlarm();
    void settle(); // every bounce ended, the contacts as the keys are held
    bool columnLow(int column) const;

    KeypadWiring wiring_;
    std::vector<Key> keys_;
    Machine* machine_ = nullptr;
    PinDrivers* drivers_ = nullptr;
    int driver_ = -1;
    Machine::Connection watcher_ = 0, alarm_ = 0;
    std::uint8_t columnPorts_ = 0, rowPorts_ = 0; // bit p: a pin of the group on port p
    std::array<std::uint8_t, 5> rowMasks_{};
    int closedCount_ = 0;         // contacts closed: none, nothing to pull
    std::uint64_t lastCycle_ = 0; // of the latest change heard
};

} // namespace lab
