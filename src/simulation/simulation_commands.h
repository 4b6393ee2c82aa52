#pragma once

#include <QString>

namespace kavrel {
class Workspace;
}

// The commands of the "Exécution" menu.
namespace kavrel::simulation {

class SimulationWindow;

// "Simuler": the save offer, then the active editor's source assembled in
// this process; its errors go to the assembly report and open no window.
// Without error, a simulation window on that source (the one already open
// takes the new image).
void Simulate(Workspace& workspace);

// The run commands act on the active simulation window, and do nothing
// without one.
void Reset(Workspace& workspace);
void Step(Workspace& workspace);
void StepOver(Workspace& workspace);
void StepOut(Workspace& workspace);
void Run(Workspace& workspace);
void RunToCursor(Workspace& workspace);
void Stop(Workspace& workspace);
void RealTime(Workspace& workspace); // toggles it

#ifdef KAVREL_WITH_BOARD
// "Déboguer sur la carte...": the active editor assembled; the port and the
// family asked; the talker then the program loaded into the board, and a
// window "Carte : <chemin du source> (<port>)" that drives it.
void DebugOnBoard(Workspace& workspace);
class BoardDebugDialog;
// The dialog the last DebugOnBoard opened, while it is shown.
BoardDebugDialog* boardDebugDialog(Workspace& workspace);
#endif

SimulationWindow* activeSimulation(Workspace& workspace);
// The window simulating that source (native separators), or null; a window
// on a board is not one.
SimulationWindow* simulationOf(Workspace& workspace, const QString& sourcePath);

// After an assembly of `sourcePath`: a window simulating that source is
// offered the new image, and takes it when the user says yes.
void offerReload(Workspace& workspace, const QString& sourcePath);

} // namespace kavrel::simulation
