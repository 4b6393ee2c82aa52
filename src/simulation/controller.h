#pragma once

// The simulation on its worker thread. The window calls the controller's
// commands through queued calls (run(), step()... are posted, never called
// across threads), except requestStop(), which any thread may call; the
// controller answers with updates carrying a snapshot of the machine.
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "simulation/program.h"
#include "simulation/snapshot.h"

class QTimer;

namespace sim11 {
class Machine;
}

namespace kavrel::simulation {

enum class Board { Plain, Evaluation };

struct MachineChoice {
    sim11::Chip chip = sim11::Chip::E9;
    sim11::Mode mode = sim11::Mode::SingleChip;
    Board board = Board::Plain;
};

// Why the machine is where it is.
enum class StopReason {
    None,       // still running (a refresh)
    Loaded,     // a program was loaded, or the machine was reset
    Step,       // one instruction
    StepOver,   // the next line, a call run through
    StepOut,    // back in the caller
    Cursor,     // the address asked for
    Breakpoint,
    Watchpoint,
    User,       // "Arrêter"
    StopInstruction,
    IllegalOpcode,
    CopReset,
    ClockFailure,
    EmptyMemory,
};

// What the window receives: the machine as it is, and what the SCI sent
// since the last update.
struct Update {
    std::shared_ptr<const Snapshot> snapshot;
    bool running = false;
    StopReason reason = StopReason::None;
    std::uint16_t where = 0; // the address a runaway stop names
    QByteArray transmitted;
};

class Controller : public QObject {
    Q_OBJECT
public:
    explicit Controller(QObject* parent = nullptr);
    ~Controller() override;

    // Any thread: ends a run within one slice.
    void requestStop() { stopRequested_.store(true, std::memory_order_relaxed); }
    // Any thread: true once the window has taken the last running update, so
    // that a slow window never gets a queue of them.
    void updateTaken() { updateInFlight_.store(false, std::memory_order_release); }

    // --- posted to the worker thread ---
    // A new machine of that kind with the program loaded, reset, at its entry.
    void load(MachineChoice choice, std::shared_ptr<const Program> program);
    void reset();    // the machine again from the program's image
    void pinReset(); // the RESET pin: memory kept
    void step();
    void stepOver();
    void stepOut();
    void run();
    void halt(); // ends a run as requestStop() does, after the commands posted before
    void runTo(std::uint16_t address);
    void setRealTime(bool on);
    void setBreakpoints(std::vector<std::uint16_t> addresses);
    // Stops after an instruction writes (or reads) that byte; -1 for none.
    void setWatchpoint(int address, bool onWrite = true);
    void setRegisters(sim11::Registers registers);
    void writeMemory(std::uint16_t address, std::uint8_t value);
    void setPortInputs(Port port, std::uint8_t levels);
    void setAnalog(int channel, std::uint8_t value);
    void setIrq(bool asserted);
    void setXirq(bool asserted);
    void type(QByteArray bytes);

    // Refreshes while running, per second.
    static constexpr int kRefreshRate = 40;

signals:
    void updated(const kavrel::simulation::Update& update);

private:
    enum class Goal { Free, To, Over, Out };
    void startRun(Goal goal, std::uint16_t target = 0, std::uint16_t stack = 0);
    void slice();
    void finish(StopReason reason, std::uint16_t where = 0);
    void publish(bool running, StopReason reason, std::uint16_t where);
    // Runs up to `limit` cycles; true with `reason` set when the run must end.
    bool runUntil(std::uint64_t limit, StopReason& reason, std::uint16_t& where);
    bool executesNothing(std::uint16_t pc) const;
    void placeAtEntry();
    void applyInputs();

    MachineChoice choice_;
    std::shared_ptr<const Program> program_;
    std::unique_ptr<sim11::Machine> machine_;
    std::vector<std::uint8_t> breakpoints_ = std::vector<std::uint8_t>(0x10000, 0);
    bool anyBreakpoint_ = false;
    int watchpoint_ = -1;
    std::uint8_t watchedValue_ = 0;

    bool running_ = false;
    bool realTime_ = false;
    Goal goal_ = Goal::Free;
    bool leaving_ = false; // the first instruction of a run ignores its breakpoint
    std::uint16_t target_ = 0;
    std::uint16_t stack_ = 0;
    QTimer* sliceTimer_ = nullptr;
    QElapsedTimer sinceRefresh_;
    QElapsedTimer paceClock_;
    std::uint64_t paceStartCycles_ = 0;
    std::uint64_t cyclesPerSlice_ = 20000;

    // Inputs the machine does not give back.
    std::array<std::uint8_t, portCount> inputs_{};
    std::array<std::uint8_t, 8> analog_{};
    bool irq_ = false, xirq_ = false;

    QByteArray transmitted_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> updateInFlight_{false};
};

// The E clock the pacing follows (an 8 MHz crystal).
inline constexpr double kEClockHz = 2'000'000.0;

} // namespace kavrel::simulation

Q_DECLARE_METATYPE(kavrel::simulation::Update)
