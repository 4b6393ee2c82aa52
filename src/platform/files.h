#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Whole-file operations on UTF-8 paths. Each throws kavrel::Failure with a
// French operation and reason ("Lecture du fichier", "Le fichier n'existe pas.").
namespace kavrel::platform {

// Operations named in the failures.
inline constexpr const char* kOpOpenFile = "Ouverture du fichier";
inline constexpr const char* kOpReadFile = "Lecture du fichier";
inline constexpr const char* kOpWriteFile = "Écriture du fichier";
inline constexpr const char* kOpCopyFile = "Copie du fichier";
inline constexpr const char* kOpRemoveFile = "Suppression du fichier";

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

// Size in bytes of an existing regular file.
std::uint64_t fileSize(const std::string& path);

// The whole file, read in one piece.
std::string readFile(const std::string& path);

// Writes `bytes` to a temporary file beside `path` and only then replaces
// `path` with it, so a failure never leaves a truncated file behind.
void writeFileReplacing(const std::string& path, std::string_view bytes);

// Copies `from` onto `to`, replacing `to`. Copying a file onto itself is done.
void copyFile(const std::string& from, const std::string& to);

// Removes `path` if it exists; a missing file is not an error.
void removeFileIfPresent(const std::string& path);

// True when `path` names an existing file (a folder is not a file). Never throws.
bool fileExists(const std::string& path);

// French reason for an errno value. A missing entry (ENOENT) is reported as
// "Le fichier n'existe pas."; callers that know better say so themselves.
std::string errnoReason(int error);

#ifdef _WIN32
// French reason for a GetLastError() value.
std::string lastErrorReason(unsigned long error);
#endif

} // namespace kavrel::platform
