#include "assembly/diagnostics.h"

#include "assembly/assembly_texts.h"

namespace kavrel::assembly {

namespace {

constexpr std::string_view kError = ": erreur : ";
constexpr std::string_view kWarning = ": avertissement : ";

bool allDigits(std::string_view text) {
    if (text.empty() || text.size() > 9)
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// "<path>:<digits>" followed by one of the two markers, from the left: a path
// may hold colons (a drive letter), a message may hold anything.
bool parseLine(std::string_view line, Diagnostic& out) {
    for (std::size_t colon = line.find(':'); colon != std::string_view::npos;
         colon = line.find(':', colon + 1)) {
        if (colon == 0)
            continue;
        const std::size_t digitsEnd = line.find(':', colon + 1);
        if (digitsEnd == std::string_view::npos)
            return false;
        if (!allDigits(line.substr(colon + 1, digitsEnd - colon - 1)))
            continue;
        const std::string_view rest = line.substr(digitsEnd);
        const bool error = rest.starts_with(kError);
        if (!error && !rest.starts_with(kWarning))
            continue;
        out.text = std::string(line);
        out.path = std::string(line.substr(0, colon));
        out.line = std::stoi(std::string(line.substr(colon + 1, digitsEnd - colon - 1)));
        out.error = error;
        return out.line > 0;
    }
    return false;
}

} // namespace

std::vector<Diagnostic> parseDiagnostics(std::string_view output) {
    std::vector<Diagnostic> found;
    while (!output.empty()) {
        const std::size_t end = output.find('\n');
        std::string_view line = output.substr(0, end);
        output = end == std::string_view::npos ? std::string_view() : output.substr(end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        Diagnostic diagnostic;
        if (parseLine(line, diagnostic))
            found.push_back(std::move(diagnostic));
    }
    return found;
}

Diagnostic renamed(const Diagnostic& diagnostic, const std::string& to) {
    Diagnostic copy = diagnostic;
    copy.text = to + diagnostic.text.substr(diagnostic.path.size());
    copy.path = to;
    return copy;
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
