#pragma once

// A board as the debugging window's target: the chip itself, reached through
// the talker over a serial line, on a worker thread of its own (the talker's
// calls block). It answers the window's commands with the same updates as
// the simulator: registers and the memory the panes show read from the
// board, the ports' pins read back, the program's own serial output while it
// runs. A run is the talker's go, then waits for its stop in short slices so
// that "Arrêter" and the window's other commands still come through.
#include <QTimer>
#include <array>
#include <bitset>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "board/talker.h"
#include "simulation/controller.h"
#include "simulation/program.h"
#include "simulation/target.h"

namespace kavrel::simulation {

// Consecutive bytes of the program, as it gives them.
struct LoadRun {
    std::uint16_t address = 0;
    std::vector<std::uint8_t> bytes;
};

class BoardController final : public Target {
    Q_OBJECT
public:
    // Makes the line, on the worker thread: the system's serial port unless told.
    using TransportFactory = std::function<std::unique_ptr<board::Transport>()>;

    BoardController(board::TalkerSettings settings, std::shared_ptr<const Program> program,
                    TransportFactory factory = {});
    // Closes the line; the program on the board is left as it is.
    ~BoardController() override;

    // Posted once: opens the line, loads the talker by the bootstrap load,
    // then the program (RAM bytes written, EEPROM bytes programmed); PC at
    // the program's entry. Answered by connected().
    void connectBoard();

    void requestStop() override;
    void abandon() override;
    void updateTaken() override { windowBehind_ = false; }
    // The program's RAM bytes written again, PC at its entry.
    void reset() override;
    // The board as it is: registers and memory read again.
    void refresh() override;
    void step() override;
    void stepOver() override;
    void stepOut() override;
    void run() override;
    void runTo(std::uint16_t address) override;
    void halt() override;
    void setDebugState(const DebugState& state) override;
    void setRegisters(sim11::Registers registers) override;
    void writeMemory(std::uint16_t address, std::uint8_t value) override;
    void type(QByteArray) override {}
    void programEeprom(std::uint16_t address, QByteArray bytes) override;
    void programConfig(std::uint8_t value) override;
    void readConfig() override;
    // The memory the panes show, read at each stop.
    void setShownMemory(std::vector<MemorySpan> spans) override;

    // Refreshes of a running program's output, per second.
    static constexpr int kRefreshRate = 20;

signals:
    // (done, total) bytes of the talker's load, then of the program's.
    void loadProgress(qulonglong done, qulonglong total, bool program);
    void connected(bool ok, const QString& message);

private:
    enum class Goal { Run, RunTo, StepOver, StepOut };

    void planLoad();
    void loadProgram(const std::function<void(std::size_t, std::size_t)>& progress);
    void startGo(Goal goal, std::optional<std::uint16_t> extra = {});
    void go();
    void slice();
    void stopped(const board::TalkerStop& stop);
    void publish(bool running, StopReason reason, std::string message = {},
                 std::optional<std::uint16_t> refusedWrite = {}, std::string refusedWhy = {});
    // Reads the registers and the memory shown; false, with the reason told,
    // when the line failed.
    bool readBack(std::optional<board::TalkerRegisters> registers = {});
    void readSpan(std::uint16_t first, std::size_t count);
    void fault(const std::exception& error);
    bool ready();

    board::TalkerSettings settings_;
    std::shared_ptr<const Program> program_;
    TransportFactory factory_;
    std::unique_ptr<board::Transport> transport_;
    std::unique_ptr<board::Talker> talker_;
    std::mutex talkerMutex_; // abandon() from another thread against its replacement
    std::uint16_t talkerFirst_ = 0, talkerLast_ = 0;
    std::string loadNote_;
    std::vector<LoadRun> ram_, eeprom_;      // what the program puts where
    std::optional<std::uint8_t> configCell_; // CONFIG as last programmed here

    // The board's memory as last read (the program's bytes until then).
    std::array<std::uint8_t, 0x10000> memory_{};
    // What memory_ holds that the board did not give: never read, or the
    // talker's own RAM, never read back.
    std::bitset<0x10000> unread_;
    sim11::Registers regs_;
    std::vector<MemorySpan> shown_;
    std::vector<std::uint16_t> breakpoints_;

    QTimer* sliceTimer_ = nullptr;
    bool running_ = false;
    Goal goal_ = Goal::Run;
    std::optional<std::uint16_t> extra_; // the goal's own breakpoint
    std::uint16_t goalSp_ = 0;
    std::atomic<bool> stopWanted_{false};
    bool interruptSent_ = false;
    bool resetDue_ = false; // "Réinitialiser" while it ran
    bool windowBehind_ = false;
    qint64 lastRefresh_ = 0;
    QByteArray transmitted_;
};

} // namespace kavrel::simulation
