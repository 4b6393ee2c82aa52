#pragma once

namespace kavrel {
class Workspace;
}

// The main window's own commands: quitting, the launch mode, the help files.
namespace kavrel::app {

// Closes the main window; every editor passes through its close prompt first.
void Quit(Workspace& workspace);

// The launch mode lives only in the check marks of these two items.
void Batch_mode(Workspace& workspace);
void Normal_mode(Workspace& workspace);

// The help files of the program directory, opened as documents.
void Help_Kavrel(Workspace& workspace);
void Help_asmhc11(Workspace& workspace);

} // namespace kavrel::app
