// The one form of an error or a warning as asmhc11 prints it, and Kavrel reads
// it back, one line each:
//   <chemin>:<ligne>: erreur : <message>
//   <chemin>:<ligne>: avertissement : <message>
// the form editors read to go to a line. Written and read only here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace asmhc11 {

enum class DiagnosticKind { Error, Warning };

struct DiagnosticLine {
    std::string path; // UTF-8, as given to the assembler
    int line = 0;     // 1-based, in its own file
    DiagnosticKind kind = DiagnosticKind::Error;
    std::string message; // UTF-8

    bool operator==(const DiagnosticLine&) const = default;
};

// The line, without a line end.
std::string formatDiagnostic(const DiagnosticLine& diagnostic);

// The diagnostic a line holds (a trailing CR is ignored), or nothing. The
// path ends at the first ":<digits>: erreur : " or ":<digits>: avertissement : "
// whose number is above 0: a path may hold colons (a drive letter) and a
// message anything; a path that itself holds such a sequence is misread.
std::optional<DiagnosticLine> parseDiagnostic(std::string_view line);

// The diagnostics of a whole output, in order; other lines are left out.
// Lines end with LF or CR LF.
std::vector<DiagnosticLine> parseDiagnostics(std::string_view output);

// The environment variable that names a file where asmhc11 also writes the
// lines it prints (UTF-8, LF line ends, where a Windows console gets CR LF):
// on Windows the assembler prints into its own console, and Kavrel reads the
// copy instead.
inline constexpr const char* kOutputCopyVariable = "ASMHC11_SORTIE";

} // namespace asmhc11
