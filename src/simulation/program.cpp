#include "simulation/program.h"

#include <algorithm>
#include <cctype>

#include "asmhc11/diagnostic_format.h"
#include "asmhc11/encoding.h"
#include "simulation/simulation_texts.h"

namespace kavrel::simulation {

std::shared_ptr<const Program> Program::assemble(const std::string& sourcePath) {
    return std::shared_ptr<const Program>(
        new Program(sourcePath, asmhc11::assembleFile(sourcePath, asmhc11::Mode::S19)));
}

Program::Program(std::string sourcePath, asmhc11::Result result)
    : sourcePath_(std::move(sourcePath)), result_(std::move(result)), byAddress_(0x10000, 0) {
    // Later lines win where two fill the same byte, as the memory does.
    const auto& entries = result_.lineMap.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const asmhc11::LineMapEntry& entry = entries[i];
        for (std::uint32_t k = 0; k < entry.size && entry.address + k < 0x10000u; ++k)
            byAddress_[entry.address + k] = static_cast<std::uint32_t>(i + 1);
    }
}

SourceLine Program::lineAt(std::uint16_t address) const {
    const std::uint32_t index = byAddress_[address];
    if (index == 0)
        return {};
    const asmhc11::LineMapEntry& entry = result_.lineMap.entries[index - 1];
    return {entry.file, entry.line};
}

bool Program::lineStartsAt(std::uint16_t address) const {
    const std::uint32_t index = byAddress_[address];
    if (index == 0)
        return false;
    const asmhc11::LineMapEntry& entry = result_.lineMap.entries[index - 1];
    return entry.address == address && !entry.reserved;
}

std::optional<std::uint16_t> Program::addressOf(int file, int line) const {
    for (const asmhc11::LineMapEntry& entry : result_.lineMap.entries)
        if (entry.file == file && entry.line == line && !entry.reserved)
            return entry.address;
    return std::nullopt;
}

std::optional<std::uint16_t> Program::entry() const {
    if (result_.startAddress != 0)
        return result_.startAddress;
    for (const asmhc11::LineMapEntry& entry : result_.lineMap.entries)
        if (!entry.reserved)
            return entry.address;
    return std::nullopt;
}

bool Program::setsResetVector() const {
    return result_.used[0xFFFE] && result_.used[0xFFFF];
}

std::optional<std::uint16_t> Program::symbol(const std::string& name) const {
    auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    };
    const std::string wanted = lower(name);
    for (const asmhc11::Symbol& symbol : result_.symbols)
        if (symbol.value && lower(symbol.name) == wanted)
            return static_cast<std::uint16_t>(*symbol.value);
    return std::nullopt;
}

namespace {
std::string counted(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + (n == 1 ? one : many);
}
} // namespace

std::string Program::reportOutput() const {
    std::string out;
    for (const asmhc11::Diagnostic& d : result_.diagnostics)
        out += asmhc11::formatDiagnostic(
                   {d.file, d.line,
                    d.warning ? asmhc11::DiagnosticKind::Warning : asmhc11::DiagnosticKind::Error,
                    asmhc11::cp1252ToUtf8(d.message)}) +
               '\n';
    out += std::string(texts::kSummaryStart) +
           counted(result_.errors.size(), texts::kOneError, texts::kErrors) + ", " +
           counted(result_.byteCount, texts::kOneByte, texts::kBytes) + texts::kSimulatedNoFile +
           '\n';
    return out;
}

} // namespace kavrel::simulation
