// A lab board around a simulated chip: the parts its description lists,
// built and wired to the chip's lines, the memory outside the chip, the
// timing view's recorder, and what a window or `sim11 --show` shows of it.
// Everything here runs on the thread that runs the machine.
#pragma once

#include "lab/board_spec.h"
#include "lab/board_view.h"
#include "sim11/session.h"

#include <memory>
#include <string>
#include <vector>

namespace lab {

class Recorder;

class LabBoard {
public:
    // The parts of `spec`, and its ROMs read from their files; null with a
    // French message when a ROM's file cannot be read.
    static std::unique_ptr<LabBoard> create(const BoardSpec& spec, std::string& error);
    ~LabBoard();

    const BoardSpec& spec() const;
    // The session's setup for this board: its chip and mode where it names
    // them, `chosen`'s otherwise; the evaluation board's OC5 to XIRQ.
    sim11::Setup setup(sim11::Setup chosen) const;

    // Wires every part to the machine (again after the session made a new
    // one); the memory outside the chip answers in expanded mode.
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

    // For `--show`: the lines that changed since the last call, e.g.
    // `LCD : "BONJOUR         |                "` and `Afficheurs : "0042"`.
    std::vector<std::string> changes();

private:
    LabBoard();
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

} // namespace lab
