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

// The load through the monitor ("Charger par le moniteur (S19)...").
inline constexpr const char* kOpReadS19 = "Lecture du fichier S19";
// %1 the line, %2 what is wrong with it.
inline constexpr const char* kS19BadLine = "Ligne %1 du fichier S19 : %2";
inline constexpr const char* kS19NotRecord = "ce n'est pas un enregistrement S (il devrait commencer par S).";
inline constexpr const char* kS19NotHex = "un caractère n'est pas un chiffre hexadécimal.";
inline constexpr const char* kS19BadCount = "le nombre d'octets annoncé ne correspond pas à la ligne.";
inline constexpr const char* kS19BadChecksum = "la somme de contrôle est fausse : le fichier est abîmé.";
inline constexpr const char* kS19LongAddress =
    "enregistrement %1 : les adresses du 68HC11 tiennent sur 16 bits (S1 et S9 seulement).";
inline constexpr const char* kS19Wraps = "les données dépassent l'adresse $FFFF.";
inline constexpr const char* kS19Empty = "Ce fichier S19 ne contient aucun octet de programme.";
// %1 the record's line, %2 the address (as $xxxx), %3 the board.
inline constexpr const char* kMonitorRomAhead =
    "La ligne %1 du fichier S19 écrit en %2, dans la ROM du circuit (%3) : le moniteur ne "
    "peut pas l'y écrire. Placez le programme en RAM ou en EEPROM (ORG). Rien n'a été envoyé.";
// %3 the monitor's RAM ($002D-$00FF), %4 where a program may start.
inline constexpr const char* kMonitorOwnRamAhead =
    "La ligne %1 du fichier S19 écrit en %2, dans la RAM que le moniteur garde pour lui "
    "(%3) : le chargement l'écraserait sous ses pieds. Placez le programme à partir de %4 "
    "(ORG). Rien n'a été envoyé.";
inline constexpr const char* kMonitorNothingAhead =
    "La ligne %1 du fichier S19 écrit en %2, où la carte (%3) n'a pas de mémoire. Rien n'a "
    "été envoyé.";
// %1 the port, %2 the speed.
inline constexpr const char* kMonitorNoPrompt =
    "Aucun moniteur ne répond sur %1 à %2 bauds (pas d'invite « > ») : vérifiez que la carte "
    "est alimentée, reliée et démarrée sur son moniteur (mode normal, pas bootstrap), et que "
    "la vitesse est la sienne ; appuyez sur RESET, puis recommencez.";
// %1 the command.
inline constexpr const char* kMonitorNoEcho =
    "Le moniteur n'a pas repris la commande « %1 » : la liaison est peut-être brouillée "
    "(vitesse ?). Appuyez sur RESET, puis recommencez.";
// %1 the command, %2 what the monitor answered.
inline constexpr const char* kMonitorCommandRefused =
    "Le moniteur a refusé la commande « %1 » : il a répondu « %2 ». Vérifiez la commande de "
    "chargement (LOAD T pour BUFFALO).";
// %1 the address (as $xxxx).
inline constexpr const char* kMonitorRomRefused =
    "Le moniteur n'a pas pu écrire en %1 : c'est de la ROM. Le chargement est incomplet ; "
    "placez le programme en RAM ou en EEPROM (ORG), puis recommencez.";
inline constexpr const char* kMonitorRomRefusedSomewhere =
    "Le moniteur a trouvé de la ROM à une adresse du programme (« rom- ») : le chargement est "
    "incomplet. Placez le programme en RAM ou en EEPROM (ORG), puis recommencez.";
inline constexpr const char* kMonitorNoMemory =
    "Le moniteur n'a pas pu écrire en %1 : la carte n'a pas de mémoire à cette adresse (ou "
    "c'est de la ROM). Le chargement est incomplet ; placez le programme en RAM (ORG), puis "
    "recommencez.";
inline constexpr const char* kMonitorEepromRefused =
    "Le moniteur n'a pas pu programmer l'EEPROM en %1 : elle est peut-être protégée (BPROT, "
    "CONFIG) ou le quartz n'est pas celui indiqué. Le chargement est incomplet.";
