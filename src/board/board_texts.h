#pragma once

// French texts of the board subsystem: the bootstrap download and its faults.
// %1, %2... are filled by fillText(); a count of bytes comes from byteCount()
// ("1 octet", "12 octets").
namespace kavrel::board {

// The operation, as the "Erreur :" box names it.
inline constexpr const char* kOpReadBoo = "Lecture du fichier .BOO";

// The .BOO file.
inline constexpr const char* kReasonNotBoo =
    "Ce fichier n'est pas une image .BOO : son premier octet devrait être $FF.";
inline constexpr const char* kReasonEmptyBoo =
    "Ce fichier .BOO ne contient aucun octet de programme.";

// %1 the program's size, %2 the family (A, E), %3 the RAM's size, %4 the excess.
inline constexpr const char* kTooBig =
    "Le programme fait %1, mais la RAM d'un 68HC11 de la famille %2 ne compte que %3 : "
    "il y a %4 de trop. Rien n'a été envoyé.";

// The port; %1 is its name as the user chose it.
inline constexpr const char* kPortNotFound =
    "Le port %1 n'existe pas : vérifiez que l'adaptateur est branché, puis choisissez "
    "le port dans la liste.";
inline constexpr const char* kPortBusy =
    "Le port %1 est déjà utilisé par un autre programme (un terminal ?) : fermez-le, "
    "puis recommencez.";
inline constexpr const char* kPortDeniedLinux =
    "Vous n'avez pas le droit d'utiliser le port %1 : ajoutez votre compte au groupe "
    "dialout (sudo adduser $USER dialout), fermez votre session et rouvrez-la, puis "
    "recommencez.";
inline constexpr const char* kPortDeniedOther =
    "L'accès au port %1 est refusé : vérifiez qu'aucun autre programme ne l'utilise, "
    "puis recommencez.";
inline constexpr const char* kPortVanished =
    "Le port %1 a disparu pendant l'envoi : l'adaptateur a sans doute été débranché. "
    "Rebranchez-le, appuyez sur RESET, puis recommencez.";
// %2 the speed in bauds.
inline constexpr const char* kPortSpeedRefused =
    "Le port %1 n'accepte pas la vitesse de %2 bauds : choisissez-en une autre.";
inline constexpr const char* kPortNoControlLines =
    "Le port %1 n'a pas de ligne DTR ni RTS à manier (un pseudo-terminal, par exemple) : "
    "décochez « Réinitialiser la carte par DTR et RTS », appuyez sur RESET de la carte, "
    "puis recommencez.";
// %2 what the system said.
inline constexpr const char* kPortFailed = "Le port %1 ne fonctionne pas : %2";

// The load.
inline constexpr const char* kNoAnswer =
    "La carte ne répond pas : vérifiez qu'elle est en mode bootstrap, alimentée et reliée "
    "à %1, puis appuyez sur RESET.";
// %1 the bytes checked, %2 the bytes of the load.
inline constexpr const char* kStoppedAnswering =
    "La carte a cessé de répondre après %1 sur %2 : appuyez sur RESET, puis recommencez.";
// %1 the byte's rank (from 1), %2 the load's size, %3 its address, %4 sent, %5 received
// (both as $xx).
inline constexpr const char* kWrongEcho =
    "L'octet n° %1 sur %2 (adresse %3) est revenu faux : envoyé %4, reçu %5. Vérifiez la "
    "vitesse et le câble, appuyez sur RESET, puis recommencez.";
// %1 the pause in milliseconds, %2 the rank of the byte it delayed.
inline constexpr const char* kPaused =
    "L'envoi s'est interrompu %1 ms avant l'octet n° %2 : la carte (famille E) a pris "
    "cette pause pour la fin du programme. Appuyez sur RESET, puis recommencez, de "
    "préférence à 1200 bauds.";
inline constexpr const char* kCancelled =
    "Envoi annulé. Appuyez sur RESET avant de recommencer.";
// %1 the bytes of the load.
inline constexpr const char* kLoaded = "Programme chargé : %1 envoyés et vérifiés.";

// Counts of bytes.
inline constexpr const char* kOneByte = "octet";
inline constexpr const char* kBytes = "octets";

// The dialog "Charger dans la carte (.BOO)...".
inline constexpr const char* kDialogTitle = "Charger dans la carte";
inline constexpr const char* kFileLabel = "Fichier :";
inline constexpr const char* kPortLabel = "Port :";
inline constexpr const char* kPortPlaceholder = "nom ou chemin du port (/dev/ttyUSB0, COM3...)";
inline constexpr const char* kFamilyLabel = "Famille du 68HC11 :";
inline constexpr const char* kFamilyA = "A (A0, A1, A8) : 256 octets exactement";
inline constexpr const char* kFamilyE = "E (E1, E9) : jusqu'à 512 octets";
inline constexpr const char* kSpeedLabel = "Vitesse (bauds) :";
inline constexpr const char* kResetByLines = "Réinitialiser la carte par DTR et RTS";
inline constexpr const char* kResetByLinesTip =
    "Pour les cartes dont la ligne DTR ou RTS du port est reliée à RESET : les deux "
    "lignes retombent un instant avant l'envoi, et le chargeur de la carte redémarre. "
    "Sinon, appuyez vous-même sur RESET.";
inline constexpr const char* kSend = "Envoyer";
inline constexpr const char* kCancel = "Annuler";
inline constexpr const char* kProgressFormat = "%v / %m octets";
inline constexpr const char* kChoosePort = "Choisissez un port dans la liste ou tapez son chemin.";
inline constexpr const char* kBadSpeed =
    "La vitesse doit être un nombre entier de bauds, de 50 à 4000000.";
// %1 the port, %2 the speed.
inline constexpr const char* kSending =
    "Envoi sur %1 à %2 bauds... Appuyez sur RESET de la carte si ce n'est déjà fait.";
inline constexpr const char* kCancelling = "Annulation...";
// The speed the loaded program talks at, for the terminal that opens after it.
inline constexpr const char* kProgramSpeedLabel = "Vitesse du programme (bauds) :";
inline constexpr const char* kSameSpeed = "celle de l'envoi";

// The menu "Exécution".
inline constexpr const char* kLoadCaption = "Charger dans la carte (.BOO)...";
inline constexpr const char* kTerminalCaption = "Terminal série";
inline constexpr const char* kMonitorLoadCaption = "Charger par le moniteur (S19)...";
inline constexpr const char* kDebugOnBoardCaption = "Déboguer sur la carte...";
inline constexpr const char* kProgramEepromCaption = "Programmer l'EEPROM...";
inline constexpr const char* kConfigureChipCaption = "Configurer le circuit (CONFIG)...";

// The serial terminal window.
inline constexpr const char* kTerminalTitle = "Terminal série";
// %1 the port.
inline constexpr const char* kTerminalTitleOn = "Terminal série : %1";
inline constexpr const char* kTerminalPortLabel = "Port :";
inline constexpr const char* kTerminalSpeedLabel = "Vitesse :";
inline constexpr const char* kTerminalFrame = "8N1";
inline constexpr const char* kTerminalFrameTip = "8 bits de données, sans parité, 1 bit d'arrêt";
inline constexpr const char* kTerminalOpen = "Ouvrir";
inline constexpr const char* kTerminalClose = "Fermer";
// %1 the port, %2 the speed.
inline constexpr const char* kTerminalOpened = "%1 ouvert à %2 bauds (8N1).";
inline constexpr const char* kTerminalLoaded =
    "Programme chargé ; %1 reste ouvert à %2 bauds pour lui parler.";
inline constexpr const char* kTerminalClosed = "Port fermé.";
inline constexpr const char* kTerminalLent =
    "Port fermé : le chargement dans la carte l'utilise.";
inline constexpr const char* kTerminalVanished =
    "Le port %1 a disparu : l'adaptateur a sans doute été débranché. Rebranchez-le, "
    "puis cliquez sur Ouvrir.";

} // namespace kavrel::board
