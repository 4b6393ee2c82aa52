#pragma once

#include <string>

// What differs between Windows and the other systems in names and paths.
namespace kavrel::platform {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
inline constexpr const char* kAssemblerName = "asmhc11.exe";
inline constexpr const char* kLauncherName = "LANCEUR.BAT";
#else
inline constexpr char kSeparator = '/';
inline constexpr const char* kAssemblerName = "asmhc11";
inline constexpr const char* kLauncherName = "LANCEUR.sh";
#endif

// `dir` + separator + `name`; `dir` is written without a trailing separator.
std::string inProgramDir(const std::string& dir, const std::string& name);

// Default path of a new program numbered n: "c:\Prog_<n>.asc" on Windows,
// "<home>/Prog_<n>.asc" elsewhere (UTF-8).
std::string newProgramPath(int n);

} // namespace kavrel::platform