inline constexpr const char* kMonitorChecksum =
    "Le moniteur a trouvé une somme de contrôle fausse : un enregistrement est arrivé abîmé "
    "(câble, vitesse, parasites). Le programme chargé est incomplet ; recommencez.";
inline constexpr const char* kMonitorReceiveError =
    "Le moniteur signale une erreur de réception (« rcvr error ») : des caractères sont "
    "arrivés abîmés. Vérifiez la vitesse et le câble, puis recommencez.";
// %1 what the monitor answered.
inline constexpr const char* kMonitorOwnError =
    "Le moniteur n'a pas confirmé le chargement ; il a répondu « %1 ». Le programme est "
    "peut-être incomplet : recommencez.";
// %1 records sent, %2 records in all.
inline constexpr const char* kMonitorNoEnd =
    "Le moniteur n'a rien répondu après le dernier enregistrement (%1 sur %2 envoyés) : il "
    "attend peut-être encore des caractères perdus en route. Appuyez sur RESET, puis "
    "recommencez.";
inline constexpr const char* kMonitorCancelled =
    "Chargement annulé après %1 enregistrements sur %2 : le programme est incomplet, ne le "
    "lancez pas.";
// %1 the records, %2 the bytes, %3 the EEPROM's bytes among them.
inline constexpr const char* kMonitorLoaded =
    "Programme chargé par le moniteur : %1 enregistrements, %2 (« done »).";
inline constexpr const char* kMonitorLoadedEeprom =
    "Programme chargé par le moniteur : %1 enregistrements, %2 dont %3 en EEPROM (« done »).";
// The start with G; %1 the command.
inline constexpr const char* kMonitorStarted = "Programme lancé (%1).";
inline constexpr const char* kMonitorNotStarted =
    "Le moniteur n'a pas repris la commande « %1 » : le programme n'est sans doute pas lancé.";
// The dialog; %1 the port, %2 the speed.
inline constexpr const char* kMonitorDialogTitle = "Charger par le moniteur";
inline constexpr const char* kMonitorBoardLabel = "Circuit de la carte :";
inline constexpr const char* kMonitorCrystalLabel = "Quartz (MHz) :";
inline constexpr const char* kMonitorCommandLabel = "Commande du moniteur :";
inline constexpr const char* kMonitorProgressFormat = "%v / %m enregistrements";
inline constexpr const char* kMonitorBadCrystal =
    "Le quartz doit être un nombre de MHz, de 0,1 à 16 (8 ou 9,8304 par exemple).";
inline constexpr const char* kMonitorBadCommand = "Tapez la commande de chargement du moniteur.";
// %1 the file, %2 the system's reason.
inline constexpr const char* kMonitorCannotRead = "Le fichier %1 ne peut pas être lu : %2";
inline constexpr const char* kMonitorSending =
    "Chargement par le moniteur sur %1 à %2 bauds...";
// The question once loaded; %1 the command G, %2 the port.
inline constexpr const char* kMonitorStartTitle = "Lancer le programme";
inline constexpr const char* kMonitorStartQuestion =
    "Le programme est chargé. Le lancer maintenant (%1) et ouvrir le terminal sur %2 ?";

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
// The terminal's port field: short, the whole hint (kPortPlaceholder) in its tooltip.
inline constexpr const char* kTerminalPortPlaceholder = "nom ou chemin du port";
// %1 the port: closed a moment ago on an adapter that stopped taking bytes.
inline constexpr const char* kTerminalStillClosing =
    "Le port %1 n'est pas encore libéré : l'adaptateur ne prend plus rien. "
    "Attendez un instant, puis cliquez sur Ouvrir.";

// CONFIG and the EEPROM ("Programmer l'EEPROM...", "Configurer le circuit (CONFIG)...").
// The bits of CONFIG; %1 and %2 the first and last address.
inline constexpr const char* kBitNosec =
    "Sécurité désactivée. À 0, un circuit fabriqué avec l'option de sécurité ne démarre plus "
    "qu'en mode monopuce, et son mode bootstrap efface l'EEPROM, la RAM et CONFIG avant de "
    "charger quoi que ce soit.";
