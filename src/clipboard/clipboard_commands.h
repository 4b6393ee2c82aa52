#pragma once

namespace kavrel {
class Principal;
}

// Plain text between the active editor and the system clipboard.
namespace kavrel::clipboard {

void Copy(Principal& principal);
void Cut(Principal& principal);
void Paste(Principal& principal);

} // namespace kavrel::clipboard
