#pragma once

#include <QString>

namespace kavrel {
class Workspace;
}

// The board's commands of the "Exécution" menu.
namespace kavrel::board {

class DownloadDialog;
class MonitorDialog;
class SerialTerminalWindow;

// "Charger dans la carte (.BOO)...": the active editor assembled as by
// "Assembler -> .BOO" (the menu guards it: an editor is open); with an
// error nothing is sent. Then the download dialog on the .BOO file; once
// the program is in the board, a terminal on the same port at the
// program's speed.
void LoadIntoBoard(Workspace& workspace);

// "Charger par le moniteur (S19)...": the active editor assembled as by
// "Assembler -> S19" (the menu guards it); with an error nothing is sent.
// Then the monitor dialog, and the S19's records sent through the board's
// monitor; once it said "done", a question (Oui/Non): start the program
// with G at its start address, in a terminal on the same port.
void LoadThroughMonitor(Workspace& workspace);

// "Terminal série": a new serial terminal window, its port not opened yet.
void SerialTerminal(Workspace& workspace);

// The download dialog the last LoadIntoBoard opened, while it is shown.
DownloadDialog* downloadDialog(Workspace& workspace);
// The monitor dialog the last LoadThroughMonitor opened, while it is shown.
MonitorDialog* monitorDialog(Workspace& workspace);
// The terminal window on `port`, or null.
SerialTerminalWindow* terminalOn(Workspace& workspace, const QString& port);

} // namespace kavrel::board