inline constexpr const char* kBitNocop =
    "Chien de garde (COP) arrêté. À 0, le COP réinitialise le circuit chaque fois que le "
    "programme oublie de le servir à temps.";
inline constexpr const char* kBitRomon =
    "ROM interne présente de %1 à %2. À 0, ces adresses ne répondent plus (mémoire externe en "
    "mode étendu).";
inline constexpr const char* kBitEeon =
    "EEPROM présente de %1 à %2. À 0, l'EEPROM disparaît de la carte mémoire.";
// %1 the bit's weight (8, 4, 2, 1).
inline constexpr const char* kBitEe =
    "Emplacement de l'EEPROM, chiffre de poids %1 : EE3 à EE0 donnent x, et les 2 Ko "
    "d'EEPROM vont de $x800 à $xFFF (de $F800 à $FFFF quand les quatre sont à 1).";

// What a change of CONFIG would do. %1 a list of addresses.
inline constexpr const char* kRiskSecurity =
    "NOSEC passe à 0 : sur un circuit fabriqué avec l'option de sécurité, le mode étendu "
    "devient impossible, et chaque démarrage en mode bootstrap effacera l'EEPROM et la RAM "
    "avant que Kavrel puisse charger quoi que ce soit.";
inline constexpr const char* kRiskEepromOff =
    "Le programme a des octets en EEPROM (%1) : avec EEON à 0, l'EEPROM disparaît de la carte "
    "mémoire et le programme ne les trouvera plus.";
// %2 and %3 the EEPROM's first address now and after the change.
inline constexpr const char* kRiskEepromMoved =
    "Le programme a des octets en EEPROM (%1) : l'EEPROM passera de %2 à %3, et le programme "
    "ne les trouvera plus.";
inline constexpr const char* kRiskRomOff =
    "Le programme utilise la ROM (%1) : avec ROMON à 0, elle disparaît de la carte mémoire.";
inline constexpr const char* kRiskRomOn =
    "Le programme a des octets là où la ROM apparaîtra avec ROMON à 1 (%1) : la ROM les "
    "cachera.";
// %1 the part, %2 the EEPROM's size, %3 and %4 its first and last address.
inline constexpr const char* kEraseEeprom =
    "Pour remettre un bit à 1, CONFIG doit être effacé : sur un %1, cet effacement est celui "
    "de toute l'EEPROM (%2, de %3 à %4), dont le contenu sera perdu.";
inline constexpr const char* kEraseByte =
    "Pour remettre un bit à 1, CONFIG sera d'abord effacé, puis programmé.";
// %1 the new value.
inline constexpr const char* kConfirmConfig = "Programmer quand même CONFIG à %1 ?";
// A range of addresses: %1 the first, %2 the last, %3 the count of bytes.
inline constexpr const char* kRange = "de %1 à %2, %3";
inline constexpr const char* kListSeparator = " ; ";

// The EEPROM records of an S19. %1 the EEPROM's range, %2 the list of addresses.
inline constexpr const char* kOutsideEeprom =
    "Ces octets du fichier ne sont pas dans l'EEPROM (%1) et ne seront pas programmés : %2.";
inline constexpr const char* kConflictingBytes =
    "Le fichier donne deux valeurs différentes aux mêmes adresses (%2) : la dernière sera "
    "programmée.";
inline constexpr const char* kNoEepromBytes =
    "Ce fichier n'a aucun octet pour l'EEPROM (%1) : rien à programmer.";

// The dialog "Configurer le circuit (CONFIG)...".
inline constexpr const char* kConfigTitle = "Configurer le circuit (CONFIG)";
// %1 what the commands act on.
inline constexpr const char* kTargetLabel = "Cible : %1";
// %1 the port.
inline constexpr const char* kTargetBoard = "carte sur %1";
inline constexpr const char* kTargetClosed =
    "La fenêtre de la cible a été fermée : rien de ce qui était en cours n'a été confirmé.";
