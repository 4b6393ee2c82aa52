#include "clipboard/clipboard_commands.h"

#include "app/principal.h"

namespace kavrel::clipboard {

void Copy(Principal& principal) {
    if (principal.noProgramOpen())
        return;
}

void Cut(Principal& principal) {
    if (principal.noProgramOpen())
        return;
}

void Paste(Principal& principal) {
    if (principal.noProgramOpen())
        return;
}

} // namespace kavrel::clipboard
