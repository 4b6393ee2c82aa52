// The 68HC11 assembler, in memory.
//
// assembleSource() is the whole assembler without any file: it takes the bytes
// of a source (Windows-1252, CR LF, LF or CR line ends) and returns the
// assembled memory, the errors and the contents of every output file. It
// never throws for any input and always ends, which makes it the entry point
// for fuzz targets as well as for the command line:
//
//     auto result = asmhc11::assembleSource(bytes, asmhc11::Mode::S19);
//     if (result.ok()) write(result.s19);
//
// assembleFile() reads a source from disk as the asmhc11 program does and
// names its files the same way, for a program that assembles in its own
// process (the simulator runs the result where the line map leads back to
// the source).
//
// Two passes: the first reads the included files and decides the conditions,
// and fixes the size of every line (direct addressing is chosen when the
// operand is already known below $100); then EQU chains that refer forward
// are resolved, and the second pass encodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace asmhc11 {

enum class Mode {
    S19, // S-records only
    Boo, // also the bootstrap image; code must lie in $0000-$01FF
};

struct Diagnostic {
    int line = 0;        // 1-based, in its own file
    std::string message; // Windows-1252
    std::string file;    // UTF-8: the file that holds the line (an included one names itself)
    bool warning = false;
};

struct Symbol {
    std::string name; // as first written
    std::optional<std::int64_t> value;
};

// A run of consecutive assembled bytes.
struct Segment {
    std::uint16_t address = 0;
    std::vector<std::uint8_t> bytes;
};

// Where the bytes of one source line lie.
struct LineMapEntry {
    std::uint16_t address = 0;
    std::uint32_t size = 0; // bytes emitted or reserved, at least 1
    std::uint16_t file = 0; // index in LineMap::files
    std::int32_t line = 0;  // 1-based, in its own file
    bool reserved = false;  // space only (RMB, DS): nothing is written there
};

// Every line that emits or reserves bytes, included files too, in the order
// the assembler read them.
struct LineMap {
    std::vector<std::string> files; // UTF-8, named as diagnostics name them; [0] is the source
    // Each file's text as the assembler read it (Windows-1252 bytes), in the
    // order of `files`: what a debugger shows beside the bytes, whatever the
    // files on disk have become since.
    std::vector<std::string> texts;
    std::vector<LineMapEntry> entries;

    // The line whose bytes hold the address, or nullptr.
    const LineMapEntry* find(std::uint16_t address) const;
    // The entries of a line (none, or more than one when its file is included twice).
    std::vector<const LineMapEntry*> entriesOf(std::string_view file, int line) const;
};

struct Result {
    std::vector<Diagnostic> errors;
    std::vector<Diagnostic> warnings;
    std::vector<Diagnostic> diagnostics; // errors and warnings in source order
    std::vector<std::uint8_t> memory = std::vector<std::uint8_t>(0x10000, 0);
    std::vector<bool> used = std::vector<bool>(0x10000, false);
    std::size_t byteCount = 0;
    std::uint16_t startAddress = 0; // operand of END, or 0
    std::vector<Symbol> symbols;    // sorted by name, case ignored
    // Contents of the output files (bytes, CR LF line ends). The listing is
    // always made; the S19 and BOO images only when there is no error.
    std::string listing;
    std::string s19;
    std::string boo; // Boo mode only
    LineMap lineMap;

    bool ok() const { return errors.empty(); }
    std::vector<Segment> segments() const;
};

struct Options {
    Mode mode = Mode::S19;
    std::string path;  // UTF-8: names the source in messages; included files lie beside it
    std::string title; // Windows-1252: shown in the listing's title
    // Reads an included file (UTF-8 path), nothing when it cannot; from disk by default.
    std::function<std::optional<std::string>(const std::string& path)> readFile;
};

Result assembleSource(std::string_view source, const Options& options);

// sourceName, if given, is shown in the listing's title.
Result assembleSource(std::string_view source, Mode mode, std::string_view sourceName = {});

// Reads the source (UTF-8 path) and the files it includes from disk. A source
// that cannot be read gives one error on line 0 and nothing else. For Boo,
// `path` is the source itself (the program's "<path>;b" names <path>.asc).
Result assembleFile(std::string_view path, Mode mode);

} // namespace asmhc11
