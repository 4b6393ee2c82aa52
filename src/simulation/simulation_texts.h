#pragma once

// French texts of the simulator window and of the "Exécution" menu.
namespace kavrel::simulation::texts {

// "Simulation : <chemin du source>"
inline constexpr const char* kWindowTitleStart = "Simulation : ";

// Commands, in the window's toolbar and in the menu.
inline constexpr const char* kReset = "Réinitialiser";
inline constexpr const char* kStep = "Pas à pas";
inline constexpr const char* kStepOver = "Pas par-dessus";
inline constexpr const char* kStepOut = "Sortir de la routine";
inline constexpr const char* kRun = "Exécuter";
inline constexpr const char* kRunToCursor = "Exécuter jusqu'au curseur";
inline constexpr const char* kStop = "Arrêter";
inline constexpr const char* kRealTime = "Temps réel";
inline constexpr const char* kToggleBreakpoint = "Point d'arrêt";
inline constexpr const char* kToolbarName = "Commandes de la simulation";
inline constexpr const char* kMachineToolbarName = "Circuit, mode et carte de la simulation";

// The machine chosen in the window.
inline constexpr const char* kChipLabel = "Circuit :";
inline constexpr const char* kModeLabel = "Mode :";
inline constexpr const char* kBoardLabel = "Carte :";
inline constexpr const char* kModeSingleChip = "Monopuce";
inline constexpr const char* kModeExpanded = "Étendu";
inline constexpr const char* kModeBootstrap = "Amorçage";
inline constexpr const char* kBoardPlain = "Circuit seul";
inline constexpr const char* kBoardEvaluation = "Carte d'évaluation";
// A board file that does not read: "La carte <fichier> n'a pas été chargée :
// ligne 12 : ...", the window stays on the board it had.
inline constexpr const char* kBoardErrorTitle = "Carte";
inline constexpr const char* kBoardError = "La carte %1 n'a pas été chargée :";
inline constexpr const char* kBoardKept = "La fenêtre garde la carte « %1 ».";

// Panes.
inline constexpr const char* kSourcePane = "Source";
inline constexpr const char* kRegistersPane = "Registres";
inline constexpr const char* kTerminalPane = "Terminal";
inline constexpr const char* kSourceFileLabel = "Fichier :";
inline constexpr const char* kDisassemblyName = "Désassemblage";
inline constexpr const char* kCyclesLabel = "Cycles";
inline constexpr const char* kTimeLabel = "Temps";
inline constexpr const char* kFlagsLabel = "Indicateurs";

// The state line at the bottom of the window.
inline constexpr const char* kStateStopped = "Arrêté.";
inline constexpr const char* kStateRunning = "En cours d'exécution...";
inline constexpr const char* kStateRunningRealTime = "En cours d'exécution (temps réel)...";
inline constexpr const char* kStoppedAtBreakpoint = "Arrêté sur un point d'arrêt.";
inline constexpr const char* kStoppedByUser = "Arrêté à la demande.";
inline constexpr const char* kStoppedStep = "Pas exécuté.";
inline constexpr const char* kStoppedCursor = "Arrêté au curseur.";
inline constexpr const char* kStoppedReturned = "Sorti de la routine.";
inline constexpr const char* kStoppedOnStop = "Le programme a exécuté STOP.";
inline constexpr const char* kStoppedWatchpoint =
    "Arrêté : le programme a accédé à l'adresse surveillée $%1.";
inline constexpr const char* kResetDone = "Réinitialisé : le programme est prêt à démarrer.";
inline constexpr const char* kReloaded = "Nouvelle version du programme chargée.";
// A runaway program.
inline constexpr const char* kIllegalOpcode =
    "Arrêté : code d'instruction illégal à l'adresse $%1 : le programme s'est égaré.";
inline constexpr const char* kCopReset =
    "Arrêté : le chien de garde (COP) a réinitialisé le circuit : le programme ne le sert plus.";
inline constexpr const char* kLoadFailed = "Le programme ne se charge pas sur ce circuit : ";
inline constexpr const char* kNoLineAtCursor =
    "Aucune instruction n'est assemblée sur la ligne du curseur.";

// The assembly for the simulator, in the report panel.
inline constexpr const char* kAssemblerName = "asmhc11 ";
inline constexpr const char* kSummaryStart = "asmhc11 : ";
inline constexpr const char* kOneError = " erreur";
inline constexpr const char* kErrors = " erreurs";
inline constexpr const char* kOneByte = " octet";
inline constexpr const char* kBytes = " octets";
inline constexpr const char* kSimulatedNoFile = ", pour la simulation (aucun fichier écrit)";

// The offer made after an assembly when a window simulates that source.
inline constexpr const char* kReloadTitle = "Simulation";
inline constexpr const char* kReloadQuestion =
    "Le programme a été assemblé de nouveau. Charger la nouvelle version dans la fenêtre de "
    "simulation ?";

} // namespace kavrel::simulation::texts

