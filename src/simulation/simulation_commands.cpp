#include "simulation/simulation_commands.h"

#include <QDir>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QThread>

#include "assembly/assemble_commands.h"
#include "assembly/assembly_report.h"
#include "editor/editeur.h"
#include "simulation/program.h"
#include "simulation/simulation_texts.h"
#include "simulation/simulation_window.h"
#include "workspace/message_boxes.h"
#ifdef KAVREL_WITH_BOARD
#include "board/board_commands.h"
#include "board/board_texts.h"
#include "board/serial_terminal.h"
#include "simulation/board_debug_dialog.h"
#endif
#include "workspace/wait_cursor.h"
#include "workspace/workspace.h"

namespace kavrel::simulation {

namespace {

bool sameFile(const QString& a, const QString& b) {
    if (QDir::toNativeSeparators(a) == QDir::toNativeSeparators(b))
        return true;
    const QFileInfo fa(a), fb(b);
    return fa.exists() && fb.exists() && fa.canonicalFilePath() == fb.canonicalFilePath();
}

// The report panel, as after a direct assembly: the command, what the
// assembler said, a verdict and a row per error.
void report(Workspace& workspace, const Program& program, const QString& caption) {
    assembly::AssemblyRun run;
    run.ran = true;
    run.command = std::string(texts::kAssemblerName) + caption.toStdString();
    run.process.exited = true;
    run.process.exitCode = program.exitCode();
    run.process.captured = true;
    run.process.output = program.reportOutput();
    assembly::AssemblyReport::of(workspace).present(run, caption);
}

std::shared_ptr<const Program> assembleQuietly(const QString& caption) {
    const app::WaitCursor wait;
    return Program::assemble(caption.toStdString());
}

// The save offer, then the active editor's source assembled here; its
// errors in the report. Null when it did not assemble.
std::shared_ptr<const Program> assembleActive(Workspace& workspace) {
    assembly::SaveAllForms(workspace);
    // Read after the saves: a save may have named the document.
    const QString caption = workspace.activeEditor()->caption();
    assembly::clearErrorMarks(workspace);
    std::shared_ptr<const Program> program = assembleQuietly(caption);
    // The report is shown when it has something to say, and never left stale.
    const auto* panel = workspace.window()->findChild<assembly::AssemblyReport*>();
    if (!program->result().diagnostics.empty() || (panel && panel->isVisible()))
        report(workspace, *program, caption);
    if (!program->ok())
        return nullptr;
    return program;
}

} // namespace

SimulationWindow* activeSimulation(Workspace& workspace) {
    return qobject_cast<SimulationWindow*>(workspace.activeSubWindow());
}

SimulationWindow* simulationOf(Workspace& workspace, const QString& sourcePath) {
    for (QMdiSubWindow* window : workspace.subWindows())
        if (auto* simulation = qobject_cast<SimulationWindow*>(window))
            if (!simulation->drivesBoard() && sameFile(simulation->sourcePath(), sourcePath))
                return simulation;
    return nullptr;
}

void Simulate(Workspace& workspace) {
    const std::shared_ptr<const Program> program = assembleActive(workspace);
    if (!program)
        return;
    const QString caption = QString::fromStdString(program->sourcePath());
    if (SimulationWindow* open = simulationOf(workspace, caption)) {
        open->reload(program);
        workspace.activateSubWindow(open);
        return;
    }
    auto* window = new SimulationWindow(workspace, program);
    workspace.addSubWindow(window);
    // Wider than the main window's first workspace: the main window grows
    // to show it whole, within the screen.
    window->fitInWorkspace();
}

void Reset(Workspace& workspace) {
    if (SimulationWindow* window = activeSimulation(workspace))
        window->resetMachine();
}

void Step(Workspace& workspace) {
    if (SimulationWindow* window = activeSimulation(workspace))
        window->stepInto();
}

void StepOver(Workspace& workspace) {
    if (SimulationWindow* window = activeSimulation(workspace))
        window->stepOver();
}

void StepOut(Workspace& workspace) {
    if (SimulationWindow* window = activeSimulation(workspace))
        window->stepOut();
}

void Run(Workspace& workspace) {
    if (SimulationWindow* window = activeSimulation(workspace))
        window->run();
}

void RunToCursor(Workspace& workspace) {
    if (SimulationWindow* window = activeSimulation(workspace))
        window->runToCursor();
}

void Stop(Workspace& workspace) {
    if (SimulationWindow* window = activeSimulation(workspace))
        window->stop();
}

void RealTime(Workspace& workspace) {
    if (SimulationWindow* window = activeSimulation(workspace))
        window->setRealTime(!window->realTime());
}

void offerReload(Workspace& workspace, const QString& sourcePath) {
    SimulationWindow* window = simulationOf(workspace, sourcePath);
    if (!window)
        return;
    // What the assembler just refused is not offered: its report says why.
    const std::shared_ptr<const Program> program = assembleQuietly(sourcePath);
    if (!program->ok())
        return;
    const auto answer = workspace.messages().show(
        workspace.window(), QString::fromUtf8(texts::kReloadTitle),
        QString::fromUtf8(texts::kReloadQuestion) + QStringLiteral("\r\n") + window->windowTitle(),
        app::BoxIcon::Information, app::BoxButtons::YesNo);
    if (answer != app::BoxAnswer::Yes)
        return;
    window->reload(program);
}

#ifdef KAVREL_WITH_BOARD
namespace {

// The choices of the last "Déboguer sur la carte..." from this main window.
class LastBoardChoices : public QObject {
public:
    using QObject::QObject;
    BoardChoices choices;
};

BoardChoices& lastBoardChoices(Workspace& workspace) {
    QWidget* window = workspace.window();
    for (QObject* child : window->children())
        if (auto* kept = dynamic_cast<LastBoardChoices*>(child))
            return kept->choices;
    return (new LastBoardChoices(window))->choices;
}

} // namespace

BoardDebugDialog* boardDebugDialog(Workspace& workspace) {
    return workspace.window()->findChild<BoardDebugDialog*>(QString(), Qt::FindDirectChildrenOnly);
}

void DebugOnBoard(Workspace& workspace) {
    const std::shared_ptr<const Program> program = assembleActive(workspace);
    if (!program)
        return;
    // One at a time: the dialog of an earlier one gives way.
    delete boardDebugDialog(workspace);
    auto* dialog = new BoardDebugDialog(program, workspace.window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setChoices(lastBoardChoices(workspace));
    // The port is the talker's from now on: a terminal or an older window on
    // it lets it go.
    QObject::connect(dialog, &BoardDebugDialog::aboutToConnect, dialog,
                     [&workspace, dialog](const QString& port) {
                         lastBoardChoices(workspace) = dialog->choices();
                         if (board::SerialTerminalWindow* terminal =
                                 board::terminalOn(workspace, port))
                             if (terminal->isOpen())
                                 terminal->closePort(QString::fromUtf8(board::kTerminalLent));
                         for (QMdiSubWindow* window : workspace.subWindows())
                             if (auto* open = qobject_cast<SimulationWindow*>(window))
                                 if (open->drivesBoard() && open->boardPort() == port)
                                     delete open;
                     });
    QObject::connect(dialog, &BoardDebugDialog::ready, dialog,
                     [&workspace, dialog, program](QThread* thread, Target* target,
                                                   const BoardTargetInfo& info) {
                         auto* window =
                             new SimulationWindow(workspace, program, thread, target, info);
                         workspace.addSubWindow(window);
                         window->fitInWorkspace();
                         dialog->accept();
                     });
    dialog->open();
}
#endif

} // namespace kavrel::simulation
