// The command line of asmhc11, as Kavrel writes it:
//   asmhc11 <source>     -> <base>.S19 and <base>.LST beside the source
//   asmhc11 <path>;b     -> <path>.asc assembled to <path>.BOO, .LST and .S19
// The argument text is one path that may hold blanks and no quotes.
#pragma once

#include "asmhc11/assembler.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>

namespace asmhc11 {

inline constexpr int exitOk = 0;
inline constexpr int exitAssemblyErrors = 1;
inline constexpr int exitUsage = 2; // bad usage, unreadable source, unwritable output

// Windows: the text after the program name in the raw command line. The
// program path is unquoted when Kavrel starts it, blanks and all, so it is
// recognised as the module's own path or by its ".exe" before a blank.
std::string argumentsFromWindowsCommandLine(std::string_view commandLine,
                                            std::string_view modulePath);

// POSIX: argv[1..] joined with single blanks, so a path split by a shell comes back whole.
std::string joinArguments(int argc, const char* const* argv);

struct Invocation {
    enum class Kind { Help, Usage, Assemble } kind = Kind::Usage;
    Mode mode = Mode::S19;
    std::filesystem::path source;
    std::filesystem::path base; // outputs are base + .S19, .LST, .BOO
};

// Reads the argument text (UTF-8). For ";b" the source is base + ".asc"
// (or ".ASC" when only that exists).
Invocation parseArguments(std::string_view text);

// Does what the argument text asks, prints a French summary on `out` (UTF-8)
// and returns the exit status. With a `copy` path, the same bytes also go to
// that file, written whole at the end; a copy that cannot be written (or that
// would replace the source) is said on `out` and changes nothing else.
int runCommandLine(std::string_view argumentText, std::ostream& out,
                   const std::filesystem::path& copy = {});

// The file the environment variable ASMHC11_SORTIE names, or an empty path.
std::filesystem::path outputCopyFromEnvironment();

// Writes a whole file through a temporary beside it, renamed at the end.
bool writeFileAtomically(const std::filesystem::path& target, std::string_view data);

std::filesystem::path pathFromUtf8(std::string_view text);
std::string pathToUtf8(const std::filesystem::path& path);

} // namespace asmhc11
