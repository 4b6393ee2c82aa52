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

} // namespace kavrel::assembly
