#include "asmhc11/expression.h"

#include "asmhc11/encoding.h"
#include "asmhc11/messages.h"
#include "asmhc11/syntax.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace asmhc11 {

namespace {

// Values stay within 32 bits, far enough past 16 bits to report a clear range
// error later and never to overflow the 64-bit arithmetic.
constexpr std::int64_t valueLimit = 0xFFFFFFFFLL;
constexpr int maxDepth = 64;

class Parser {
public:
    Parser(std::string_view text, const ExprContext& context) : text_(text), context_(context) {}

    ExprValue parse() {
        skipBlanks();
        if (atEnd())
            throw makeError(messages::missingValue);
        ExprValue v = parseLogicalOr();
        skipBlanks();
        if (!atEnd())
            throw makeError(messages::unexpectedCharacter, text_.substr(pos_));
        return v;
    }

private:
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    void skipBlanks() {
        while (!atEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t'))
            ++pos_;
    }

    static ExprValue checked(std::int64_t v, bool known) {
        if (v > valueLimit || v < -valueLimit)
            throw makeError(messages::valueTooLarge);
        return {v, known};
    }

    char peekAt(std::size_t offset) const {
        return pos_ + offset < text_.size() ? text_[pos_ + offset] : '\0';
    }

    ExprValue parseLogicalOr() {
        ExprValue left = parseLogicalAnd();
        for (;;) {
            skipBlanks();
            if (peek() != '|' || peekAt(1) != '|')
                return left;
            pos_ += 2;
            const ExprValue right = parseLogicalAnd();
            left = {(left.value != 0 || right.value != 0) ? 1 : 0, left.known && right.known};
        }
    }

    ExprValue parseLogicalAnd() {
        ExprValue left = parseComparison();
        for (;;) {
            skipBlanks();
            if (peek() != '&' || peekAt(1) != '&')
                return left;
            pos_ += 2;
            const ExprValue right = parseComparison();
            left = {(left.value != 0 && right.value != 0) ? 1 : 0, left.known && right.known};
        }
    }

    ExprValue parseComparison() {
        ExprValue left = parseOr();
        for (;;) {
            skipBlanks();
            const char c = peek(), d = peekAt(1);
            int op; // 0 ==, 1 !=, 2 <, 3 >, 4 <=, 5 >=
            if (c == '=' && d == '=')
                op = 0;
            else if (c == '!' && d == '=')
                op = 1;
            else if (c == '<')
                op = d == '=' ? 4 : 2;
            else if (c == '>')
                op = d == '=' ? 5 : 3;
            else
                return left;
            pos_ += (op == 2 || op == 3) ? 1 : 2;
            const ExprValue right = parseOr();
            const std::int64_t a = left.value, b = right.value;
            const bool r = op == 0   ? a == b
                           : op == 1 ? a != b
                           : op == 2 ? a < b
                           : op == 3 ? a > b
                           : op == 4 ? a <= b
                                     : a >= b;
            left = {r ? 1 : 0, left.known && right.known};
        }
    }

    ExprValue parseOr() {
        ExprValue left = parseXor();
        for (;;) {
            skipBlanks();
            const char c = peek();
            // '!' alone is the old OR; "||" and "!=" belong to conditions.
            if ((c != '|' && c != '!') || peekAt(1) == '|' || peekAt(1) == '=')
                return left;
            ++pos_;
            const ExprValue right = parseXor();
            left = {left.value | right.value, left.known && right.known};
        }
    }

    ExprValue parseXor() {
        ExprValue left = parseAnd();
        for (;;) {
            skipBlanks();
            if (peek() != '^')
                return left;
            ++pos_;
            const ExprValue right = parseAnd();
            left = {left.value ^ right.value, left.known && right.known};
        }
    }

    ExprValue parseAnd() {
        ExprValue left = parseShift();
        for (;;) {
            skipBlanks();
            if (peek() != '&' || peekAt(1) == '&')
                return left;
            ++pos_;
            const ExprValue right = parseShift();
            left = {left.value & right.value, left.known && right.known};
        }
    }

    ExprValue parseShift() {
        ExprValue left = parseSum();
        for (;;) {
            skipBlanks();
            const char op = peek();
            if ((op != '<' && op != '>') || peekAt(1) != op)
                return left;
            pos_ += 2;
            const ExprValue right = parseSum();
            if (right.known && right.value < 0)
                throw makeError(messages::negativeShift, std::to_string(right.value));
            // Values fit in 33 bits: a longer shift leaves nothing, or too much.
            const int count = static_cast<int>(std::clamp<std::int64_t>(right.value, 0, 63));
            std::int64_t v = left.value >> count;
            if (op == '<') {
                if (left.value != 0 && count >= 32)
                    throw makeError(messages::valueTooLarge);
                v = left.value * (std::int64_t{1} << count);
            }
            left = checked(v, left.known && right.known);
        }
    }

    ExprValue parseSum() {
        ExprValue left = parseProduct();
        for (;;) {
            skipBlanks();
            const char op = peek();
            if (op != '+' && op != '-')
                return left;
            ++pos_;
            const ExprValue right = parseProduct();
            const std::int64_t v = op == '+' ? left.value + right.value : left.value - right.value;
            left = checked(v, left.known && right.known);
        }
    }

    ExprValue parseProduct() {
        ExprValue left = parseUnary();
        for (;;) {
            skipBlanks();
            const char op = peek();
            if (op != '*' && op != '/')
                return left;
            ++pos_;
            const ExprValue right = parseUnary();
            const bool known = left.known && right.known;
            if (op == '*') {
                left = checked(left.value * right.value, known);
            } else if (right.value == 0) {
                // An unknown divisor is a placeholder until the last pass.
                if (right.known)
                    throw makeError(messages::divisionByZero);
                left = {0, false};
            } else {
                left = checked(left.value / right.value, known);
            }
        }
    }

    ExprValue parseUnary() {
        skipBlanks();
        const char c = peek();
        if (c == '-' || c == '+' || c == '~' || (c == '!' && peekAt(1) != '=')) {
            if (++depth_ > maxDepth)
                throw makeError(messages::tooDeep);
            ++pos_;
            ExprValue v = parseUnary();
            --depth_;
            if (c == '-')
                v.value = -v.value;
            else if (c == '~')
                v.value = ~v.value & 0xFFFF;
            else if (c == '!')
                v.value = v.value == 0 ? 1 : 0;
            return v;
        }
        return parsePrimary();
    }

    ExprValue parsePrimary() {
        skipBlanks();
        if (atEnd())
            throw makeError(messages::missingValue);
        const char c = peek();
        if (c == '(') {
            if (++depth_ > maxDepth)
                throw makeError(messages::tooDeep);
            ++pos_;
            const ExprValue v = parseLogicalOr();
            skipBlanks();
            if (peek() != ')')
                throw makeError(messages::missingParenthesis);
            ++pos_;
            --depth_;
            return v;
        }
        if (c == '*') {
            ++pos_;
            return {context_.locationCounter, true};
        }
        if (c == '\'') {
            // 'c' or 'c as Motorola writes it.
            ++pos_;
            if (atEnd())
                throw makeError(messages::unterminatedString);
            const auto v = static_cast<unsigned char>(text_[pos_++]);
            if (peek() == '\'')
                ++pos_;
            return {v, true};
        }
        if (prefixBase(c) || std::isdigit(static_cast<unsigned char>(c)))
            return parseNumber();
        if (c == '#') {
            // Written by habit where no immediate value exists: read what follows.
            if (context_.strayHash)
                *context_.strayHash = true;
            if (++depth_ > maxDepth)
                throw makeError(messages::tooDeep);
            ++pos_;
            const ExprValue v = parsePrimary();
            --depth_;
            return v;
        }
        if (isSymbolStart(c))
            return parseSymbol();
        throw makeError(messages::unexpectedCharacter, text_.substr(pos_));
    }

    ExprValue parseNumber() {
        const NumberToken number = *numberAt(text_, pos_);
        const std::string_view token = text_.substr(pos_, number.end - pos_);
        pos_ = number.end;
        if (!number.valid)
            throw makeError(messages::badNumber, token);
        std::int64_t v = 0;
        for (const char d : number.digits) {
            const int dv = d <= '9' ? d - '0' : upperChar(d) - 'A' + 10;
            v = v * number.base + dv;
            if (v > valueLimit)
                throw makeError(messages::numberTooLarge, token);
        }
        return {v, true};
    }

    ExprValue parseSymbol() {
        const std::size_t start = pos_;
        while (!atEnd() && isSymbolChar(text_[pos_]))
            ++pos_;
        const std::string_view name = text_.substr(start, pos_ - start);
        if (const auto v = context_.lookup ? context_.lookup(name) : std::nullopt)
            return {*v, true};
        if (context_.undefinedIsError)
            throw makeError(messages::undefinedSymbol, name);
        return {0, false};
    }

    std::string_view text_;
    const ExprContext& context_;
    std::size_t pos_ = 0;
    int depth_ = 0;
};

} // namespace

namespace {

// A detail taken from the source: its bytes, shortened, control characters replaced.
void appendDetail(std::string& text, std::string_view detail) {
    constexpr std::size_t maxDetail = 40;
    const std::size_t shown = std::min(detail.size(), maxDetail);
    for (std::size_t i = 0; i < shown; ++i) {
        const auto b = static_cast<unsigned char>(detail[i]);
        text += (b < 0x20 || b == 0x7F) ? '?' : static_cast<char>(b);
    }
    if (detail.size() > maxDetail)
        text += "...";
}

} // namespace

AsmError makeError(const char* utf8Message, std::string_view detail) {
    std::string text = utf8ToCp1252(utf8Message);
    appendDetail(text, detail);
    return AsmError(text);
}

AsmError makeError(const char* utf8Template, std::initializer_list<std::string_view> details) {
    const std::string pattern = utf8ToCp1252(utf8Template);
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const std::size_t n = i + 1 < pattern.size()
                                  ? static_cast<std::size_t>(pattern[i + 1] - '1')
                                  : details.size();
        if (pattern[i] == '%' && n < details.size()) {
            appendDetail(text, details.begin()[n]);
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return AsmError(text);
}

namespace {

// Most operands are one hexadecimal number or one name: read them directly.
std::optional<ExprValue> simpleValue(std::string_view text, const ExprContext& context) {
    if (text.size() < 2 || text.size() > 9)
        return std::nullopt;
    if (text[0] == '$') {
        std::int64_t v = 0;
        for (std::size_t i = 1; i < text.size(); ++i) {
            const char c = text[i];
            const int d = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                 : -1;
            if (d < 0)
                return std::nullopt;
            v = v * 16 + d;
        }
        return ExprValue{v, true};
    }
    if (!isSymbolStart(text[0]) || !context.lookup)
        return std::nullopt;
    for (const char c : text)
        if (!isSymbolChar(c))
            return std::nullopt;
    if (const auto v = context.lookup(text))
        return ExprValue{*v, true};
    if (context.undefinedIsError)
        return std::nullopt; // the parser reports it
    return ExprValue{0, false};
}

} // namespace

ExprValue evaluateExpression(std::string_view text, const ExprContext& context) {
    if (const auto v = simpleValue(text, context))
        return *v;
    return Parser(text, context).parse();
}

} // namespace asmhc11
