#pragma once

// The simulation on its worker thread, and the only two ways the window and
// that thread talk:
//  - queued calls, both ways. Every command, every input and the debugging
//    state (DebugState, applied whole) are posted to the controller and run
//    on its thread, in order, between two slices of a run. The controller
//    answers with `updated`, a queued signal carrying a snapshot of the
//    machine; the window posts updateTaken() back once it has drawn a
//    running one, so that a slow window never gets a queue of them.
//  - requestStop(), the one call made from another thread: it ends the
//    session's call in progress (a slice, or a step that waits in WAI for an
//    interrupt) through the session's own halt, under a mutex the worker
//    holds while it replaces the machine.
// Everything else in the controller belongs to its thread.
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim11/session.h"
#include "simulation/debug_model.h"
#include "simulation/lab.h"
#include "simulation/program.h"
#include "simulation/snapshot.h"
#include "simulation/target.h"

class QTimer;

namespace lab {
class LabBoard;
}

namespace kavrel::simulation {

using Board = sim11::Board;

// The machine a window simulates. `board` is the session's wiring (OC5 to
// XIRQ on the evaluation board); the lab board around the chip, its parts,
// is handed to the controller beside it (Controller::load).
struct MachineChoice {
    sim11::Chip chip = sim11::Chip::E9;
    sim11::Mode mode = sim11::Mode::SingleChip;
    Board board = Board::Chip;
};

// Why the machine is where it is.
enum class StopReason {
    None,       // still running (a refresh), or an input changed
    Loaded,     // a program was loaded, or the machine was reset
    LoadFailed, // part of the program has no memory on this chip (see message)
    Step,       // one instruction
    StepOver,   // the next line, a call run through
    StepOut,    // back in the caller
    Cursor,     // the address asked for
    Breakpoint,
    Watchpoint,
    User, // "Arrêter"
    StopInstruction,
    IllegalOpcode,
    CopReset,
    Swi,         // a board: an SWI of the program's own
    TargetFault, // a board: the line or the talker failed, or refused (see message)
};

// What the window receives: the machine as it is, and what the SCI sent
// since the last update.
struct Update {
    std::shared_ptr<const Snapshot> snapshot;
    bool running = false;
    StopReason reason = StopReason::None;
    std::uint16_t where = 0; // the address a watchpoint or a runaway stop names
    std::string message;     // why a load failed (UTF-8)
    // An edit of memory the machine did not take (nothing there): the
    // snapshot shows the byte as it is.
    std::optional<std::uint16_t> refusedWrite;
    std::string refusedWhy; // why, when it is not the lack of memory (UTF-8)
    QByteArray transmitted;
    // The lab board as it is (null without one), and what its recorder
    // took since the last update (null when it records nothing).
    std::shared_ptr<const lab::BoardView> board;
    std::shared_ptr<const lab::RecordedChunk> recorded;
    double eClock = 2'000'000.0; // Hz, what the board's cycles count in
};

class Controller : public Target {
    Q_OBJECT
public:
    explicit Controller(QObject* parent = nullptr);
    ~Controller() override;

    // Any thread: ends a run, or a step waiting in WAI, at the next instruction.
    void requestStop() override;

    // --- posted to the worker thread ---
    // The window has drawn the last running update: the next may go.
    void updateTaken() override { windowBehind_ = false; }
    // A new machine of that kind with the program loaded, reset, at its entry;
    // `board` (made on any thread, not yet attached) replaces the lab board
    // around it, null keeps the one there is. The board is attached before
    // the program is stored: memory it leaves empty takes no program.
    void load(MachineChoice choice, std::shared_ptr<const Program> program,
              std::shared_ptr<lab::LabBoard> board = {});
    void reset() override;    // power-on: the program's image stored again
    void pinReset() override; // the RESET pin: memory kept
    void step() override;
    void stepOver() override;
    void stepOut() override;
    void run() override;
    void runTo(std::uint16_t address) override;
    void halt() override; // ends a run as requestStop() does, after the commands posted before
    void setRealTime(bool on);
    // The breakpoints and watched bytes, as the window's model holds them now.
    void setDebugState(const DebugState& state) override;
    void setRegisters(sim11::Registers registers) override;
    // An edit of one byte; one the machine refuses is said in an update.
    // The EEPROM's bytes go through the chip's programming sequence.
    void writeMemory(std::uint16_t address, std::uint8_t value) override;
    void programEeprom(std::uint16_t address, QByteArray bytes) override;
    void programConfig(std::uint8_t value) override;
    void readConfig() override;
    // Inputs, at any time: a switch thrown while the program runs.
    void setPortInputs(Port port, std::uint8_t levels) override;
    void setAnalog(int channel, std::uint8_t value) override;
    void setIrq(bool asserted) override;
    void setXirq(bool asserted) override;
    void type(QByteArray bytes) override;
    // The lab board's own inputs: held while `down`.
    void pressKey(int keypad, int key, bool down) override;
    void pressButton(int button, bool down) override;
    void setPot(int pot, double volts) override;

    // Refreshes while running, per second.
    static constexpr int kRefreshRate = 40;

private:
    void startRun(sim11::Session::Goal goal, std::uint16_t address = 0);
    void slice();
    void finish(sim11::RunEnd end);
    void publish(bool running, StopReason reason, std::uint16_t where = 0, std::string message = {},
                 std::optional<std::uint16_t> refusedWrite = {}, std::string refusedWhy = {});
    // What the CONFIG cell holds (the machine keeps it for the next reset).
    void placeStart();
    void clearRecording();

    MachineChoice choice_;
    std::shared_ptr<const Program> program_;
    sim11::Session session_;
    std::shared_ptr<lab::LabBoard> board_;
    std::mutex machineMutex_; // requestStop() against a machine being replaced
    sim11::Session::Goal goal_ = sim11::Session::Goal::Run;
    bool running_ = false;
    QTimer* sliceTimer_ = nullptr;
    QElapsedTimer sinceRefresh_;

    // Inputs the session does not give back.
    std::array<std::uint8_t, 8> analog_{};
    bool irq_ = false, xirq_ = false;
    // The ports pane's switches, given again to each new board and machine.
    std::array<std::uint8_t, portCount> portInputs_{};
    std::array<bool, portCount> portInputsSet_{};

    QByteArray transmitted_;
    bool windowBehind_ = false; // a running update not yet drawn
    bool answerDue_ = false;    // the user acted on the board while it runs
};

} // namespace kavrel::simulation

Q_DECLARE_METATYPE(kavrel::simulation::Update)
