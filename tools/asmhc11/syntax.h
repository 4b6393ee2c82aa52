// How asmhc11 reads a source line: its fields, the extent of an operand, the
// directives and the forms of a number. The assembler reads its sources with
// these, and so does whatever shows a source as the assembler reads it (the
// editor's colours), so that the two never disagree on where a comment starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace asmhc11 {

inline bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view text);

// ASCII upper case, for names compared without regard to case.
inline char upperChar(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
bool equalNoCase(std::string_view a, std::string_view b);

// Characters of a symbol name.
bool isSymbolStart(char c);
bool isSymbolChar(char c);

// ---- Fields ----

struct SourceLine {
    std::string_view label;     // a word in column 1 (colon dropped), or "name:" further on
    std::string_view operation; // mnemonic or directive as written ("#IF" keeps its '#')
    std::string_view rest;      // everything after the operation
    bool labelInColumnOne = false;
};

// A word in column 1 is a label, whatever it spells, except a '#' directive
// (#IF, #INCLUDE...). '*' or ';' in column 1 makes the line a comment.
SourceLine splitFields(std::string_view line);

// Skips a quoted item starting at text[i]: 'c, 'c' or "...". Returns the index after it.
std::size_t skipQuoted(std::string_view text, std::size_t i);

// Splits at the commas outside quotes and parentheses.
std::vector<std::string_view> splitCommas(std::string_view text);

// ---- Numbers ----

// A number as written: $1F, %1010, @17, &25, 25 or 1FH. `digits` is empty
// and `valid` false for a prefix with nothing after it.
struct NumberToken {
    std::size_t end = 0; // index after the token
    int base = 10;
    std::string_view digits; // without prefix or suffix
    bool valid = false;      // every digit below the base
};

// The base a prefix gives ('$' 16, '%' 2, '@' 8, '&' 10), or 0.
int prefixBase(char c);

// The number that starts at text[i] (a prefix or a digit), or nothing. '&'
// counts as a prefix only where a value is expected: elsewhere it is "and".
std::optional<NumberToken> numberAt(std::string_view text, std::size_t i);

// ---- Operands ----

// Whether a name is a symbol of the program. The assembler knows; a reader
// without the whole program (the colours) supposes.
using SymbolTest = std::function<bool(std::string_view name)>;

// The operand field and how it was read. Blanks end an operand, except next
// to a comma ("5, X") and where the expression goes on: after an operator
// ("A+ B"), inside parentheses, or before a binary operator other than '*'
// followed by a term ("RegBase + oSCSR", "* - 2"). That last reading is
// taken only when each name of the continuation is a symbol of the program
// and each number a number; otherwise the text from the operator on is a
// comment, as older assemblers read it.
struct OperandReading {
    enum class Doubt {
        None,
        // A continuation was refused: `longer` is the operand it would have
        // made, `culprit` the word that is no symbol and no number.
        ReadAsComment,
        // A continuation was taken and words follow it: `shorter` is the
        // operand a blank would have ended, `comment` those words.
        ContinuedBeforeWords,
    };
    std::string_view operand; // trimmed; empty when there is none
    Doubt doubt = Doubt::None;
    std::string_view longer;
    std::string_view culprit;
    std::string_view shorter;
    std::string_view comment;
};

OperandReading readOperand(std::string_view rest, const SymbolTest& isSymbol);

// The first word of the field (blanks next to a comma allowed): names,
// options and file names, which never continue across blanks.
std::string_view operandWord(std::string_view rest);

// Reads the fields of a bit instruction one at a time: they are separated by
// commas or blanks, and what follows the last one needed is a comment. A
// field goes on across blanks as an operand does, except before a '+' or '-'
// written against its term ("$10 -1"), which starts the next field.
class FieldReader {
public:
    FieldReader(std::string_view text, SymbolTest isSymbol)
        : text_(text), isSymbol_(std::move(isSymbol)) {}
    std::optional<std::string_view> next();
    // How the last field returned was read.
    const OperandReading& reading() const { return reading_; }

private:
    std::string_view text_;
    SymbolTest isSymbol_;
    std::size_t pos_ = 0;
    bool afterComma_ = false;
    OperandReading reading_;
};

// INCLUDE "file", <file> or file.
struct FileNameField {
    std::string_view name;    // without its quotes
    std::string_view written; // as written, quotes included (to the end when unterminated)
    bool unterminated = false;
};
FileNameField fileNameField(std::string_view rest);

// ---- Directives ----

enum class DirectiveKind : std::uint8_t {
    Org,
    Equ,
    Bytes,  // FCB, DB
    Words,  // FDB, DW
    String, // FCC
    Reserve,
    Zeros,
    Fill,
    End,
    Options,
    Ignored,
    If,
    IfDefined,
    IfNotDefined,
    Else,
    EndIf,
    Include,
};

// What follows the directive's name.
enum class OperandForm : std::uint8_t {
    Nothing,    // the rest of the line is a comment (ELSE, NAM...)
    Expression, // values, separated by commas
    Words,      // names or options, ended by a blank (IFDEF, OPT)
    Delimited,  // a string between any two equal characters (FCC)
    FileName,   // INCLUDE
};

struct DirectiveSyntax {
    std::string_view name;
    DirectiveKind kind;
    OperandForm operand = OperandForm::Expression;
    bool ownsLabel = false;     // the directive gives the label its value (EQU, ORG)
    bool conditional = false;   // also read where a false condition skips lines
    bool hashForm = false;      // may be written with a leading '#' (#IF, #INCLUDE)
    bool firstPassOnly = false; // the first pass alone reads it (conditions, includes)
};

// The directive of an operation field in any case ("#IF" too), or nullptr.
const DirectiveSyntax* findDirective(std::string_view operation);

// Every directive, aliases included.
std::span<const DirectiveSyntax> directives();

} // namespace asmhc11
