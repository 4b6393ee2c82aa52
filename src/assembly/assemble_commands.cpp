#include "assembly/assemble_commands.h"

#include "app/principal.h"

namespace kavrel::assembly {

void SaveAllForms(Principal&) {}

void assembleActive(Principal& principal, const QString&) {
    if (principal.noProgramOpen())
        return;
}

} // namespace kavrel::assembly