// The board and timing panes.
namespace kavrel::simulation::texts {

inline constexpr const char* kBoardTab = "Carte";
inline constexpr const char* kPortsTab = "Ports";
inline constexpr const char* kTimingTab = "Chronogramme";
inline constexpr const char* kBoardPane = "Carte";
inline constexpr const char* kNoParts =
    "Cette carte n'a aucun composant : les broches du circuit sont dans l'onglet « Ports ».";
inline constexpr const char* kLostWrite =
    "L'afficheur LCD a ignoré une écriture : le programme a écrit avant que l'afficheur ait "
    "fini (drapeau « occupé »).";
// "Touche 5 (Clavier)"
inline constexpr const char* kKeyName = "Touche %1 (%2)";
inline constexpr const char* kLedLit = "allumée";
inline constexpr const char* kLedOff = "éteinte";
// "allumée à 50 %"
inline constexpr const char* kLedShare = "allumée à %1 %";
// "Buzzer : 440 Hz", "Buzzer : muet"
inline constexpr const char* kBuzzerTone = "%1 : %2 Hz";
inline constexpr const char* kBuzzerSilent = "%1 : muet";
inline constexpr const char* kLcdOff = "(afficheur éteint)";

inline constexpr const char* kZoomIn = "Zoom avant";
inline constexpr const char* kZoomOut = "Zoom arrière";
inline constexpr const char* kZoomAll = "Tout voir";
inline constexpr const char* kTimingEmpty =
    "Cette carte n'enregistre aucun signal : sa section [chronogramme] en donne la liste.";
inline constexpr const char* kTimingHelp =
    "Cliquez pour placer le curseur, Maj+clic pour le second ; Ctrl+molette pour zoomer.";
// "Curseur : 1,250 ms"
inline constexpr const char* kCursorAt = "Curseur : %1";
// "PA5 : Période : 1,000 ms  Fréquence : 1000 Hz  Rapport cyclique : 50 %"
inline constexpr const char* kMeasure =
    "%1 : Période : %2  Fréquence : %3 Hz  Rapport cyclique : %4 %";
inline constexpr const char* kNoPeriod = "%1 : pas de période mesurable autour du curseur";
// "Écart entre les curseurs : 500,0 µs"
inline constexpr const char* kBetweenCursors = "Écart entre les curseurs : %1";
inline constexpr const char* kTimingView = "Signaux enregistrés";

} // namespace kavrel::simulation::texts

