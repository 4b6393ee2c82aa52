// Every text the assembler shows, in French. Written here in UTF-8; the listing
// turns them into Windows-1252 bytes, the encoding of the sources it lists.
#pragma once

namespace asmhc11::messages {

// Errors of one source line. A detail (a name, a number) follows those that end in " : ".
inline constexpr const char* unknownInstruction = "instruction inconnue : ";
inline constexpr const char* undefinedSymbol = "symbole non défini : ";
inline constexpr const char* duplicateSymbol = "symbole déjà défini : ";
inline constexpr const char* badLabel = "étiquette incorrecte : ";
inline constexpr const char* equNeedsLabel = "EQU sans étiquette";
inline constexpr const char* missingOperand = "opérande manquant";
inline constexpr const char* extraOperand = "opérande en trop : ";
inline constexpr const char* modeImpossible = "mode d'adressage impossible pour ";
inline constexpr const char* immediateImpossible = "mode immédiat impossible pour ";
inline constexpr const char* directImpossible = "mode direct impossible pour ";
inline constexpr const char* indexedImpossible = "mode indexé impossible pour ";
inline constexpr const char* badIndexRegister = "registre d'index attendu (X ou Y) : ";
inline constexpr const char* byteOutOfRange = "valeur hors limites sur 8 bits : ";
inline constexpr const char* wordOutOfRange = "valeur hors limites sur 16 bits : ";
inline constexpr const char* directOutOfRange = "adresse hors de la page directe ($00-$FF) : ";
inline constexpr const char* addressOutOfRange = "adresse hors limites ($0000-$FFFF) : ";
inline constexpr const char* offsetOutOfRange = "déplacement indexé hors limites (0 à 255) : ";
inline constexpr const char* branchOutOfRange =
    "branchement hors de portée (-128 à +127 octets) : déplacement de ";
inline constexpr const char* missingMask = "masque manquant";
inline constexpr const char* missingBranchTarget = "destination du branchement manquante";
inline constexpr const char* badNumber = "nombre incorrect : ";
inline constexpr const char* numberTooLarge = "nombre trop grand : ";
inline constexpr const char* valueTooLarge = "valeur trop grande dans l'expression";
inline constexpr const char* divisionByZero = "division par zéro";
inline constexpr const char* missingParenthesis = "parenthèse fermante manquante";
inline constexpr const char* tooDeep = "expression trop imbriquée";
inline constexpr const char* missingValue = "valeur manquante dans l'expression";
inline constexpr const char* unexpectedCharacter = "caractère inattendu dans l'expression : ";
inline constexpr const char* unterminatedString = "chaîne non terminée";
inline constexpr const char* emptyString = "chaîne vide";
inline constexpr const char* notKnownInPass1 =
    "valeur inconnue en première passe (symbole défini plus loin) : ";
inline constexpr const char* negativeCount = "quantité négative : ";
inline constexpr const char* memoryOverflow = "dépassement de la mémoire au-delà de $FFFF";
inline constexpr const char* addressInUse = "adresse déjà occupée par un autre code : ";
inline constexpr const char* bootRange = "mode BOO : code hors de la zone $0000-$01FF, adresse ";
inline constexpr const char* columnOneLabel =
    "un mot en colonne 1 est lu comme une étiquette ; ce qui suit n'est pas une instruction : ";
inline constexpr const char* ifWithoutEndif = "IF sans ENDIF";
inline constexpr const char* elseWithoutIf = "ELSE sans IF";
inline constexpr const char* endifWithoutIf = "ENDIF sans IF";
inline constexpr const char* doubleElse = "second ELSE pour le même IF";
inline constexpr const char* missingFileName = "nom de fichier manquant";
inline constexpr const char* includeNotFound = "fichier inclus introuvable : ";
inline constexpr const char* includeLoop = "inclusion en boucle : ";
inline constexpr const char* includeTooDeep = "inclusions trop imbriquées : ";
inline constexpr const char* phaseError =
    "erreur interne : taille différente entre les deux passes";
inline constexpr const char* negativeShift = "décalage négatif : ";

// Warnings: the line is assembled all the same.
inline constexpr const char* strayHash = "« # » ignoré, la valeur qui suit est lue telle quelle : ";
// Where a blank could end an operand or not (%1 the operand read, %2 the
// other reading, %3 the word or the comment that decided).
inline constexpr const char* operandBeforeComment =
    "opérande lu « %1 » et non « %2 » : « %3 » n'est ni un nombre ni un symbole du "
    "programme, la suite est un commentaire";
inline constexpr const char* operandAcrossBlanks =
    "opérande lu « %1 » et non « %2 » : l'expression continue après les blancs, « %3 » "
    "est un commentaire";

// The listing.
inline constexpr const char* listingTitle = "asmhc11 : assembleur 68HC11 - listing";
inline constexpr const char* listingErrorPrefix = "***** Erreur : ";
inline constexpr const char* listingWarningPrefix = "***** Avertissement : ";
inline constexpr const char* listingCycleTotal = "Nombre total de cycles : ";
inline constexpr const char* listingCrossReference = "Références croisées :";
inline constexpr const char* listingDefinedAt = "définie ";
inline constexpr const char* listingUsedAt = "utilisée ";
inline constexpr const char* listingNeverUsed = "jamais utilisée";
inline constexpr const char* listingErrorCount = "Nombre d'erreurs : ";
inline constexpr const char* listingByteCount = "Nombre d'octets : ";
inline constexpr const char* listingStart = "Adresse de départ : ";
inline constexpr const char* listingSymbols = "Table des symboles :";
inline constexpr const char* listingNoSymbol = "(aucun symbole)";
inline constexpr const char* listingUndefined = "non défini";

// The command line.
inline constexpr const char* usage =
    "asmhc11 : assembleur croisé pour le microcontrôleur 68HC11\n"
    "\n"
    "Utilisation :\n"
    "  asmhc11 <source>       assemble <source> et écrit <base>.S19 et <base>.LST\n"
    "  asmhc11 <chemin>;b     assemble <chemin>.asc et écrit <chemin>.BOO,\n"
    "                         <chemin>.LST et <chemin>.S19 (image de téléchargement)\n"
    "  asmhc11 --help         affiche ce texte\n"
    "\n"
    "<base> est le chemin du source sans son extension. Le listing .LST est\n"
    "toujours écrit, avec les erreurs sous les lignes fautives ; les fichiers\n"
    "S19 et BOO ne sont écrits que si l'assemblage est sans erreur.\n"
    "\n"
    "Code de sortie : 0 sans erreur, 1 erreurs d'assemblage,\n"
    "2 mauvaise utilisation ou fichier illisible ou impossible à écrire.\n"
    "Aide complète : asmhc11.hlp, à côté du programme.\n";
inline constexpr const char* cliPrefix = "asmhc11 : ";
inline constexpr const char* cannotRead = "impossible de lire le fichier source : ";
inline constexpr const char* cannotWrite = "impossible d'écrire le fichier : ";
inline constexpr const char* sourceIsOutput =
    "le source porte l'extension d'un fichier produit (.S19, .LST, .BOO) : ";
inline constexpr const char* errorWord = "erreur";
inline constexpr const char* byteWord = "octet";
inline constexpr const char* filesWritten = "fichiers écrits : ";
inline constexpr const char* noFileWritten = "aucun fichier écrit";

} // namespace asmhc11::messages
