#include "asmhc11/directives.h"

#include "asmhc11/assembly.h"
#include "asmhc11/messages.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace asmhc11 {

namespace {

void org(Assembly& a, const SourceLine& f) {
    LineMemo& memo = a.memo();
    const std::string_view operand = extractOperand(f.rest);
    if (a.pass() == 1) {
        if (operand.empty())
            throw makeError(messages::missingOperand);
        const ExprValue v = a.evaluate(operand);
        if (!v.known)
            a.firstPassError(makeError(messages::notKnownInPass1, operand));
        else if (v.value < 0 || v.value > 0xFFFF)
            a.firstPassError(makeError(messages::addressOutOfRange, std::to_string(v.value)));
        else
            memo.origin = static_cast<std::int32_t>(v.value);
    }
    if (memo.origin >= 0) {
        a.pc = memo.origin;
        a.pcStart = a.pc;
    }
    if (!f.label.empty())
        a.defineLabel(f.label, a.pcStart);
    a.showAddress = true;
}

bool validSymbolName(std::string_view name) {
    if (name.empty() || !isSymbolStart(name[0]))
        return false;
    return std::all_of(name.begin(), name.end(), isSymbolChar);
}

void equ(Assembly& a, const SourceLine& f) {
    if (f.label.empty())
        throw makeError(messages::equNeedsLabel);
    if (!validSymbolName(f.label))
        throw makeError(messages::badLabel, f.label);
    const std::string_view operand = extractOperand(f.rest);
    if (operand.empty())
        throw makeError(messages::missingOperand);
    if (a.pass() == 1) {
        ExprValue v{0, false};
        try {
            v = a.evaluate(operand);
        } catch (const AsmError&) {
            // The second pass reports it.
        }
        if (!a.symbols.define(f.label, v.known ? std::optional(v.value) : std::nullopt, a.line())) {
            a.labelError(makeError(messages::duplicateSymbol, f.label));
        } else if (!v.known) {
            SymbolEntry& symbol = a.symbols.last();
            symbol.pending = true;
            symbol.pendingExpression = operand;
            symbol.pendingCounter = a.pcStart;
        }
    } else {
        a.equValue = a.evaluate(operand).value;
    }
}

void fcb(Assembly& a, const SourceLine& f) {
    a.showAddress = true;
    a.emitData(extractOperand(f.rest), false);
}

void fdb(Assembly& a, const SourceLine& f) {
    a.showAddress = true;
    a.emitData(extractOperand(f.rest), true);
}

// FCC /text/ with any delimiter; more items may follow after a comma.
void fcc(Assembly& a, const SourceLine& f) {
    a.showAddress = true;
    const std::string_view rest = trim(f.rest);
    if (rest.empty())
        throw makeError(messages::missingOperand);
    const char delimiter = rest[0];
    const std::size_t close = rest.find(delimiter, 1);
    if (close == std::string_view::npos)
        throw makeError(messages::unterminatedString);
    if (close == 1)
        throw makeError(messages::emptyString);
    for (const char c : rest.substr(1, close - 1))
        a.emitByte(static_cast<unsigned char>(c));
    const std::string_view after = rest.substr(close + 1);
    if (!after.empty() && after[0] == ',')
        a.emitData(extractOperand(after.substr(1)), false);
}

void rmb(Assembly& a, const SourceLine& f) {
    a.showAddress = true;
    a.reserved = static_cast<std::size_t>(a.firstPassCount(extractOperand(f.rest)));
}

void bsz(Assembly& a, const SourceLine& f) {
    a.showAddress = true;
    const std::int64_t count = a.firstPassCount(extractOperand(f.rest));
    a.bytes().assign(static_cast<std::size_t>(count), 0);
}

void fill(Assembly& a, const SourceLine& f) {
    a.showAddress = true;
    const std::vector<std::string_view> parts = splitCommas(extractOperand(f.rest));
    if (parts.size() != 2 || parts[0].empty() || parts[1].empty())
        throw makeError(messages::missingOperand);
    const std::int64_t count = a.firstPassCount(parts[1]);
    const ExprValue v = a.evaluate(parts[0]);
    a.checkByte(v);
    a.bytes().assign(static_cast<std::size_t>(count), static_cast<std::uint8_t>(v.value));
}

// The start address is a value or a defined name; any other word after END
// begins a comment ("END  Tells the assembler we are done").
void end(Assembly& a, const SourceLine& f) {
    a.ended = true;
    const std::string_view operand = extractOperand(f.rest);
    if (operand.empty() || a.pass() != 2)
        return;
    const char c = operand[0];
    if (isSymbolStart(c)) {
        std::size_t n = 0;
        while (n < operand.size() && isSymbolChar(operand[n]))
            ++n;
        if (!a.symbols.find(operand.substr(0, n)))
            return;
    }
    const ExprValue v = a.evaluate(operand);
    a.checkExtended(v);
    a.startAddress = static_cast<std::uint16_t>(v.value & 0xFFFF);
}

// OPT c / noc (cycle counts), cre (cross-reference), l / nol (listing on or
// off); the other options of older assemblers are accepted and ignored.
void opt(Assembly& a, const SourceLine& f) {
    for (const std::string_view word : splitCommas(extractOperand(f.rest))) {
        if (equalNoCase(word, "C")) {
            a.cycleCounting = true;
            a.cycleOptionUsed = true;
        } else if (equalNoCase(word, "NOC")) {
            a.cycleCounting = false;
        } else if (equalNoCase(word, "CRE")) {
            a.crossReference = true;
        } else if (equalNoCase(word, "L")) {
            a.listingOn = true;
        } else if (equalNoCase(word, "NOL")) {
            a.listingOn = false;
        }
    }
}

void ignored(Assembly&, const SourceLine&) {}

void ifExpression(Assembly& a, const SourceLine& f) {
    if (a.pass() != 1)
        return;
    if (!a.active()) {
        a.beginIf(false);
        return;
    }
    bool condition = false;
    // A condition may hold blanks ("IntType == $01"); failing that, its first
    // word is the condition and the rest a comment.
    std::string_view operand = trim(f.rest.substr(0, f.rest.find(';')));
    try {
        if (operand.empty())
            throw makeError(messages::missingOperand);
        ExprValue v;
        try {
            v = a.evaluate(operand);
        } catch (const AsmError&) {
            if (extractOperand(f.rest) == operand)
                throw;
            operand = extractOperand(f.rest);
            v = a.evaluate(operand);
        }
        if (!v.known)
            a.firstPassError(makeError(messages::notKnownInPass1, operand));
        condition = v.known && v.value != 0;
    } catch (const AsmError& error) {
        a.firstPassError(error);
    }
    a.beginIf(condition);
}

void ifDefined(Assembly& a, const SourceLine& f, bool wanted) {
    if (a.pass() != 1)
        return;
    const std::string_view name = extractOperand(f.rest);
    if (a.active() && name.empty())
        a.firstPassError(makeError(messages::missingOperand));
    a.beginIf(a.active() && (a.symbols.find(name) != nullptr) == wanted);
}

void ifdef(Assembly& a, const SourceLine& f) {
    ifDefined(a, f, true);
}

void ifndef(Assembly& a, const SourceLine& f) {
    ifDefined(a, f, false);
}

void elseDirective(Assembly& a, const SourceLine&) {
    if (a.pass() == 1)
        a.elseIf();
}

void endif(Assembly& a, const SourceLine&) {
    if (a.pass() == 1)
        a.endIf();
}

// INCLUDE "file", <file> or file.
void include(Assembly& a, const SourceLine& f) {
    if (a.pass() != 1)
        return;
    std::string_view text = trim(f.rest);
    std::string_view name;
    if (!text.empty() && (text[0] == '"' || text[0] == '<')) {
        const std::size_t close = text.find(text[0] == '"' ? '"' : '>', 1);
        if (close == std::string_view::npos)
            throw makeError(messages::unterminatedString);
        name = text.substr(1, close - 1);
    } else {
        name = extractOperand(text);
    }
    if (name.empty())
        throw makeError(messages::missingFileName);
    a.include(name);
}

constexpr std::uint64_t packName(std::string_view name) {
    std::uint64_t key = 0;
    for (const char c : name)
        key = key << 8 | static_cast<unsigned char>(upperChar(c));
    return key;
}

struct Entry {
    std::uint64_t key;
    Directive directive;
};

constexpr Entry entry(std::string_view name, void (*handle)(Assembly&, const SourceLine&),
                      bool ownsLabel = false, bool conditional = false, bool hashForm = false) {
    return {packName(name), {name, handle, ownsLabel, conditional, hashForm, hashForm}};
}

const auto table = [] {
    std::array entries = {
        entry("ORG", org, true),
        entry("EQU", equ, true),
        entry("=", equ, true),
        entry("FCB", fcb),
        entry("DB", fcb),
        entry("FDB", fdb),
        entry("DW", fdb),
        entry("FCC", fcc),
        entry("RMB", rmb),
        entry("DS", rmb),
        entry("BSZ", bsz),
        entry("ZMB", bsz),
        entry("FILL", fill),
        entry("END", end),
        entry("OPT", opt),
        entry("NAM", ignored),
        entry("TTL", ignored),
        entry("PAGE", ignored),
        entry("SPC", ignored),
        entry("LIST", ignored),
        entry("NOLIST", ignored),
        entry("IF", ifExpression, false, true, true),
        entry("IFDEF", ifdef, false, true, true),
        entry("IFNDEF", ifndef, false, true, true),
        entry("ELSE", elseDirective, false, true, true),
        entry("ENDIF", endif, false, true, true),
        entry("ENDC", endif, false, true, true),
        entry("INCLUDE", include, false, false, true),
    };
    std::sort(entries.begin(), entries.end(),
              [](const Entry& x, const Entry& y) { return x.key < y.key; });
    return entries;
}();

} // namespace

const Directive* findDirective(std::string_view operation) {
    const bool hash = !operation.empty() && operation[0] == '#';
    if (hash)
        operation.remove_prefix(1);
    if (operation.empty() || operation.size() > 8)
        return nullptr;
    const std::uint64_t key = packName(operation);
    const auto it = std::lower_bound(table.begin(), table.end(), key,
                                     [](const Entry& e, std::uint64_t k) { return e.key < k; });
    if (it == table.end() || it->key != key || (hash && !it->directive.hashForm))
        return nullptr;
    return &it->directive;
}

} // namespace asmhc11
