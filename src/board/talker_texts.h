#pragma once

// French texts of the talker: the debugger's line to the board and its
// faults. %1, %2... are filled by fillText(); addresses and bytes come as $xxxx
// and $xx.
namespace kavrel::board {

// %1 the crystal in MHz, %2 the speed.
inline constexpr const char* kTalkerSpeedImpossible =
    "Avec un quartz de %1 MHz, la liaison série du 68HC11 ne peut pas aller à %2 bauds : "
    "choisissez une autre vitesse pour le débogage.";
// %1 the speed, %2 the crystal in MHz.
inline constexpr const char* kTalkerNoAnswer =
    "Le programme de dialogue est chargé, mais il ne répond pas à %1 bauds : vérifiez le "
    "quartz de la carte (%2 MHz) et la vitesse choisie, appuyez sur RESET, puis recommencez.";
// %1 and %2: the talker's RAM.
inline constexpr const char* kTalkerStoppedAnswering =
    "La carte ne répond plus : le programme a peut-être écrasé le programme de dialogue "
    "(RAM de %1 à %2) ou pris la liaison série. Appuyez sur RESET, puis reconnectez-vous.";
inline constexpr const char* kTalkerBadReply =
    "La carte a répondu par des octets faussés (contrôle incorrect) : rien de ce qu'elle a "
    "dit n'a été retenu. Vérifiez le câble et la vitesse, puis recommencez.";
inline constexpr const char* kTalkerNotTalker =
    "Ce qui répond sur la liaison n'est pas le programme de dialogue de Kavrel : appuyez "
    "sur RESET de la carte (en mode bootstrap), puis recommencez.";
// %1 the port.
inline constexpr const char* kTalkerPortVanished =
    "Le port %1 a disparu pendant le débogage : l'adaptateur a sans doute été débranché. "
    "Rebranchez-le, appuyez sur RESET, puis reconnectez-vous.";
inline constexpr const char* kTalkerCancelled = "Opération annulée.";
inline constexpr const char* kTalkerLost =
    "La liaison avec le programme de dialogue est rompue : appuyez sur RESET de la carte, "
    "puis reconnectez-vous.";
inline constexpr const char* kTalkerNotConnected =
    "La carte n'est pas connectée : le programme de dialogue n'a pas été chargé.";
// %1 the port, %2 the load's own message.
inline constexpr const char* kTalkerLoadFailed =
    "Le programme de dialogue n'a pas pu être chargé dans la carte par %1. %2";

inline constexpr const char* kTalkerRunning =
    "Le programme tourne sur la carte : arrêtez-le d'abord.";
inline constexpr const char* kTalkerNotRunning = "Le programme n'est pas lancé sur la carte.";
// %1 and %2: the talker's RAM.
inline constexpr const char* kTalkerOwnRam =
    "Les adresses %1 à %2 sont la RAM du programme de dialogue de Kavrel : on ne peut ni les "
    "lire ni les modifier pendant le débogage.";
// %1 the address.
inline constexpr const char* kTalkerSwiSlot =
    "L'adresse %1 est le pseudo-vecteur du SWI, dont le débogueur a besoin pour ses points "
    "d'arrêt : elle n'est pas modifiée.";
inline constexpr const char* kTalkerLineRegister =
    "Le registre en %1 règle la liaison avec le débogueur ou la carte de la mémoire : "
    "l'écrire couperait la liaison. Il n'est pas modifié.";
inline constexpr const char* kTalkerNoMemory =
    "Rien ne peut être écrit en %1 : il n'y a là que de la ROM, ou aucune mémoire.";
// %1 the address, %2 read, %3 written.
inline constexpr const char* kTalkerVerifyFailed =
    "L'octet écrit en %1 se relit %2 au lieu de %3 : la RAM de la carte est peut-être "
    "défectueuse.";
inline constexpr const char* kTalkerEepromVerify =
    "L'octet de l'EEPROM en %1 se relit %2 au lieu de %3 après sa programmation : l'EEPROM "
    "est peut-être protégée (BPROT, CONFIG) ou usée.";
// %1 and %2: the range asked.
inline constexpr const char* kTalkerNotEeprom =
    "Les adresses %1 à %2 ne sont pas toutes dans l'EEPROM ($B600 à $B7FF) : rien n'a été "
    "programmé.";
// %1 the stack pointer.
inline constexpr const char* kTalkerStackOutside =
    "La pile (SP = %1) doit être en RAM, hors du programme de dialogue : les registres n'ont "
    "pas été changés.";

// Breakpoints and stepping; %1 the address.
inline constexpr const char* kTalkerBreakpointRom =
    "Pas de point d'arrêt possible en %1 : il n'y a là que de la ROM, ou aucune mémoire.";
inline constexpr const char* kTalkerBreakpointOwn =
    "Pas de point d'arrêt possible en %1 : c'est la RAM du programme de dialogue.";
// %2 the byte.
inline constexpr const char* kTalkerStepIllegal =
    "En %1, l'octet %2 n'est pas une instruction du 68HC11 : pas à pas impossible.";
inline constexpr const char* kTalkerStepHalts =
    "L'instruction TEST en %1 ne rend jamais la main : pas à pas impossible.";
inline constexpr const char* kTalkerInterruptRefused =
    "Le programme ne s'est pas arrêté : il a masqué les interruptions (bit I du CCR), pris la "
    "liaison série ou son pseudo-vecteur ($00C4), ou écrasé le programme de dialogue. Il "
    "continue de tourner ; appuyez sur RESET de la carte pour l'arrêter.";
inline constexpr const char* kTalkerStepNoReturn =
    "L'instruction en %1 n'a pas rendu la main, et le programme ne s'est pas arrêté sur "
    "demande (WAI ou STOP sans interruption, interruptions masquées ?). Il continue de "
    "tourner ; appuyez sur RESET de la carte pour l'arrêter.";

} // namespace kavrel::board
