#pragma once

#include <string>

// The French reasons given for what the system refused, in one place for
// every system: the failures of file operations and process starts name them.
namespace kavrel::platform {

// Reasons.
inline constexpr const char* kReasonNoFile = "Le fichier n'existe pas.";
inline constexpr const char* kReasonNoFolder = "Le dossier n'existe pas.";
inline constexpr const char* kReasonAccessDenied = "Accès refusé.";
inline constexpr const char* kReasonIsFolder = "Le chemin désigne un dossier.";
inline constexpr const char* kReasonNotAFile = "Le chemin ne désigne pas un fichier ordinaire.";
inline constexpr const char* kReasonNotAFolder = "Un élément du chemin n'est pas un dossier.";
inline constexpr const char* kReasonDiskFull = "Le disque est plein.";
inline constexpr const char* kReasonQuota = "Le quota d'espace disque est dépassé.";
inline constexpr const char* kReasonReadOnly = "Le disque est protégé en écriture.";
inline constexpr const char* kReasonNameTooLong = "Le nom du fichier est trop long.";
inline constexpr const char* kReasonBadName = "Le nom du fichier n'est pas valide.";
inline constexpr const char* kReasonInUse = "Le fichier est utilisé par un autre programme.";
inline constexpr const char* kReasonTooManyOpen = "Trop de fichiers sont ouverts.";
inline constexpr const char* kReasonTooLarge = "Le fichier est trop volumineux.";
inline constexpr const char* kReasonIo = "Erreur d'entrée-sortie sur le disque.";
inline constexpr const char* kReasonLinks = "Trop de liens symboliques dans le chemin.";
inline constexpr const char* kReasonNotReady = "Le lecteur n'est pas prêt.";
inline constexpr const char* kReasonNetwork = "Le chemin réseau est introuvable.";
inline constexpr const char* kReasonNoMemory = "La mémoire est insuffisante.";
// Followed by the system's error number and ").".
inline constexpr const char* kReasonOtherPrefix = "Erreur du système (code ";

// French reason for an errno value. A missing entry (ENOENT) is reported as
// "Le fichier n'existe pas."; callers that know better say so themselves.
std::string errnoReason(int error);

#ifdef _WIN32
// French reason for a GetLastError() value.
std::string lastErrorReason(unsigned long error);
#endif

} // namespace kavrel::platform
