#include "asmhc11/syntax.h"

#include <algorithm>
#include <array>

namespace asmhc11 {

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (upperChar(a[i]) != upperChar(b[i]))
            return false;
    return true;
}

namespace {

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isAlnum(char c) {
    return isLetter(c) || isDigit(c);
}

} // namespace

bool isSymbolStart(char c) {
    return isLetter(c) || c == '_' || c == '.';
}

bool isSymbolChar(char c) {
    return isSymbolStart(c) || isDigit(c);
}

SourceLine splitFields(std::string_view line) {
    SourceLine f;
    if (line.empty() || line[0] == '*' || line[0] == ';')
        return f;
    auto token = [&](std::size_t& i) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]) && line[i] != ';')
            ++i;
        return line.substr(start, i - start);
    };
    std::size_t i = 0;
    std::string_view first = token(i);
    const std::size_t colon = first.find(':');
    if (!isBlank(line[0]) && line[0] != '#') {
        f.labelInColumnOne = true;
        if (colon != std::string_view::npos) {
            // "LABEL:LDAA #1" with no blank after the colon.
            f.label = first.substr(0, colon);
            i = static_cast<std::size_t>(first.data() - line.data()) + colon + 1;
        } else {
            f.label = first;
        }
        first = token(i);
    } else if (colon != std::string_view::npos && first[0] != '#') {
        f.label = first.substr(0, colon);
        i = static_cast<std::size_t>(first.data() - line.data()) + colon + 1;
        first = token(i);
    }
    if (first.empty() || first[0] == '*')
        return f;
    f.operation = first;
    f.rest = line.substr(i);
    return f;
}

std::size_t skipQuoted(std::string_view text, std::size_t i) {
    if (text[i] == '\'') {
        i += 2;
        if (i < text.size() && text[i] == '\'')
            ++i;
        return std::min(i, text.size());
    }
    const std::size_t close = text.find('"', i + 1);
    return close == std::string_view::npos ? text.size() : close + 1;
}

std::vector<std::string_view> splitCommas(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    int depth = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\'' || c == '"') {
            i = skipQuoted(text, i);
            continue;
        }
        if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
        else if (c == ',' && depth <= 0) {
            parts.push_back(trim(text.substr(start, i - start)));
            start = i + 1;
        }
        ++i;
    }
    parts.push_back(trim(text.substr(start)));
    return parts;
}

int prefixBase(char c) {
    switch (c) {
    case '$':
        return 16;
    case '%':
        return 2;
    case '@':
        return 8;
    case '&':
        return 10;
    default:
        return 0;
    }
}

namespace {

int digitValue(char c) {
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

} // namespace

std::optional<NumberToken> numberAt(std::string_view text, std::size_t i) {
    if (i >= text.size())
        return std::nullopt;
    NumberToken token;
    std::size_t digitsStart = i;
    if (const int base = prefixBase(text[i])) {
        token.base = base;
        digitsStart = i + 1;
    } else if (!isDigit(text[i])) {
        return std::nullopt;
    }
    std::size_t end = digitsStart;
    while (end < text.size() && isAlnum(text[end]))
        ++end;
    token.end = end;
    token.digits = text.substr(digitsStart, end - digitsStart);
    if (digitsStart == i && token.digits.size() > 1 && upperChar(token.digits.back()) == 'H') {
        // 0FFH: hexadecimal by its suffix.
        token.base = 16;
        token.digits.remove_suffix(1);
    }
    token.valid =
        !token.digits.empty() && std::all_of(token.digits.begin(), token.digits.end(),
                                             [&](char d) { return digitValue(d) < token.base; });
    return token;
}

namespace {

// Reads an operand, or a field of a bit instruction, token by token: enough
// to know where it may end, not its value.
class OperandScanner {
public:
    OperandScanner(std::string_view text, const SymbolTest& isSymbol, bool fields)
        : s_(text), isSymbol_(isSymbol), fields_(fields) {}

    OperandReading read(std::size_t start, std::size_t& end);

private:
    struct State {
        int depth = 0;
        bool expectValue = true; // an operator or nothing came last
        bool afterComma = false;
    };

