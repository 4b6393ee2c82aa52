#include "asmhc11/cli.h"

#include "asmhc11/diagnostic_format.h"
#include "asmhc11/encoding.h"
#include "asmhc11/messages.h"
#include "common/utf8_text.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <sstream>
#include <system_error>

namespace asmhc11 {

namespace fs = std::filesystem;

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (isBlank(text.front()) || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

bool hasExtension(const fs::path& path, std::string_view extension) {
    return equalNoCase(pathToUtf8(path.extension()), extension);
}

fs::path withSuffix(const fs::path& base, const char* suffix) {
    fs::path p = base;
    p += suffix;
    return p;
}

bool isFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::string plural(std::size_t n, const char* word) {
    return std::to_string(n) + " " + word + (n > 1 ? "s" : "");
}

// The bytes of a file, read at once into a buffer that is not cleared first:
// the source is only ever looked at through a view.
struct FileBytes {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    std::string_view view() const { return {data.get(), size}; }
};

bool readFile(const fs::path& path, FileBytes& bytes) {
    if (!isFile(path))
        return false;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::streamoff size = in.tellg();
    if (size < 0)
        return false;
    bytes.data = std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(size) + 1);
    in.seekg(0);
    in.read(bytes.data.get(), size);
    bytes.size = static_cast<std::size_t>(in.gcount());
    return !in.bad();
}

} // namespace

fs::path pathFromUtf8(std::string_view text) {
    return kavrel::utf8::toPath(text);
}

std::string pathToUtf8(const fs::path& path) {
    return kavrel::utf8::fromPath(path);
}

std::string argumentsFromWindowsCommandLine(std::string_view commandLine,
                                            std::string_view modulePath) {
    std::string_view rest = trimBlanks(commandLine);
    if (!rest.empty() && rest.front() == '"') {
        const std::size_t close = rest.find('"', 1);
        rest = close == std::string_view::npos ? std::string_view{} : rest.substr(close + 1);
    } else if (!modulePath.empty() && rest.size() >= modulePath.size() &&
               equalNoCase(rest.substr(0, modulePath.size()), modulePath) &&
               (rest.size() == modulePath.size() || isBlank(rest[modulePath.size()]))) {
        rest.remove_prefix(modulePath.size());
    } else {
        // The first ".exe" followed by a blank or the end closes the program name.
        std::size_t end = std::string_view::npos;
        for (std::size_t i = 0; i + 4 <= rest.size(); ++i) {
            if (equalNoCase(rest.substr(i, 4), ".exe") &&
                (i + 4 == rest.size() || isBlank(rest[i + 4]))) {
                end = i + 4;
                break;
            }
        }
        if (end == std::string_view::npos) {
            end = 0;
            while (end < rest.size() && !isBlank(rest[end]))
                ++end;
        }
        rest.remove_prefix(end);
    }
    return std::string(trimBlanks(rest));
}

std::string joinArguments(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += ' ';
        text += argv[i];
    }
    return text;
}

