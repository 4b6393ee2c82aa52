#pragma once

namespace kavrel {
class Workspace;
}

// Plain text between the active editor and the system clipboard. Each needs
// an open editor (the menu guards them).
namespace kavrel::clipboard {

void Copy(Workspace& workspace);
void Cut(Workspace& workspace);
void Paste(Workspace& workspace);

} // namespace kavrel::clipboard
