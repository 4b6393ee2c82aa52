#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"

// What the assembler's printed lines say: the rows of the report and its verdict.
namespace kavrel::assembly {

// One line "<path>:<line>: erreur : <message>" (or "avertissement"), in the
// assembler's own form (asmhc11/diagnostic_format.h).
struct Diagnostic {
    std::string text; // the whole line, as the report shows it
    std::string path;
    int line = 0;
    bool error = true;
    std::string message;
};

// The diagnostics of an output, in order; other lines are left out. Lines end
// with LF or CR LF.
std::vector<Diagnostic> parseDiagnostics(std::string_view output);

// The diagnostic with its path replaced by `to`, in the path and in the text:
// a staged copy named after the source the user assembled.
Diagnostic renamed(const Diagnostic& diagnostic, const std::string& to);

// The verdict of a run from how the assembler ended and its error count.
std::string verdictOf(const platform::ProcessRun& run, int errors);

} // namespace kavrel::assembly
