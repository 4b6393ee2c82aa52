#pragma once

#include <QString>

namespace kavrel {
class Principal;
}

namespace kavrel::assembly {

// Offers to save every modified editor, in opening order.
void SaveAllForms(Principal& principal);

// The assemble command: guard, save offer, then the job on the active editor's
// file for `target` ("S19" or "BOO").
void assembleActive(Principal& principal, const QString& target);

} // namespace kavrel::assembly