// The memory and ports panes.
namespace kavrel::simulation::texts {

inline constexpr const char* kGoToLabel = "Aller à :";
inline constexpr const char* kGoToPlaceholder = "adresse, registre ou symbole";
inline constexpr const char* kGoTo = "Aller";
// "Adresse ou symbole inconnu : <texte>"
inline constexpr const char* kUnknownAddress = "Adresse ou symbole inconnu : %1";
inline constexpr const char* kEditWhileRunning =
    "La mémoire se modifie quand la simulation est arrêtée.";
// "... à l'adresse $4000 ..."
inline constexpr const char* kEditRefused =
    "Modification refusée : aucune mémoire ne se trouve à l'adresse %1 sur ce circuit dans ce "
    "mode.";
inline constexpr const char* kWatchWrite = "Arrêter quand le programme écrit cet octet";
inline constexpr const char* kWatchRead = "Arrêter quand le programme lit cet octet";
inline constexpr const char* kWatchMenu = "Surveiller";
inline constexpr const char* kUnwatch = "Ne plus surveiller cet octet";
inline constexpr const char* kUnwatchAll = "Ne plus surveiller aucun octet";
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
// A byte the board was never asked for (a register a read would change).
inline constexpr const char* kCellNotRead = "%1%2 : non lu sur la carte";
inline constexpr const char* kByteNotRead = "--";
// What a watched byte stops the program on.
inline constexpr const char* kWatchedWrite = ", surveillé en écriture";
inline constexpr const char* kWatchedRead = ", surveillé en lecture";
inline constexpr const char* kWatchedBoth = ", surveillé en lecture et en écriture";

inline constexpr const char* kPortLabel = "Port %1";
inline constexpr const char* kOutputTip = "%1 : sortie, niveau %2";
inline constexpr const char* kInputTip = "%1 : entrée, niveau %2 (cliquez pour changer)";
inline constexpr const char* kAbsentTip = "%1 : broche absente sur ce circuit dans ce mode";
inline constexpr const char* kAnalogGroup = "Entrées analogiques (port E)";
// "PE3 / AN3"
inline constexpr const char* kAnalogLabel = "PE%1 / AN%1";
// Each slider's accessible name.
inline constexpr const char* kAnalogInput = "Entrée analogique PE%1";
inline constexpr const char* kAnalogVolts = "Tension de l'entrée PE%1";
inline constexpr const char* kVoltsSuffix = " V";
inline constexpr const char* kInterruptsGroup = "Interruptions et réinitialisation";
inline constexpr const char* kIrq = "IRQ";
inline constexpr const char* kXirq = "XIRQ";
inline constexpr const char* kResetButton = "RESET";
inline constexpr const char* kIrqTip =
    "Maintenez le bouton enfoncé pour tenir la ligne IRQ au niveau bas";
inline constexpr const char* kXirqTip =
    "Maintenez le bouton enfoncé pour tenir la ligne XIRQ au niveau bas";
inline constexpr const char* kResetTip = "Appuie sur la broche RESET : la mémoire est conservée";
inline constexpr const char* kLineAsserted = "ligne active";
inline constexpr const char* kLineIdle = "ligne au repos";

} // namespace kavrel::simulation::texts

// The chip's EEPROM and CONFIG, written from the window (memory pane,
// "Programmer l'EEPROM...", "Configurer le circuit (CONFIG)...").
namespace kavrel::simulation::texts {

// "2 octets programmés dans l'EEPROM à partir de $B600 et relus."
inline constexpr const char* kEepromProgrammed =
    "%1 octet(s) programmé(s) dans l'EEPROM à partir de %2 et relu(s).";
inline constexpr const char* kEepromOff =
    "L'EEPROM n'est pas dans la carte mémoire du circuit (bit EEON de CONFIG à 0).";
inline constexpr const char* kNotEeprom = "L'adresse %1 n'est pas dans l'EEPROM ($B600-$B7FF).";
inline constexpr const char* kEepromProtected =
    "L'EEPROM est protégée à l'adresse %1 (registre BPROT) : le circuit n'en lève la protection "
    "que dans les 64 cycles qui suivent une réinitialisation, ou en mode amorçage.";
inline constexpr const char* kEepromInterrupted =
    "La programmation de l'EEPROM a été interrompue à l'adresse %1.";
// "... à l'adresse $B600 : $55 voulu / $FF relu."
inline constexpr const char* kEepromVerifyFailed =
    "La vérification de l'EEPROM a échoué à l'adresse %1 (voulu / relu : %2).";
inline constexpr const char* kConfigProtected =
    "CONFIG est protégé (bit PTCON de BPROT) : le circuit n'en lève la protection que dans les "
    "64 cycles qui suivent une réinitialisation, ou en mode amorçage.";
inline constexpr const char* kConfigVerifyFailed =
    "CONFIG n'a pas pris la valeur %1 : sa cellule relue vaut %2.";
inline constexpr const char* kConfigInterrupted = "La programmation de CONFIG a été interrompue.";
inline constexpr const char* kConfigProgrammed =
    "CONFIG programmé à %1 : la modification prend effet à la prochaine réinitialisation.";
inline constexpr const char* kConfigBulkErased =
    " Sur ce circuit, l'effacement de CONFIG efface toute l'EEPROM : ses octets ont été "
    "reprogrammés et relus.";
inline constexpr const char* kChipBusyRunning =
    "Arrêtez le programme avant de programmer l'EEPROM ou CONFIG.";

} // namespace kavrel::simulation::texts

