#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/system_errors.h"

// Whole-file operations on UTF-8 paths. Each throws kavrel::Failure with a
// French operation and reason ("Lecture du fichier", "Le fichier n'existe pas.").
namespace kavrel::platform {

// Operations named in the failures.
inline constexpr const char* kOpOpenFile = "Ouverture du fichier";
inline constexpr const char* kOpReadFile = "Lecture du fichier";
inline constexpr const char* kOpWriteFile = "Écriture du fichier";
inline constexpr const char* kOpCopyFile = "Copie du fichier";
inline constexpr const char* kOpRemoveFile = "Suppression du fichier";

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

} // namespace kavrel::platform
