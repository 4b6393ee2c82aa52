#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Whole-file operations on UTF-8 paths. Each throws kavrel::Failure with a
// French operation and reason ("Lecture du fichier", "Le fichier n'existe pas.").
namespace kavrel::platform {

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

bool fileExists(const std::string& path);

} // namespace kavrel::platform
