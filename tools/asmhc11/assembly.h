// The state of one assembly, shared by the pass driver and encoder
// (assembler.cpp) and the directive handlers (directives.cpp).
#pragma once

#include "asmhc11/assembler.h"
#include "asmhc11/expression.h"
#include "asmhc11/listing.h"
#include "asmhc11/symbol_table.h"
#include "asmhc11/syntax.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace hc11 {
struct MnemonicModes;
}

namespace asmhc11 {

inline constexpr std::int64_t memoryEnd = 0x10000;

// What the first pass learns about a line and the second pass reuses; kept
// small, since there is one for every line. Its errors are kept aside.
struct LineMemo {
    std::uint32_t size = 0;   // bytes the line takes: emitted plus reserved
    std::int32_t origin = -1; // the address an ORG sets, -1 for none
    std::int32_t count = 0;   // of RMB, BSZ, FILL: at most the 64 KiB of memory
    bool direct = false;      // direct addressing chosen in the first pass
    bool hasPending = false;  // a message of the first pass waits in Assembly::pending_
};

// One line of the assembled stream: the main source with its included files
// spliced in, in the order the first pass read them.
struct StreamLine {
    std::uint32_t offset = 0; // of the text in its file
    std::uint32_t length = 0;
    std::int32_t number = 0; // 1-based, in its own file
    std::uint16_t file = 0;
    bool skipped = false; // false condition or after END: listed without code
    LineMemo memo;
};

struct SourceFile {
    std::string path; // UTF-8, as messages name it
    std::string key;  // normalised path, to find include loops
    std::string_view text;
    bool hasCarriageReturn = false; // else a line ends at the next LF alone
};

class Assembly {
public:
    Assembly(std::string_view source, const Options& options);
    Result run();

    // ---- for the directive handlers ----
    int pass() const { return pass_; }
    LineMemo& memo() { return stream_[line_].memo; }
    std::size_t line() const { return line_; }
    std::string_view textOf(const StreamLine& line) const {
        return files_[line.file].text.substr(line.offset, line.length);
    }

    ExprValue evaluate(std::string_view text) { return evaluate(text, pcStart, pass_ == 2); }
    ExprValue evaluate(std::string_view text, std::int64_t counter, bool undefinedIsError);
    ExprValue valueOf(std::string_view text);

    // The operand field of an expression, read across blanks where the
    // expression goes on; a doubtful reading is noted for a warning.
    std::string_view operand(std::string_view rest);
    void noteDoubt(const OperandReading& reading);
    const SymbolTest& isSymbol() const { return isSymbol_; }

    void report(const std::string& message, bool warning = false);
    void report(const AsmError& error) { report(std::string(error.what())); }
    void warn(const AsmError& warning) { report(std::string(warning.what()), true); }
    // Reported in the second pass for something only the first pass sees.
    void firstPassError(const AsmError& error);
    void labelError(const AsmError& error);

    void emitByte(std::int64_t v) { bytes_.push_back(static_cast<std::uint8_t>(v & 0xFF)); }
    void emitWord(std::int64_t v) {
        emitByte(v >> 8);
        emitByte(v);
    }
    void emitData(std::string_view operand, bool words);
    void checkByte(const ExprValue& v);
    void checkWord(const ExprValue& v);
    void checkExtended(const ExprValue& v);
    std::int64_t firstPassCount(std::string_view operand);
    void defineLabel(std::string_view label, std::int64_t value);

    // Conditional assembly (first pass only).
    bool active() const { return conditions_.empty() || conditions_.back().active; }
    void beginIf(bool condition);
    void elseIf();
    void endIf();
    // Reads a file into the stream after the current line (first pass only).
    void include(std::string_view name);

    SymbolTable symbols;
    std::int64_t pc = 0;
    std::int64_t pcStart = 0; // address of the current line
    std::vector<std::uint8_t>& bytes() { return bytes_; }
    std::size_t reserved = 0;
    bool showAddress = false;
    std::optional<std::int64_t> equValue;
    bool ended = false;
    bool cycleCounting = false;
    bool listingOn = true;
    bool cycleOptionUsed = false;
    bool crossReference = false;
    std::uint16_t startAddress = 0;
    Result& result() { return result_; }

private:
    struct Condition {
        bool active;       // lines are assembled
        bool parentActive; // the enclosing region is assembled
        bool elseSeen;
        std::size_t line; // of the IF
    };
    struct OpenFile {
        std::uint32_t file;
        std::size_t offset = 0; // of the next line in the file's text
        int number = 0;         // of the last line read
    };

    void runPass(int pass);
    void collectNames(const std::string& path, std::string_view text,
                      std::unordered_set<std::string>& seen, std::size_t depth);
    const std::string* load(const std::string& path, const std::string& key);
    std::string includePath(const std::string& includer, std::string_view name) const;
    void readStream();
    void processLine(std::size_t index);
    void handleFields(const SourceLine& f);
    void encodeInstruction(const hc11::MnemonicModes& modes, std::string_view name,
                           const SourceLine& f);
    void encodeGeneral(const hc11::MnemonicModes& modes, std::string_view name,
                       std::string_view operand);
    void encodeBit(const hc11::MnemonicModes& modes, std::string_view rest);
    void emitDisplacement(std::string_view target, std::size_t length);
    void checkOffset(const ExprValue& v);
    void checkDirect(const ExprValue& v);
    void commitBytes();
    void mapLine(const StreamLine& line);
    std::string where(std::size_t line) const;
    void finish();

    Options options_;
    std::vector<std::unique_ptr<std::string>> texts_;            // included sources, kept alive
    std::unordered_map<std::string, const std::string*> loaded_; // by key; nullptr: unreadable
    // The names in a label field anywhere in the program, upper case: an
    // operand goes on across blanks only through these (and numbers).
    std::unordered_set<std::string> programNames_;
    SymbolTest isSymbol_;
    std::optional<std::string> doubt_; // the warning of the current line
    std::vector<int> mapFiles_; // LineMap::files index of each file, -1 before its first line
    std::vector<SourceFile> files_;
    std::vector<OpenFile> open_;
    std::vector<StreamLine> stream_;
    std::vector<Condition> conditions_;

    int pass_ = 1;
    std::size_t line_ = 0;
    std::vector<std::uint8_t> bytes_;
    int cycles_ = 0;
    bool strayHash_ = false;
    // Errors the first pass found, by stream line, reported by the second.
    struct Pending {
        std::optional<std::string> label;
        std::optional<std::string> value;
        std::optional<std::string> warning;
    };
    std::unordered_map<std::size_t, Pending> pending_;
    ListedLine* listed_ = nullptr;
    ListingWriter listing_;
    std::optional<long long> cycleTotal_;
    Result result_;
};

} // namespace asmhc11
