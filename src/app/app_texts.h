#pragma once

#include <QString>

// The main window's own texts, exactly as the user sees them.
namespace kavrel::app::texts {

inline const QString kTitle =
    QStringLiteral("Kavrel : Panneau de commande pour assembleur MOTOROLA ASMHC11");

inline const QString kNoProgramTitle = QStringLiteral("Message :");
inline const QString kNoProgramText =
    QStringLiteral("Aucun programme n'est ouvert.\r\nOpération annulée...");

// Pos_XY at start-up: "Ligne :" and four blanks, "Colonne :" and one blank.
inline const QString kPosStart = QStringLiteral("Ligne :    Colonne : ");

inline const QString kNum = QStringLiteral("Num");
inline const QString kMaj = QStringLiteral("Maj");
// What a screen reader hears after "Num" or "Maj".
inline const QString kLockOn = QStringLiteral(" : verrouillage activé");
inline const QString kLockOff = QStringLiteral(" : verrouillage désactivé");
inline const QString kLockUnknown = QStringLiteral(" : état du verrouillage inconnu");

inline const QString kErrorTitle = QStringLiteral("Erreur :");

// "Exécution" > "Exemples", the submenu of the example programs.
inline constexpr const char* kExamplesMenu = "Exemples";

inline const QString kHelpKavrel = QStringLiteral("Kavrel.hlp");
inline const QString kHelpAsmhc11 = QStringLiteral("asmhc11.hlp");

} // namespace kavrel::app::texts
