#include "simulation/simulation_commands.h"

#include <QDir>
#include <QFileInfo>
#include <QMdiSubWindow>

#include "assembly/assemble_commands.h"
#include "assembly/assembly_report.h"
#include "editor/editeur.h"
#include "simulation/program.h"
#include "simulation/simulation_texts.h"
#include "simulation/simulation_window.h"
#include "workspace/message_boxes.h"
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

} // namespace

SimulationWindow* activeSimulation(Workspace& workspace) {
    return qobject_cast<SimulationWindow*>(workspace.activeSubWindow());
}

SimulationWindow* simulationOf(Workspace& workspace, const QString& sourcePath) {
    for (QMdiSubWindow* window : workspace.subWindows())
        if (auto* simulation = qobject_cast<SimulationWindow*>(window))
            if (sameFile(simulation->sourcePath(), sourcePath))
                return simulation;
    return nullptr;
}

void Simulate(Workspace& workspace) {
    assembly::SaveAllForms(workspace);
    // Read after the saves: a save may have named the document.
    const QString caption = workspace.activeEditor()->caption();
    assembly::clearErrorMarks(workspace);
    const std::shared_ptr<const Program> program = assembleQuietly(caption);
    // The report is shown when it has something to say, and never left stale.
    const auto* panel = workspace.window()->findChild<assembly::AssemblyReport*>();
    if (!program->result().diagnostics.empty() || (panel && panel->isVisible()))
        report(workspace, *program, caption);
    if (!program->ok())
        return;
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
void DebugOnBoard(Workspace&) {}
#endif

} // namespace kavrel::simulation
