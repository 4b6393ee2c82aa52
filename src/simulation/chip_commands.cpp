#include "simulation/chip_commands.h"

namespace kavrel::simulation {

void ProgramEeprom(Workspace&) {}
void ConfigureChip(Workspace&) {}

} // namespace kavrel::simulation
