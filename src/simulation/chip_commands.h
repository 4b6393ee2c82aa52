#pragma once

namespace kavrel {
class Workspace;
}

// The chip's own memories, from the "Exécution" menu: the EEPROM and CONFIG.
namespace kavrel::simulation {

// "Programmer l'EEPROM...": the EEPROM records of an S19 programmed into the
// chip with its sequence.
void ProgramEeprom(Workspace& workspace);
// "Configurer le circuit (CONFIG)...": CONFIG's bits by name, programmed and
// verified; a change that would lock the chip asks first.
void ConfigureChip(Workspace& workspace);

} // namespace kavrel::simulation