    std::size_t skipBlanks(std::size_t i) const {
        while (i < s_.size() && isBlank(s_[i]))
            ++i;
        return i;
    }
    std::size_t run(std::size_t i, State& state, std::string_view* culprit) const;
    std::size_t binaryOperatorAt(std::size_t i) const;

    std::string_view s_;
    const SymbolTest& isSymbol_;
    bool fields_;
};

// One run of the text from i: up to a blank (outside quotes and, for an
// operand, not next to a comma), a ';', or for a field a comma outside
// parentheses. A culprit, when asked for, is the first name that is no
// symbol of the program or the first malformed number.
std::size_t OperandScanner::run(std::size_t i, State& state, std::string_view* culprit) const {
    const std::size_t n = s_.size();
    auto blame = [&](std::string_view word) {
        if (culprit && culprit->empty())
            *culprit = word;
    };
    while (i < n) {
        const char c = s_[i];
        if (c == ';')
            break;
        if (isBlank(c)) {
            if (fields_)
                break;
            const std::size_t j = skipBlanks(i);
            if (j < n && s_[j] != ';' && ((i > 0 && s_[i - 1] == ',') || s_[j] == ',')) {
                i = j;
                continue;
            }
            break;
        }
        if (c == ',') {
            if (fields_ && state.depth <= 0)
                break;
            state.expectValue = true;
            state.afterComma = true;
            ++i;
            continue;
        }
        const bool afterComma = state.afterComma;
        state.afterComma = false;
        if (c == '\'' || c == '"') {
            i = skipQuoted(s_, i);
            state.expectValue = false;
            continue;
        }
        if (c == '&' && i + 1 < n && s_[i + 1] == '&') {
            i += 2;
            state.expectValue = true;
            continue;
        }
        if (isDigit(c) || (prefixBase(c) &&
                           (c != '&' || (state.expectValue && i + 1 < n && isAlnum(s_[i + 1]))))) {
            const NumberToken token = *numberAt(s_, i);
            if (!token.valid)
                blame(s_.substr(i, token.end - i));
            i = token.end;
            state.expectValue = false;
            continue;
        }
        if (isSymbolStart(c)) {
            std::size_t end = i + 1;
            while (end < n && isSymbolChar(s_[end]))
                ++end;
            const std::string_view name = s_.substr(i, end - i);
            // "5 + 1,X": the register after the comma is no symbol.
            const bool indexRegister = afterComma && state.depth <= 0 &&
                                       (equalNoCase(name, "X") || equalNoCase(name, "Y"));
            if (culprit && !indexRegister && !isSymbol_(name))
                blame(name);
            i = end;
            state.expectValue = false;
            continue;
        }
        if (c == '*') {
            // The location counter where a value is expected, a product after one.
            state.expectValue = !state.expectValue;
        } else if (c == '(') {
            ++state.depth;
            state.expectValue = true;
        } else if (c == ')') {
            --state.depth;
            state.expectValue = false;
        } else {
            state.expectValue = std::string_view("+-/&|^!<>=~#").find(c) != std::string_view::npos;
        }
        ++i;
    }
    return i;
}

// The length of a binary operator at text[i], 0 for none. '*' is not one
// here: after a blank it starts a comment.
std::size_t OperandScanner::binaryOperatorAt(std::size_t i) const {
    const char c = s_[i];
    const char d = i + 1 < s_.size() ? s_[i + 1] : '\0';
    if ((c == '<' && (d == '<' || d == '=')) || (c == '>' && (d == '>' || d == '=')) ||
        (c == '=' && d == '=') || (c == '!' && d == '=') || (c == '&' && d == '&') ||
        (c == '|' && d == '|'))
        return 2;
    return std::string_view("+-/&|^!<>").find(c) != std::string_view::npos ? 1 : 0;
}

OperandReading OperandScanner::read(std::size_t start, std::size_t& end) {
    OperandReading reading;
    const std::size_t n = s_.size();
    State state;
    end = run(start, state, nullptr);
    const std::size_t firstEnd = end;
    bool continued = false;
    for (;;) {
        const std::size_t j = skipBlanks(end);
        if (j >= n || s_[j] == ';')
            break;
        if (state.expectValue || state.depth > 0) {
            // Unfinished ("A+ B", "( 1"): a blank cannot end it.
            const std::size_t next = run(j, state, nullptr);
            if (next == j)
                break;
            end = next;
            continue;
        }
        if (binaryOperatorAt(j) == 0)
            break;
        // In a bit instruction "$10 -1" is two fields, the second signed.
        if (fields_ && (s_[j] == '+' || s_[j] == '-') && j + 1 < n && !isBlank(s_[j + 1]))
            break;
        State piece = state;
        std::string_view culprit;
        std::size_t pieceEnd = run(j, piece, &culprit);
        while (piece.expectValue || piece.depth > 0) {
            const std::size_t m = skipBlanks(pieceEnd);
            if (m >= n || s_[m] == ';')
                break;
            const std::size_t next = run(m, piece, &culprit);
            if (next == m)
                break;
            pieceEnd = next;
        }
        if (piece.expectValue || piece.depth > 0)
            break; // no whole term after the operator: nothing to weigh
        if (!culprit.empty()) {
            reading.doubt = OperandReading::Doubt::ReadAsComment;
            reading.longer = trim(s_.substr(start, pieceEnd - start));
            reading.culprit = culprit;
            break;
        }
        state = piece;
        end = pieceEnd;
        continued = true;
    }
    reading.operand = trim(s_.substr(start, end - start));
    if (continued) {
        const std::size_t r = skipBlanks(end);
        if (r < n && s_[r] != ';' && s_[r] != '*' && !(fields_ && s_[r] == ',')) {
            reading.doubt = OperandReading::Doubt::ContinuedBeforeWords;
            reading.shorter = trim(s_.substr(start, firstEnd - start));
            reading.comment = trim(s_.substr(r));
        }
    }
    return reading;
}

} // namespace

OperandReading readOperand(std::string_view rest, const SymbolTest& isSymbol) {
    rest = trim(rest);
    std::size_t end = 0;
    return OperandScanner(rest, isSymbol, false).read(0, end);
}

std::string_view operandWord(std::string_view rest) {
    rest = trim(rest);
    std::size_t i = 0;
    while (i < rest.size()) {
        const char c = rest[i];
        if (c == '\'' || c == '"') {
            i = skipQuoted(rest, i);
            continue;
        }
        if (c == ';')
            break;
        if (isBlank(c)) {
            std::size_t j = i;
            while (j < rest.size() && isBlank(rest[j]))
                ++j;
            const bool afterComma = i > 0 && rest[i - 1] == ',';
            if (j < rest.size() && rest[j] != ';' && (afterComma || rest[j] == ',')) {
                i = j;
                continue;
            }
            break;
        }
        ++i;
    }
    return trim(rest.substr(0, i));
}

std::optional<std::string_view> FieldReader::next() {
    while (pos_ < text_.size() && isBlank(text_[pos_]))
        ++pos_;
    if (pos_ >= text_.size() || (text_[pos_] == ';' && !afterComma_))
        return std::nullopt;
    const std::size_t start = pos_;
    reading_ = OperandScanner(text_, isSymbol_, true).read(start, pos_);
    const std::string_view field = reading_.operand;
    while (pos_ < text_.size() && isBlank(text_[pos_]))
        ++pos_;
    afterComma_ = pos_ < text_.size() && text_[pos_] == ',';
    if (afterComma_)
        ++pos_;
    return field;
}

FileNameField fileNameField(std::string_view rest) {
    FileNameField field;
    const std::string_view text = trim(rest);
    if (!text.empty() && (text[0] == '"' || text[0] == '<')) {
        const std::size_t close = text.find(text[0] == '"' ? '"' : '>', 1);
        if (close == std::string_view::npos) {
            field.unterminated = true;
            field.written = text;
            field.name = text.substr(1);
        } else {
            field.written = text.substr(0, close + 1);
            field.name = text.substr(1, close - 1);
        }
        return field;
    }
    field.name = operandWord(text);
    field.written = field.name;
    return field;
}

namespace {

using K = DirectiveKind;
using F = OperandForm;

constexpr DirectiveSyntax directiveTable[] = {
    {.name = "ORG", .kind = K::Org, .ownsLabel = true},
    {.name = "EQU", .kind = K::Equ, .ownsLabel = true},
    {.name = "=", .kind = K::Equ, .ownsLabel = true},
    {.name = "FCB", .kind = K::Bytes},
    {.name = "DB", .kind = K::Bytes},
    {.name = "FDB", .kind = K::Words},
    {.name = "DW", .kind = K::Words},
    {.name = "FCC", .kind = K::String, .operand = F::Delimited},
    {.name = "RMB", .kind = K::Reserve},
    {.name = "DS", .kind = K::Reserve},
    {.name = "BSZ", .kind = K::Zeros},
    {.name = "ZMB", .kind = K::Zeros},
    {.name = "FILL", .kind = K::Fill},
    {.name = "END", .kind = K::End},
    {.name = "OPT", .kind = K::Options, .operand = F::Words},
    {.name = "NAM", .kind = K::Ignored, .operand = F::Nothing},
    {.name = "TTL", .kind = K::Ignored, .operand = F::Nothing},
    {.name = "PAGE", .kind = K::Ignored, .operand = F::Nothing},
    {.name = "SPC", .kind = K::Ignored, .operand = F::Nothing},
    {.name = "LIST", .kind = K::Ignored, .operand = F::Nothing},
    {.name = "NOLIST", .kind = K::Ignored, .operand = F::Nothing},
    {.name = "IF", .kind = K::If, .conditional = true, .hashForm = true, .firstPassOnly = true},
    {.name = "IFDEF",
     .kind = K::IfDefined,
     .operand = F::Words,
     .conditional = true,
     .hashForm = true,
     .firstPassOnly = true},
    {.name = "IFNDEF",
     .kind = K::IfNotDefined,
     .operand = F::Words,
     .conditional = true,
     .hashForm = true,
     .firstPassOnly = true},
    {.name = "ELSE",
     .kind = K::Else,
     .operand = F::Nothing,
     .conditional = true,
     .hashForm = true,
     .firstPassOnly = true},
    {.name = "ENDIF",
     .kind = K::EndIf,
     .operand = F::Nothing,
     .conditional = true,
     .hashForm = true,
     .firstPassOnly = true},
    {.name = "ENDC",
     .kind = K::EndIf,
     .operand = F::Nothing,
     .conditional = true,
     .hashForm = true,
     .firstPassOnly = true},
    {.name = "INCLUDE",
     .kind = K::Include,
     .operand = F::FileName,
     .hashForm = true,
     .firstPassOnly = true},
};

// Names of at most eight characters packed into one integer, upper case:
// one comparison per probe of the sorted index.
constexpr std::size_t maxDirectiveName = 8;

constexpr std::uint64_t packName(std::string_view name) {
    std::uint64_t key = 0;
    for (const char c : name)
        key = key << 8 | static_cast<unsigned char>(upperChar(c));
    return key;
}

struct IndexEntry {
    std::uint64_t key;
    const DirectiveSyntax* directive;
};

const auto directiveIndex = [] {
    std::array<IndexEntry, std::size(directiveTable)> index{};
    for (std::size_t i = 0; i < index.size(); ++i)
        index[i] = {packName(directiveTable[i].name), &directiveTable[i]};
    std::sort(index.begin(), index.end(),
              [](const IndexEntry& x, const IndexEntry& y) { return x.key < y.key; });
    return index;
}();

} // namespace

const DirectiveSyntax* findDirective(std::string_view operation) {
    const bool hash = !operation.empty() && operation[0] == '#';
    if (hash)
        operation.remove_prefix(1);
    if (operation.empty() || operation.size() > maxDirectiveName)
        return nullptr;
    const std::uint64_t key = packName(operation);
    const auto it =
        std::lower_bound(directiveIndex.begin(), directiveIndex.end(), key,
                         [](const IndexEntry& e, std::uint64_t k) { return e.key < k; });
    if (it == directiveIndex.end() || it->key != key || (hash && !it->directive->hashForm))
        return nullptr;
    return it->directive;
}

std::span<const DirectiveSyntax> directives() {
    return directiveTable;
}

} // namespace asmhc11
