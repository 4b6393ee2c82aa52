#include "asmhc11/diagnostic_format.h"

namespace asmhc11 {

namespace {

// The words between the line number and the message, blanks and colons included.
constexpr std::string_view kErrorTag = ": erreur : ";
constexpr std::string_view kWarningTag = ": avertissement : ";

// At most 9 digits, so that the number always fits an int.
std::optional<int> lineNumber(std::string_view digits) {
    if (digits.empty() || digits.size() > 9)
        return std::nullopt;
    int value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::string formatDiagnostic(const DiagnosticLine& diagnostic) {
    std::string text = diagnostic.path;
    text += ':';
    text += std::to_string(diagnostic.line);
    text += diagnostic.kind == DiagnosticKind::Warning ? kWarningTag : kErrorTag;
    text += diagnostic.message;
    return text;
}

std::optional<DiagnosticLine> parseDiagnostic(std::string_view line) {
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    // From the left: the first colon that opens "<digits>" and a tag ends the path.
    for (std::size_t colon = line.find(':'); colon != std::string_view::npos;
         colon = line.find(':', colon + 1)) {
        if (colon == 0)
            continue;
        const std::size_t digitsEnd = line.find(':', colon + 1);
        if (digitsEnd == std::string_view::npos)
            return std::nullopt;
        const std::optional<int> number = lineNumber(line.substr(colon + 1, digitsEnd - colon - 1));
        if (!number || *number == 0)
            continue;
        const std::string_view rest = line.substr(digitsEnd);
        DiagnosticKind kind;
        std::size_t tagSize;
        if (rest.starts_with(kErrorTag)) {
            kind = DiagnosticKind::Error;
            tagSize = kErrorTag.size();
        } else if (rest.starts_with(kWarningTag)) {
            kind = DiagnosticKind::Warning;
            tagSize = kWarningTag.size();
        } else {
            continue;
        }
        return DiagnosticLine{std::string(line.substr(0, colon)), *number, kind,
                              std::string(rest.substr(tagSize))};
    }
    return std::nullopt;
}

std::vector<DiagnosticLine> parseDiagnostics(std::string_view output) {
    std::vector<DiagnosticLine> found;
    while (!output.empty()) {
        const std::size_t end = output.find('\n');
        const std::string_view line = output.substr(0, end);
        output = end == std::string_view::npos ? std::string_view() : output.substr(end + 1);
        if (auto diagnostic = parseDiagnostic(line))
            found.push_back(std::move(*diagnostic));
    }
    return found;
}

} // namespace asmhc11
