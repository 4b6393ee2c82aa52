// A lab board around a simulated chip: the parts its description lists,
// built and wired to the chip's lines, the memory outside the chip, the
// timing view's recorder, and what a window or `sim11 --show` shows of it.
// Everything here runs on the thread that runs the machine.
#pragma once

#include "lab/board_description.h"
#include "lab/board_view.h"
#include "sim11/session.h"

#include <memory>
#include <string>
#include <vector>

namespace lab {

class Recorder;

class LabBoard {
public:
    // The parts of `description`, and its ROMs read from their files; null with a
    // French message when a ROM's file cannot be read.
    static std::unique_ptr<LabBoard> create(const BoardDescription& description,
                                            std::string& error);
    // Leaves the machine alone, which may be gone: detach() it first when
    // the machine outlives the board.
    ~LabBoard();

    const BoardDescription& description() const;
    // The session's setup for this board: its chip and mode where it names
    // them, `chosen`'s otherwise; the evaluation board's OC5 to XIRQ.
    sim11::Setup setup(sim11::Setup chosen) const;

    // The E clock the parts count seconds with (a bounce, a tone, the
    // displays' persistence): the board's quartz / 4 until set, else 2 MHz.
    // The session's own should be given here.
    void setEClock(double hertz);
    double eClock() const;

    // Wires every part to the machine (again after the session made a new
    // one: what was attached to the old one is forgotten, so detach() first
    // when the same machine is attached again). In expanded mode, a board
    // that lists memory gets its ROMs on the bus, and the addresses it does
    // not list answer $FF and take no program; its RAM is the machine's own.
    void attach(Machine& machine);
    void detach();

    // Inputs, from the window or a test.
    void setPortBase(Port port, std::uint8_t levels); // the ports pane's switches
    void pressKey(int keypad, int key, bool down);    // key: row * columns + column
    void pressButton(int button, bool down);
    void setPot(int pot, double volts);

    // The board as it is at the machine's current cycle.
    BoardView view() const;
    // The timing view's recorder (null when the board records nothing).
    Recorder* recorder();

    // What `sim11 --show` prints: a line per LCD, `LCD : « BONJOUR  » « … »`
    // (each row whole, blanks included), then a line per set of displays,
    // `Afficheurs : « 0042 »`; the part's name starts the line.
    std::vector<std::string> showLines() const;
    // The lines of showLines() that changed since the last call (all of
    // them the first time).
    std::vector<std::string> changes();
    // The same for a look at regular times while the program runs: a line
    // is told once it reads the same at two looks in a row, so a digit
    // caught half-way through its change ("000?") is not.
    std::vector<std::string> settledChanges();

private:
    LabBoard();
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

} // namespace lab
