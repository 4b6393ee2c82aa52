#pragma once

#include <QString>

namespace kavrel {
class Workspace;
}

// The board's commands of the "Exécution" menu.
namespace kavrel::board {

class DownloadDialog;
class SerialTerminalWindow;

// "Charger dans la carte (.BOO)...": the active editor assembled as by
// "Assembler -> .BOO" (the menu guards it: an editor is open); with an
// error nothing is sent. Then the download dialog on the .BOO file; once
// the program is in the board, a terminal on the same port at the
// program's speed.
void LoadIntoBoard(Workspace& workspace);

// "Charger par le moniteur (S19)...": the active editor assembled as by
// "Assembler -> S19" (the menu guards it); then the monitor dialog, and the
// S19's records sent through the board's monitor.
void LoadThroughMonitor(Workspace& workspace);

// "Terminal série": a new serial terminal window, its port not opened yet.
void SerialTerminal(Workspace& workspace);

// The download dialog the last LoadIntoBoard opened, while it is shown.
DownloadDialog* downloadDialog(Workspace& workspace);
// The terminal window on `port`, or null.
SerialTerminalWindow* terminalOn(Workspace& workspace, const QString& port);

} // namespace kavrel::board
