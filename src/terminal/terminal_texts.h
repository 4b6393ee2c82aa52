#pragma once

// French texts of the terminal (the simulator's and the serial port's).
namespace kavrel::terminal::texts {

inline constexpr const char* kLocalEcho = "Écho local";
inline constexpr const char* kLocalEchoTip =
    "Affiche aussi ce que vous tapez, pour un programme qui ne le renvoie pas";
inline constexpr const char* kEnterLabel = "Entrée envoie :";
inline constexpr const char* kEnterCr = "CR";
inline constexpr const char* kEnterCrLf = "CR LF";
inline constexpr const char* kSendFile = "Envoyer un fichier...";
inline constexpr const char* kClear = "Effacer";
inline constexpr const char* kChooseFileTitle = "Envoyer un fichier texte";
inline constexpr const char* kFileFilter =
    "Fichiers texte (*.txt *.asc *.asm);;Tous les fichiers (*)";
// "Impossible de lire <fichier> : <raison>"
inline constexpr const char* kCannotRead = "Impossible de lire %1 : %2";
// "<fichier> envoyé (123 octets)"
inline constexpr const char* kFileSent = "%1 envoyé (%2 octets)";
inline constexpr const char* kInputOff = "Saisie impossible : la liaison n'est pas ouverte.";
inline constexpr const char* kDisplayName = "Terminal";

} // namespace kavrel::terminal::texts
