#include "assembly/diagnostics.h"

#include "asmhc11/diagnostic_format.h"
#include "assembly/assembly_texts.h"

namespace kavrel::assembly {

namespace {

Diagnostic fromLine(const asmhc11::DiagnosticLine& found) {
    return {asmhc11::formatDiagnostic(found), found.path, found.line,
            found.kind == asmhc11::DiagnosticKind::Error, found.message};
}

} // namespace

std::vector<Diagnostic> parseDiagnostics(std::string_view output) {
    std::vector<Diagnostic> rows;
    for (const asmhc11::DiagnosticLine& found : asmhc11::parseDiagnostics(output))
        rows.push_back(fromLine(found));
    return rows;
}

Diagnostic renamed(const Diagnostic& diagnostic, const std::string& to) {
    return fromLine(
        {to, diagnostic.line,
         diagnostic.error ? asmhc11::DiagnosticKind::Error : asmhc11::DiagnosticKind::Warning,
         diagnostic.message});
}

std::string verdictOf(const platform::ProcessRun& run, int errors) {
    if (!run.exited)
        return report::kSignalStart + std::to_string(run.signal);
    if (run.exitCode == 0)
        return report::kSucceeded;
    if (run.exitCode == 1 && errors > 0)
        return report::kFinishedWithStart + std::to_string(errors) +
               (errors == 1 ? report::kOneError : report::kErrors);
    return report::kExitCodeStart + std::to_string(run.exitCode);
}

} // namespace kavrel::assembly
