// The lexing of one source line: its label, operation and operand fields,
// and the comment that follows a complete operand.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
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

struct SourceLine {
    std::string_view label;     // a word in column 1 (colon dropped), or "name:" further on
    std::string_view operation; // mnemonic or directive as written ("#IF" keeps its '#')
    std::string_view rest;      // everything after the operation
    bool labelInColumnOne = false;
};

// A word in column 1 is a label, whatever it spells, except a '#' directive
// (#IF, #INCLUDE...). '*' or ';' in column 1 makes the line a comment.
SourceLine splitFields(std::string_view line);

// The operand field: up to the first blank outside quotes (blanks next to a
// comma are allowed, as in "5, X"), or to a ';' comment.
std::string_view extractOperand(std::string_view rest);

// Splits at the commas outside quotes and parentheses.
std::vector<std::string_view> splitCommas(std::string_view text);

// Skips a quoted item starting at text[i]: 'c, 'c' or "...". Returns the index after it.
std::size_t skipQuoted(std::string_view text, std::size_t i);

// Reads the fields of a bit instruction one at a time: they are separated
// by commas or blanks, and what follows the last one needed is a comment.
class FieldReader {
public:
    explicit FieldReader(std::string_view text) : text_(text) {}
    std::optional<std::string_view> next();

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    bool afterComma_ = false;
};

} // namespace asmhc11