Invocation parseArguments(std::string_view text) {
    Invocation invocation;
    text = trimBlanks(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
        text = trimBlanks(text.substr(1, text.size() - 2));
    if (text.empty()) {
        invocation.kind = Invocation::Kind::Usage;
        return invocation;
    }
    if (text == "--help" || text == "-h" || text == "/?" || text == "-?") {
        invocation.kind = Invocation::Kind::Help;
        return invocation;
    }
    invocation.kind = Invocation::Kind::Assemble;
    if (text.size() > 2 && equalNoCase(text.substr(text.size() - 2), ";b")) {
        invocation.mode = Mode::Boo;
        std::string_view pathText = trimBlanks(text.substr(0, text.size() - 2));
        if (pathText.size() >= 2 && pathText.front() == '"' && pathText.back() == '"')
            pathText = pathText.substr(1, pathText.size() - 2);
        const fs::path path = pathFromUtf8(pathText);
        invocation.base = path;
        invocation.source = withSuffix(path, ".asc");
        if (!isFile(invocation.source) && isFile(withSuffix(path, ".ASC"))) {
            invocation.source = withSuffix(path, ".ASC");
        } else if (!isFile(invocation.source) && hasExtension(path, ".asc") && isFile(path)) {
            // "Test.asc;b" names the source itself.
            invocation.source = path;
            invocation.base = fs::path(path).replace_extension();
        }
        return invocation;
    }
    invocation.source = pathFromUtf8(text);
    invocation.base = fs::path(invocation.source).replace_extension();
    return invocation;
}

bool writeFileAtomically(const fs::path& target, std::string_view data) {
    const fs::path temporary = withSuffix(target, ".tmp~");
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        out.close();
        if (!out) {
            std::error_code ec;
            fs::remove(temporary, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        // Some systems refuse to rename over an existing file.
        std::error_code removeError;
        fs::remove(target, removeError);
        ec.clear();
        fs::rename(temporary, target, ec);
    }
    if (ec) {
        std::error_code removeError;
        fs::remove(temporary, removeError);
        return false;
    }
    return true;
}

namespace {

int run(std::string_view argumentText, std::ostream& out) {
    const std::string prefix = messages::cliPrefix;
    const Invocation invocation = parseArguments(argumentText);
    if (invocation.kind != Invocation::Kind::Assemble) {
        out << messages::usage;
        return invocation.kind == Invocation::Kind::Help ? exitOk : exitUsage;
    }
    const std::string sourceText = pathToUtf8(invocation.source);
    for (const char* produced : {".S19", ".LST", ".BOO"}) {
        if (hasExtension(invocation.source, produced)) {
            out << prefix << messages::sourceIsOutput << sourceText << '\n';
            return exitUsage;
        }
    }
    FileBytes source;
    if (!readFile(invocation.source, source)) {
        out << prefix << messages::cannotRead << sourceText << '\n';
        return exitUsage;
    }

    Options options;
    options.mode = invocation.mode;
    options.path = sourceText;
    options.title = utf8ToCp1252(pathToUtf8(invocation.source.filename()));
    const Result result = assembleSource(source.view(), options);

    // The listing always, the images only from a program without error.
    std::vector<std::pair<fs::path, const std::string*>> outputs;
    if (result.ok() && invocation.mode == Mode::Boo)
        outputs.emplace_back(withSuffix(invocation.base, ".BOO"), &result.boo);
    outputs.emplace_back(withSuffix(invocation.base, ".LST"), &result.listing);
    if (result.ok())
        outputs.emplace_back(withSuffix(invocation.base, ".S19"), &result.s19);

    for (const Diagnostic& d : result.diagnostics)
        out << formatDiagnostic({d.file, d.line,
                                 d.warning ? DiagnosticKind::Warning : DiagnosticKind::Error,
                                 cp1252ToUtf8(d.message)})
            << '\n';

    std::string written;
    bool writeFailed = false;
    for (const auto& [path, data] : outputs) {
        if (!writeFileAtomically(path, *data)) {
            out << prefix << messages::cannotWrite << pathToUtf8(path) << '\n';
            writeFailed = true;
            continue;
        }
        if (!written.empty())
            written += ", ";
        written += pathToUtf8(path.filename());
    }
    out << prefix << plural(result.errors.size(), messages::errorWord) << ", "
        << plural(result.byteCount, messages::byteWord) << ", "
        << (written.empty() ? std::string(messages::noFileWritten)
                            : std::string(messages::filesWritten) + written)
        << '\n';
    if (writeFailed)
        return exitUsage;
    return result.ok() ? exitOk : exitAssemblyErrors;
}

bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

} // namespace

int runCommandLine(std::string_view argumentText, std::ostream& out, const fs::path& copy) {
    if (copy.empty())
        return run(argumentText, out);
    std::ostringstream printed;
    const int status = run(argumentText, printed);
    out << printed.str();
    // The copy is for whoever started us; the assembly's own outputs are
    // written already, and a copy that cannot be written changes no status.
    // It never replaces the source, whatever the variable says.
    const Invocation invocation = parseArguments(argumentText);
    if ((invocation.kind == Invocation::Kind::Assemble && sameFile(copy, invocation.source)) ||
        !writeFileAtomically(copy, printed.str()))
        out << messages::cliPrefix << messages::cannotWrite << pathToUtf8(copy) << '\n';
    return status;
}

fs::path outputCopyFromEnvironment() {
#ifdef _WIN32
    // Wide, so that a temporary folder under a non-ASCII user name survives.
    const std::wstring name = kavrel::utf8::toWide(kOutputCopyVariable);
    const DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (size <= 1)
        return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name.c_str(), value.data(), size));
    return fs::path(value);
#else
    const char* value = std::getenv(kOutputCopyVariable);
    return value ? fs::path(value) : fs::path();
#endif
}

} // namespace asmhc11
