// Expressions of the operand field: numbers in every base ($ hex, % binary,
// @ octal, & decimal), characters, symbols, the location counter '*',
// + - * / << >> & ^ | ! and parentheses; and for conditions, the comparisons
// == != < > <= >= with && || and a unary !.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace asmhc11 {

// An error of one source line; the message is in Windows-1252, ready for the listing.
class AsmError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Builds an error from a UTF-8 message constant and a detail taken from the
// source (kept as its bytes, shortened, control characters replaced).
AsmError makeError(const char* utf8Message, std::string_view detail = {});
// The same for a message that quotes several details, written %1, %2... in it.
AsmError makeError(const char* utf8Template, std::initializer_list<std::string_view> details);

struct ExprValue {
    std::int64_t value = 0;
    bool known = true; // false when a symbol is not defined yet
};

struct ExprContext {
    std::int64_t locationCounter = 0;
    // The value of a symbol, or nothing when it is not defined (yet).
    std::function<std::optional<std::int64_t>(std::string_view)> lookup;
    // In the last pass an undefined symbol is an error; before, it makes the value unknown.
    bool undefinedIsError = false;
    // Set when a '#' stands inside a value ("FDB #begin"): it is skipped, and
    // the caller warns.
    bool* strayHash = nullptr;
};

// Evaluates the whole text; throws AsmError on a syntax error, an overflow, a
// division by zero or (when asked) an undefined symbol.
ExprValue evaluateExpression(std::string_view text, const ExprContext& context);

} // namespace asmhc11
