#include "asmhc11/directives.h"

#include "asmhc11/assembly.h"
#include "asmhc11/messages.h"

#include <algorithm>
#include <cstdint>

namespace asmhc11 {

namespace {

void org(Assembly& a, const SourceLine& f) {
    LineMemo& memo = a.memo();
    const std::string_view operand = a.operand(f.rest);
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
    const std::string_view operand = a.operand(f.rest);
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
    a.emitData(a.operand(f.rest), false);
}

void fdb(Assembly& a, const SourceLine& f) {
    a.showAddress = true;
    a.emitData(a.operand(f.rest), true);
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
        a.emitData(a.operand(after.substr(1)), false);
}

void rmb(Assembly& a, const SourceLine& f) {
    a.showAddress = true;
    a.reserved = static_cast<std::size_t>(a.firstPassCount(a.operand(f.rest)));
}

void bsz(Assembly& a, const SourceLine& f) {
    a.showAddress = true;
    const std::int64_t count = a.firstPassCount(a.operand(f.rest));
    a.bytes().assign(static_cast<std::size_t>(count), 0);
}

void fill(Assembly& a, const SourceLine& f) {
    a.showAddress = true;
    const std::vector<std::string_view> parts = splitCommas(a.operand(f.rest));
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
    const std::string_view first = operandWord(f.rest);
    if (first.empty() || a.pass() != 2)
        return;
    if (isSymbolStart(first[0])) {
        std::size_t n = 0;
        while (n < first.size() && isSymbolChar(first[n]))
            ++n;
        if (!a.symbols.find(first.substr(0, n)))
            return;
    }
    const ExprValue v = a.evaluate(a.operand(f.rest));
    a.checkExtended(v);
    a.startAddress = static_cast<std::uint16_t>(v.value & 0xFFFF);
}

// OPT c / noc (cycle counts), cre (cross-reference), l / nol (listing on or
// off); the other options of older assemblers are accepted and ignored.
void opt(Assembly& a, const SourceLine& f) {
    for (const std::string_view word : splitCommas(operandWord(f.rest))) {
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
    try {
        const std::string_view operand = a.operand(f.rest);
        if (operand.empty())
            throw makeError(messages::missingOperand);
        const ExprValue v = a.evaluate(operand);
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
    const std::string_view name = operandWord(f.rest);
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
    const FileNameField field = fileNameField(f.rest);
    if (field.unterminated)
        throw makeError(messages::unterminatedString);
    if (field.name.empty())
        throw makeError(messages::missingFileName);
    a.include(field.name);
}

} // namespace

DirectiveHandler handlerOf(DirectiveKind kind) {
    switch (kind) {
    case DirectiveKind::Org:
        return org;
    case DirectiveKind::Equ:
        return equ;
    case DirectiveKind::Bytes:
        return fcb;
    case DirectiveKind::Words:
        return fdb;
    case DirectiveKind::String:
        return fcc;
    case DirectiveKind::Reserve:
        return rmb;
    case DirectiveKind::Zeros:
        return bsz;
    case DirectiveKind::Fill:
        return fill;
    case DirectiveKind::End:
        return end;
    case DirectiveKind::Options:
        return opt;
    case DirectiveKind::Ignored:
        return ignored;
    case DirectiveKind::If:
        return ifExpression;
    case DirectiveKind::IfDefined:
        return ifdef;
    case DirectiveKind::IfNotDefined:
        return ifndef;
    case DirectiveKind::Else:
        return elseDirective;
    case DirectiveKind::EndIf:
        return endif;
    case DirectiveKind::Include:
        return include;
    }
    return ignored;
}

} // namespace asmhc11
