#pragma once

#include <QString>

// The editor subsystem's texts, exactly as the user sees them.
namespace kavrel::editor::texts {

// Pos_XY once an editor has closed: the two labels without numbers.
inline const QString kPosClosed = QStringLiteral("Ligne :  Colonne : ");

// Titles of the Open dialogs.
inline const QString kOpenProgramTitle = QStringLiteral("Charger un programme ...");
inline const QString kOpenFileTitle = QStringLiteral("Charger un fichier ...");

// The Save As title is "Enregistrer " + caption + " sous...".
inline const QString kSaveAsTitleStart = QStringLiteral("Enregistrer ");
inline const QString kSaveAsTitleEnd = QStringLiteral(" sous...");

// A file refused for its size; the limit applied is 60000 bytes all the same.
inline const QString kTooLargeTitle =
    QStringLiteral("Limitation à 32Ko de la taille de fichier...");
inline const QString kTooLargeText =
    QStringLiteral("La taille du fichier que vous tentez d'ouvrir\r\n"
                   "est supérieure à 32kO.\r\n"
                   "Opération annulée...");

// The close-time save question: this text, CR LF, then the caption.
inline const QString kSaveTitle = QStringLiteral("Enregistrement des données...");
inline const QString kClosePrompt = QStringLiteral("Enregistrer le contenu de la feuille : ");

// Before a save that would write '?' for characters the code page lacks:
// the caption, then one of these sentences with the line (and the count).
inline const QString kLossyOne =
    QStringLiteral("1 caractère du texte n'existe pas dans la page de code du fichier :\r\n"
                   "il sera enregistré comme '?' (ligne %1).\r\n"
                   "Enregistrer quand même ?");
inline const QString kLossyMany =
    QStringLiteral("%1 caractères du texte n'existent pas dans la page de code du fichier :\r\n"
                   "ils seront enregistrés comme '?' (le premier à la ligne %2).\r\n"
                   "Enregistrer quand même ?");

// A failure that is not one of the file operations' own.
inline const QString kSaveOperation = QStringLiteral("Enregistrement du fichier");

} // namespace kavrel::editor::texts