inline constexpr const char* kPartLabel = "Circuit :";
inline constexpr const char* kBitsTitle = "Bits de CONFIG";
// %1 the value ($0F).
inline constexpr const char* kConfigInForce = "En vigueur : %1";
inline constexpr const char* kConfigNext = "Au prochain reset : %1";
inline constexpr const char* kConfigNew = "Nouvelle valeur : %1";
inline constexpr const char* kConfigUnknown = "?";
inline constexpr const char* kProgram = "Programmer";
inline constexpr const char* kClose = "Fermer";
inline constexpr const char* kConfigReading = "Lecture de CONFIG...";
inline constexpr const char* kConfigRead =
    "Cochez les bits à mettre à 1, puis cliquez sur Programmer. Le changement prendra effet "
    "au prochain reset.";
inline constexpr const char* kConfigProgramming = "Programmation de CONFIG à %1...";
inline constexpr const char* kConfigDone =
    "CONFIG programmé à %1 et vérifié : le changement prendra effet au prochain reset.";
inline constexpr const char* kConfigUnchanged = "CONFIG vaut déjà %1 : rien à programmer.";
// %1 read back, %2 expected.
inline constexpr const char* kConfigVerifyFailed =
    "CONFIG relu vaut %1 au lieu de %2 : la programmation n'a pas pris. Vérifiez que la carte "
    "est en mode bootstrap, puis recommencez.";
inline constexpr const char* kConfigNotProgrammed = "Rien n'a été programmé.";

// The dialog "Programmer l'EEPROM...".
inline constexpr const char* kEepromTitle = "Programmer l'EEPROM";
inline constexpr const char* kChooseFile = "Choisir...";
inline constexpr const char* kOpenS19Title = "Fichier S19 à programmer dans l'EEPROM";
inline constexpr const char* kS19Filter = "Fichiers S19  (*.s19)|*.s19;*.S19|Tous les fichiers  (*.*)|*.*";
inline constexpr const char* kColumnAddress = "Adresse";
inline constexpr const char* kColumnCount = "Octets";
inline constexpr const char* kColumnData = "Données";
// %1 the bytes, %2 the EEPROM's range.
inline constexpr const char* kEepromSummary = "%1 à programmer dans l'EEPROM (%2).";
inline constexpr const char* kEepromNoFile = "Choisissez un fichier S19.";
// %1 the file, %2 why.
inline constexpr const char* kEepromBadFile = "Le fichier %1 ne se lit pas : %2";
inline constexpr const char* kEepromProgramming = "Programmation de l'EEPROM...";
inline constexpr const char* kEepromOff =
    "L'EEPROM n'est pas dans la carte mémoire : EEON vaut 0 dans CONFIG. Remettez-le à 1 par "
    "« Configurer le circuit (CONFIG)... », faites un reset, puis recommencez.";
// %1 the bytes.
inline constexpr const char* kEepromDone = "EEPROM programmée : %1 écrits et vérifiés.";
// %1 the bytes done, %2 all of them.
inline constexpr const char* kEepromCancelled =
    "Programmation annulée après %1 sur %2 : l'EEPROM n'est programmée qu'en partie.";

// Connecting to a board for these commands.
inline constexpr const char* kConnectTitle = "Se connecter à la carte";
inline constexpr const char* kConnectIntro =
    "Kavrel charge dans la carte son programme de dialogue par le mode bootstrap : mettez la "
    "carte en mode bootstrap, puis appuyez sur RESET.";
inline constexpr const char* kCrystalLabel = "Quartz (MHz) :";
inline constexpr const char* kBadCrystal =
    "Le quartz doit être un nombre de MHz, de 1 à 16 (8 sur la plupart des cartes).";
inline constexpr const char* kConnect = "Se connecter";
// %1 the port.
inline constexpr const char* kConnecting = "Chargement du programme de dialogue sur %1...";
inline constexpr const char* kConnected = "La carte répond.";

} // namespace kavrel::board
