#pragma once

// A program assembled for the simulator: its bytes, where each came from,
// and its symbols. Qt-free: the window and the worker thread share it
// read-only.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "asmhc11/assembler.h"

namespace kavrel::simulation {

struct SourceLine {
    int file = -1; // index in Program::files, -1 for none
    int line = 0;  // 1-based
    bool valid() const { return file >= 0; }
};

class Program {
public:
    // Assembles the source on disk (UTF-8 path) in this process, included
    // files too, as asmhc11 would.
    static std::shared_ptr<const Program> assemble(const std::string& sourcePath);

    const std::string& sourcePath() const { return sourcePath_; }
    const asmhc11::Result& result() const { return result_; }
    bool ok() const { return result_.ok(); }
    std::vector<asmhc11::Segment> segments() const { return result_.segments(); }
    // [0] is the source; included files follow, as the assembler names them.
    const std::vector<std::string>& files() const { return result_.lineMap.files; }
    // A file's text as the assembler read it (Windows-1252), whatever the
    // file on disk has become since.
    const std::string& fileText(int file) const {
        return result_.lineMap.texts[static_cast<std::size_t>(file)];
    }

    // The line whose instruction or data starts at `address` or covers it.
    SourceLine lineAt(std::uint16_t address) const;
    // True when an instruction of a line starts exactly there.
    bool lineStartsAt(std::uint16_t address) const;
    // The first address a line emits, when it emits anything.
    std::optional<std::uint16_t> addressOf(int file, int line) const;
    // Where the program starts: the operand of END, else its first
    // instruction, else nothing (an empty program).
    std::optional<std::uint16_t> entry() const;
    // Whether the program itself fills the reset vector.
    bool setsResetVector() const;
    std::optional<std::uint16_t> symbol(const std::string& name) const;

    // The report: one line per diagnostic, "<file>:<line>: erreur : ...",
    // then a summary, as the asmhc11 program prints them (UTF-8).
    std::string reportOutput() const;
    int exitCode() const { return ok() ? 0 : 1; }

private:
    explicit Program(std::string sourcePath, asmhc11::Result result);

    std::string sourcePath_;
    asmhc11::Result result_;
    // For each address, 1 + the index of its line map entry, 0 for none.
    std::vector<std::uint32_t> byAddress_;
};

} // namespace kavrel::simulation
