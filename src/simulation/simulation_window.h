#pragma once

// The simulator window: an MDI child "Simulation : <chemin du source>" that
// runs one assembled program on its own simulated chip. The session runs on
// a worker thread of the window's own (see controller.h for how the two
// talk); the panes are drawn from the snapshots it sends, at a steady rate
// while it runs and whenever it stops. The breakpoints and watched bytes
// live in one model of the window's, which the panes show and change and
// which the worker is handed whole at each change.
#include <QMdiSubWindow>
#include <memory>
#include <optional>

#include "simulation/controller.h"
#include "simulation/program.h"

class QAction;
class QComboBox;
class QLabel;
class QThread;
class QSplitter;
class QTabWidget;
class QToolBar;

namespace lab {
class LabBoard;
struct BoardDescription;
} // namespace lab

namespace kavrel {
class Workspace;
}

namespace kavrel::terminal {
class TerminalWidget;
}

namespace kavrel::simulation {

class BoardPane;
class DebugModel;
class MemoryPane;
class PortsPane;
class RegistersPane;
class SourcePane;
class TimingPane;

// What a window drives, when it is not the simulator.
struct BoardTargetInfo {
    QString port;                       // as the user named it: the title repeats it
    QString description;                // "68HC11 de la famille E, quartz 8 MHz, sur /dev/ttyUSB0"
    sim11::Chip chip = sim11::Chip::E9; // the registers named as on this part
};

class SimulationWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    // On the simulator.
    SimulationWindow(Workspace& workspace, std::shared_ptr<const Program> program);
    // On a board, "Carte : <chemin du source> (<port>)": `target` (already
    // connected, the program loaded) runs on `thread`, started; the window
    // takes both and ends them when it closes.
    SimulationWindow(Workspace& workspace, std::shared_ptr<const Program> program, QThread* thread,
                     Target* target, const BoardTargetInfo& info);
    ~SimulationWindow() override;

    // Whether it drives a board, and what the window says it drives.
    bool drivesBoard() const { return simulator_ == nullptr; }
    // The port of the board it drives (empty on the simulator).
    QString boardPort() const { return boardInfo_.port; }
    QString targetText() const;

    // The chip's own memories, on whichever target the window drives; each
    // ends with chipProgrammed() (an EEPROM programming tells its progress
    // by chipProgress()). Refused while the program runs.
    void programEeprom(std::uint16_t address, QByteArray bytes);
    void programConfig(std::uint8_t value);
    // Asks for CONFIG in force and as the next reset will take it:
    // answered by configRead().
    void readConfig();

    // The source it simulates (native separators, as the editor's caption).
    QString sourcePath() const;
    // A new image of the same source, on a machine reset as before.
    void reload(std::shared_ptr<const Program> program);

    // The commands of the toolbar and of the "Exécution" menu.
    void resetMachine();
    void stepInto();
    void stepOver();
    void stepOut();
    void run();
    void runToCursor();
    void stop();
    void setRealTime(bool on);
    bool realTime() const;
    // Chip, mode and wiring (OC5 to XIRQ or not) as given; a wiring other
    // than the board's takes the shipped board that has it.
    void setMachine(MachineChoice choice);
    MachineChoice machine() const { return choice_; }
    // The lab board: a shipped one by its key ("tp") or a board file's path,
    // read now. The chip and the mode follow it where it names them, and the
    // program is loaded again on it. A board that does not read is told in
    // a message box and the window stays on the board it had: false.
    bool selectBoard(const QString& key);
    const QString& boardKey() const { return boardKey_; }
    // The board files of the user's folder listed again in the board combo.
    void refreshBoards();

    bool isRunning() const { return running_; }
    // The machine as last shown, and what the state line says.
    const Snapshot* snapshot() const { return snapshot_.get(); }
    QString stateText() const;
    const std::shared_ptr<const Program>& program() const { return program_; }

    SourcePane* sourcePane() const { return source_; }
    RegistersPane* registersPane() const { return registers_; }
    terminal::TerminalWidget* terminal() const { return terminal_; }
    MemoryPane* memoryPane() const { return memory_; }
    PortsPane* portsPane() const { return ports_; }
    BoardPane* boardPane() const { return boardPane_; }
    TimingPane* timingPane() const { return timing_; }
    QComboBox* boardCombo() const { return board_; }
    // Shows the board's tab, or the ports', or the timing view's.
    void showBoardTab();
    void showPortsTab();
    void showTimingTab();
    // Places the window within the main window's workspace, the main window
    // grown first (within the screen) where the workspace is too small for it.
    void fitInWorkspace();
    DebugModel* debugModel() const { return debug_; }

signals:
    // Each update shown: `running` false when the machine stopped there.
    void shown(bool running);
    // The run state changed (the menu follows it).
    void stateChanged();
    void chipProgrammed(bool ok, const QString& message);
    void chipProgress(qulonglong done, qulonglong total);
    void configRead(bool ok, quint8 inForce, quint8 atReset, const QString& message);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void start();
    void buildActions();
    void buildPanes();
    // The board's window: the panes only a simulator has taken away.
    void showBoardTarget();
    // The memory pane's visible rows, for a target that reads only those.
    void sendShownMemory();
    void apply(const Update& update);
    void updateActions();
    void showProgram();
    void load(std::shared_ptr<lab::LabBoard> board = {});
    // Takes the board `description` (made into parts here): false, with its message
    // shown, when its ROM files cannot be read.
    bool takeBoard(const QString& key, const lab::BoardDescription& description, bool followChip);
    void tellBoardError(const QString& key, const QString& error);
    void showBoardChoice();
    void startRunning();
    void sendDebugState();
    static QString reasonText(const Update& update);
    // Queues a call on the worker thread.
    template <typename F> void post(F&& call);

    Workspace& workspace_;
    std::shared_ptr<const Program> program_;
    MachineChoice choice_;
    QString boardKey_;
    QString boardName_;
    QThread* thread_;
    Target* controller_;
    Controller* simulator_ = nullptr; // null on a board
    BoardTargetInfo boardInfo_;
    std::shared_ptr<const Snapshot> snapshot_;
    bool running_ = false;
    QString pendingState_;
    QString runningNote_;
    DebugModel* debug_;

    QToolBar* toolbar_ = nullptr;
    QToolBar* machineBar_ = nullptr;
    QAction* reset_ = nullptr;
    QAction* step_ = nullptr;
    QAction* stepOver_ = nullptr;
    QAction* stepOut_ = nullptr;
    QAction* run_ = nullptr;
    QAction* runToCursor_ = nullptr;
    QAction* stop_ = nullptr;
    QAction* realTime_ = nullptr;
    QAction* breakpoint_ = nullptr;
    QComboBox* chip_ = nullptr;
    QComboBox* mode_ = nullptr;
    QComboBox* board_ = nullptr;
    QLabel* state_ = nullptr;
    QLabel* target_ = nullptr;
    SourcePane* source_ = nullptr;
    RegistersPane* registers_ = nullptr;
    MemoryPane* memory_ = nullptr;
    PortsPane* ports_ = nullptr;
    terminal::TerminalWidget* terminal_ = nullptr;
    BoardPane* boardPane_ = nullptr;
    TimingPane* timing_ = nullptr;
    QTabWidget* machineTabs_ = nullptr;
    QSplitter* machineSplitter_ = nullptr;
    QTabWidget* bottomTabs_ = nullptr;
};

template <typename F> void SimulationWindow::post(F&& call) {
    QMetaObject::invokeMethod(controller_, std::forward<F>(call), Qt::QueuedConnection);
}

} // namespace kavrel::simulation
