#pragma once

#include <QString>

namespace kavrel {
class Workspace;
}

namespace kavrel::assembly {

// Offers to save every modified editor, in opening order.
void SaveAllForms(Workspace& workspace);

// The assemble commands: the save offer, then the job on the active editor's
// file (the menu guards them: an editor is open).
void AssembleToS19(Workspace& workspace);
void AssembleToBOO(Workspace& workspace);

// "Assembler -> .BOO" for a command that goes on with the image (the
// download into a board): the same saves, job and report. The .BOO file
// beside the source when the assembler ended without error; empty otherwise.
QString AssembleToBOOImage(Workspace& workspace);

// "Assembler -> S19" for a command that goes on with the records (the load
// through a board's monitor, the EEPROM's programming): the same saves, job
// and report, the assembler run here even in batch mode. The .S19 file
// beside the source when the assembler ended without error; empty otherwise.
QString AssembleToS19File(Workspace& workspace);

} // namespace kavrel::assembly
