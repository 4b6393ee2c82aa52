#pragma once

// The memory and ports panes.
namespace kavrel::simulation::texts {

inline constexpr const char* kGoToLabel = "Aller à :";
inline constexpr const char* kGoToPlaceholder = "adresse, registre ou symbole";
inline constexpr const char* kGoTo = "Aller";
// "Adresse ou symbole inconnu : <texte>"
inline constexpr const char* kUnknownAddress = "Adresse ou symbole inconnu : %1";
inline constexpr const char* kBadByte =
    "Valeur refusée : tapez un octet en hexadécimal ($3F), en binaire (%00111111), en décimal "
    "(#63) ou un caractère entre apostrophes.";
inline constexpr const char* kEditWhileRunning = "La mémoire se modifie quand la simulation est arrêtée.";
inline constexpr const char* kWatchWrite = "Arrêter quand le programme écrit cet octet";
inline constexpr const char* kWatchRead = "Arrêter quand le programme lit cet octet";
inline constexpr const char* kWatchMenu = "Surveiller";
inline constexpr const char* kCopyRows = "Copier les lignes";
inline constexpr const char* kMemoryTab = "Mémoire";
inline constexpr const char* kChipRegistersTab = "Registres du circuit";
inline constexpr const char* kAddressColumn = "Adresse";
inline constexpr const char* kNameColumn = "Nom";
inline constexpr const char* kValueColumn = "Valeur";
inline constexpr const char* kBitsColumn = "Bits";
inline constexpr const char* kReserved = "(réservé)";
// "PORTB", "TCNT (poids fort)"
inline constexpr const char* kHighByte = " (poids fort)";
inline constexpr const char* kLowByte = " (poids faible)";
// "$1004 PORTB = $55 (85)"
inline constexpr const char* kCellDescription = "%1%2 = %3 (%4)";
inline constexpr const char* kChanged = ", modifié au dernier arrêt";

inline constexpr const char* kPortLabel = "Port %1";
inline constexpr const char* kOutputTip = "%1 : sortie, niveau %2";
inline constexpr const char* kInputTip = "%1 : entrée, niveau %2 (cliquez pour changer)";
inline constexpr const char* kAbsentTip = "%1 : broche absente sur ce circuit dans ce mode";
inline constexpr const char* kAnalogGroup = "Entrées analogiques (port E)";
// "PE3 / AN3"
inline constexpr const char* kAnalogLabel = "PE%1 / AN%1";
inline constexpr const char* kVoltsSuffix = " V";
inline constexpr const char* kInterruptsGroup = "Interruptions et réinitialisation";
inline constexpr const char* kIrq = "IRQ";
inline constexpr const char* kXirq = "XIRQ";
inline constexpr const char* kResetButton = "RESET";
inline constexpr const char* kIrqTip = "Maintenez le bouton enfoncé pour tenir la ligne IRQ au niveau bas";
inline constexpr const char* kXirqTip = "Maintenez le bouton enfoncé pour tenir la ligne XIRQ au niveau bas";
inline constexpr const char* kResetTip = "Appuie sur la broche RESET : la mémoire est conservée";
inline constexpr const char* kLineAsserted = "ligne active";
inline constexpr const char* kLineIdle = "ligne au repos";

} // namespace kavrel::simulation::texts