// The window on a board, through the talker ("Déboguer sur la carte...").
namespace kavrel::simulation::texts {

// "Carte : <chemin du source> (<port>)"
inline constexpr const char* kBoardTitleStart = "Carte : ";
inline constexpr const char* kTargetSimulator = "Cible : le simulateur";
// "Cible : la carte (68HC11 de la famille E, quartz 8 MHz, sur /dev/ttyUSB0)"
inline constexpr const char* kTargetBoard = "Cible : la carte (%1)";
// "68HC11 de la famille E, quartz 8 MHz, sur /dev/ttyUSB0"
inline constexpr const char* kBoardDescription = "68HC11 de la famille %1, quartz %2 MHz, sur %3";
inline constexpr const char* kBoardTerminalReadOnly =
    "Sur la carte, le terminal montre ce que le programme envoie ; la saisie est "
    "coupée : tout octet reçu arrêterait le programme ou irait au talker.";
inline constexpr const char* kBoardDifferences =
    "Sur la carte, le programme tourne sur le circuit lui-même : aucun compte de cycles, pas de "
    "temps réel simulé, pas de point d'arrêt en ROM ; les broches des ports sont relues sur le "
    "circuit et ne se changent pas ici ; la carte de laboratoire et le chronogramme n'existent "
    "que dans le simulateur.";
inline constexpr const char* kNoWatchOnBoard =
    "Sur la carte, un octet surveillé n'arrête pas le programme : seuls les points d'arrêt "
    "l'arrêtent.";
inline constexpr const char* kNoCycleCount = "sans objet sur la carte";
inline constexpr const char* kNoSimulatedTime = "sans objet sur la carte";
inline constexpr const char* kStoppedOnSwi = "Arrêté : le programme a exécuté une instruction SWI.";
inline constexpr const char* kBoardReset =
    "Programme rechargé dans la carte : il est prêt à démarrer à son adresse d'entrée.";
inline constexpr const char* kBoardLoaded =
    "Programme chargé dans la carte : il est prêt à démarrer.";
inline constexpr const char* kStopImpossible =
    "Arrêt impossible : %1 Le programme continue ; seule une réinitialisation de la carte "
    "l'arrête.";
// The load of the talker and the program.
inline constexpr const char* kInTalkerRam =
    "Le programme occupe l'adresse %1, dans la RAM que le talker garde pour lui (%2-%3) : "
    "déplacez le programme ou ses variables ailleurs en RAM.";
inline constexpr const char* kConfigInProgram =
    "Le programme écrit CONFIG ($103F) : utilisez « Configurer le circuit (CONFIG)... » pour le "
    "programmer.";
inline constexpr const char* kVectorsSkipped =
    " Les vecteurs d'interruption du programme ($FFC0-$FFFF) ne sont pas chargés : en mode "
    "amorçage, le circuit prend ceux de sa ROM d'amorçage.";

// The dialog of "Déboguer sur la carte...".
inline constexpr const char* kBoardDialogTitle = "Déboguer sur la carte";
inline constexpr const char* kBoardSourceLabel = "Programme :";
inline constexpr const char* kBoardPortLabel = "Port :";
inline constexpr const char* kBoardFamilyLabel = "Circuit :";
inline constexpr const char* kBoardFamilyA = "Famille A (68HC11A0, A1, A8 : 256 octets de RAM)";
inline constexpr const char* kBoardFamilyE = "Famille E (68HC11E1, E9 : 512 octets de RAM)";
inline constexpr const char* kBoardCrystalLabel = "Quartz (MHz) :";
inline constexpr const char* kBoardConnect = "Connecter";
inline constexpr const char* kBoardCancel = "Annuler";
inline constexpr const char* kBoardChoosePort = "Choisissez le port de la carte.";
inline constexpr const char* kBoardBadCrystal =
    "Quartz invalide : donnez sa fréquence en MHz, entre 1 et 20 (par exemple 8).";
inline constexpr const char* kBoardLoadingTalker =
    "Chargement du talker par le mode amorçage sur %1...";
inline constexpr const char* kBoardLoadingProgram = "Chargement du programme dans la carte...";
inline constexpr const char* kBoardCancelling = "Annulation...";
inline constexpr const char* kBoardCancelled = "Chargement annulé : la carte n'est pas prête.";
inline constexpr const char* kBoardProgressFormat = "%v / %m octets";

} // namespace kavrel::simulation::texts
