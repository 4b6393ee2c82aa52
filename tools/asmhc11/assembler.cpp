#include "assembler.h"

#include "expression.h"
#include "messages.h"
#include "opcode_table.h"
#include "output_formats.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace asmhc11 {

namespace {

constexpr std::int64_t memoryEnd = 0x10000;
constexpr std::int64_t bootEnd = 0x200;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Lines end with CR LF, LF or a lone CR; a final line end adds no empty line.
std::vector<std::string_view> splitLines(std::string_view source) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < source.size(); ++i) {
        if (source[i] == '\n' || source[i] == '\r') {
            lines.push_back(source.substr(start, i - start));
            if (source[i] == '\r' && i + 1 < source.size() && source[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < source.size())
        lines.push_back(source.substr(start));
    return lines;
}

// Skips a quoted item starting at text[i]: 'c, 'c' or "...". Returns the index after it.
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

// The operand field: up to the first blank outside quotes (blanks next to a
// comma are allowed, as in "5, X"), or to a ';' comment.
std::string_view extractOperand(std::string_view rest) {
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

// Splits at the commas that are outside quotes and parentheses.
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

// Reads the fields of a bit instruction one at a time: they are separated
// by commas or blanks, and what follows the last one needed is a comment.
class FieldReader {
public:
    explicit FieldReader(std::string_view text) : text_(text) {}

    std::optional<std::string_view> next() {
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
        if (pos_ >= text_.size() || (text_[pos_] == ';' && !afterComma_))
            return std::nullopt;
        const std::size_t start = pos_;
        int depth = 0;
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == '\'' || c == '"') {
                pos_ = skipQuoted(text_, pos_);
                continue;
            }
            if (c == '(')
                ++depth;
            else if (c == ')')
                --depth;
            else if ((c == ',' && depth <= 0) || isBlank(c) || c == ';')
                break;
            ++pos_;
        }
        const std::string_view field = text_.substr(start, pos_ - start);
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
        afterComma_ = pos_ < text_.size() && text_[pos_] == ',';
        if (afterComma_)
            ++pos_;
        return field;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    bool afterComma_ = false;
};

enum class Directive { None, Org, Equ, Fcb, Fdb, Fcc, Rmb, Bsz, Fill, End, Ignored };

Directive findDirective(const std::string& name) {
    static const std::unordered_map<std::string, Directive> table = {
        {"ORG", Directive::Org},     {"EQU", Directive::Equ},      {"=", Directive::Equ},
        {"FCB", Directive::Fcb},     {"DB", Directive::Fcb},       {"FDB", Directive::Fdb},
        {"DW", Directive::Fdb},      {"FCC", Directive::Fcc},      {"RMB", Directive::Rmb},
        {"DS", Directive::Rmb},      {"BSZ", Directive::Bsz},      {"ZMB", Directive::Bsz},
        {"FILL", Directive::Fill},   {"END", Directive::End},      {"OPT", Directive::Ignored},
        {"NAM", Directive::Ignored}, {"TTL", Directive::Ignored},  {"PAGE", Directive::Ignored},
        {"SPC", Directive::Ignored}, {"LIST", Directive::Ignored}, {"NOLIST", Directive::Ignored},
    };
    const auto it = table.find(name);
    return it == table.end() ? Directive::None : it->second;
}

bool isKnownName(std::string_view token) {
    return findOpcode(token) != nullptr || findDirective(upper(token)) != Directive::None;
}

struct Fields {
    std::string_view label;
    std::string_view mnemonic;
    std::string_view rest; // after the mnemonic
};

// Label in column 1 (colon optional), or an indented label that ends with a colon.
Fields parseFields(std::string_view line) {
    Fields f;
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
    const bool columnOne = !isBlank(line[0]);
    const std::size_t colon = first.find(':');
    if (colon != std::string_view::npos) {
        // "LABEL:", or "LABEL:LDAA #1" with no blank after the colon.
        f.label = first.substr(0, colon);
        i = static_cast<std::size_t>(first.data() - line.data()) + colon + 1;
        first = token(i);
    } else if (columnOne) {
        // A mnemonic written in column 1 by mistake is taken as such, unless
        // what follows is itself a mnemonic or a directive.
        std::size_t j = i;
        const std::string_view second = token(j);
        if (!isKnownName(first) || (!second.empty() && isKnownName(second))) {
            f.label = first;
            first = second;
            i = j;
        }
    }
    if (first.empty() || first[0] == '*')
        return f;
    f.mnemonic = first;
    f.rest = line.substr(i);
    return f;
}

bool validSymbolName(std::string_view name) {
    if (name.empty() || !isSymbolStart(name[0]))
        return false;
    return std::all_of(name.begin(), name.end(), isSymbolChar);
}

struct LineMemo {
    std::size_t size = 0; // bytes the line takes: emitted plus reserved
    bool direct = false;  // direct addressing chosen in the first pass
    std::int64_t count = 0;
    std::optional<std::int64_t> origin;
    std::optional<std::string> firstPassError;
    std::optional<std::string> labelError;
};

struct SymbolEntry {
    std::string name;
    std::optional<std::int64_t> value;
    // An EQU whose value is not known after the first pass.
    std::string_view pendingExpression;
    std::int64_t pendingCounter = 0;
    bool pending = false;
    bool resolving = false; // on the resolution stack
    bool failed = false;    // cannot be resolved (cycle, error, undefined name)
};

class Assembler {
public:
    Assembler(std::string_view source, Mode mode, std::string_view sourceName)
        : mode_(mode), sourceName_(sourceName), lines_(splitLines(source)), memo_(lines_.size()) {}

    Result run() {
        runPass(1);
        resolvePendingEquates();
        runPass(2);
        finish();
        return std::move(result_);
    }

private:
    void runPass(int pass) {
        pass_ = pass;
        pc_ = 0;
        ended_ = false;
        for (std::size_t i = 0; i < lines_.size(); ++i)
            processLine(i);
    }

    // ---- symbols ----

    std::optional<std::int64_t> lookup(std::string_view name) {
        const auto it = symbolIndex_.find(upper(name));
        if (it == symbolIndex_.end())
            return std::nullopt;
        SymbolEntry& symbol = symbols_[it->second];
        if (!symbol.value && symbol.pending && resolvingEquates_ && !symbol.resolving &&
            !symbol.failed && !needed_)
            needed_ = it->second;
        return symbol.value;
    }

    // Defines a symbol in the first pass; false if it already was.
    bool define(std::string_view name, std::optional<std::int64_t> value) {
        const std::string key = upper(name);
        if (symbolIndex_.count(key))
            return false;
        symbolIndex_.emplace(key, symbols_.size());
        symbols_.push_back({std::string(name), value, {}, 0, false, false, false});
        return true;
    }

    // Resolves the EQUs left unknown by the first pass, each after the ones it
    // names, with an explicit stack: long chains cost no recursion, and every
    // symbol is settled once, so cycles and repeated names cost no more.
    void resolvePendingEquates() {
        resolvingEquates_ = true;
        std::vector<std::size_t> stack;
        for (std::size_t first = symbols_.size(); first-- > 0;) {
            if (!symbols_[first].pending || symbols_[first].value || symbols_[first].failed)
                continue;
            stack.push_back(first);
            symbols_[first].resolving = true;
            while (!stack.empty()) {
                SymbolEntry& symbol = symbols_[stack.back()];
                needed_.reset();
                bool error = false;
                try {
                    const ExprValue v =
                        evaluate(symbol.pendingExpression, symbol.pendingCounter, false);
                    if (v.known)
                        symbol.value = v.value;
                } catch (const AsmError&) {
                    // Reported by the second pass on the EQU line itself.
                    error = true;
                }
                if (!symbol.value && !error && needed_) {
                    symbols_[*needed_].resolving = true;
                    stack.push_back(*needed_);
                    continue;
                }
                symbol.failed = !symbol.value;
                symbol.resolving = false;
                stack.pop_back();
            }
        }
        resolvingEquates_ = false;
    }

    ExprValue evaluate(std::string_view text, std::int64_t counter, bool undefinedIsError) {
        ExprContext context;
        context.locationCounter = counter;
        context.lookup = [this](std::string_view name) { return lookup(name); };
        context.undefinedIsError = undefinedIsError;
        return evaluateExpression(text, context);
    }

    ExprValue evaluate(std::string_view text) { return evaluate(text, pcStart_, pass_ == 2); }

    // ---- errors ----

    // An error that does not stop the line: the line keeps its size.
    void report(const std::string& message) {
        if (pass_ != 2 || !listed_)
            return;
        listed_->errors.push_back(message);
        result_.errors.push_back({listed_->number, message});
    }
    void report(const AsmError& error) { report(std::string(error.what())); }

    // Reported in the second pass for a value the first pass needed.
    void firstPassError(const AsmError& error) {
        if (pass_ == 1)
            memo_[line_].firstPassError = error.what();
    }

    // ---- emission ----

    void emitByte(std::int64_t v) { bytes_.push_back(static_cast<std::uint8_t>(v & 0xFF)); }
    void emitWord(std::int64_t v) {
        emitByte(v >> 8);
        emitByte(v);
    }
    void emitOpcode(int opcode) {
        if (opcode > 0xFF)
            emitByte(opcode >> 8);
        emitByte(opcode);
    }

    void checkByte(const ExprValue& v) {
        if (v.known && (v.value < -128 || v.value > 0xFF))
            report(makeError(messages::byteOutOfRange, std::to_string(v.value)));
    }
    void checkWord(const ExprValue& v) {
        if (v.known && (v.value < -32768 || v.value > 0xFFFF))
            report(makeError(messages::wordOutOfRange, std::to_string(v.value)));
    }
    void checkOffset(const ExprValue& v) {
        if (v.known && (v.value < 0 || v.value > 0xFF))
            report(makeError(messages::offsetOutOfRange, std::to_string(v.value)));
    }
    void checkDirect(const ExprValue& v) {
        if (v.known && (v.value < 0 || v.value > 0xFF))
            report(makeError(messages::directOutOfRange, std::to_string(v.value)));
    }
    void checkExtended(const ExprValue& v) {
        if (v.known && (v.value < 0 || v.value > 0xFFFF))
            report(makeError(messages::addressOutOfRange, std::to_string(v.value)));
    }

    // A branch displacement from the end of the instruction, of `length` bytes.
    void emitDisplacement(std::string_view target, std::size_t length) {
        const ExprValue v = evaluate(target);
        const std::int64_t displacement = v.value - (pcStart_ + static_cast<std::int64_t>(length));
        if (v.known && pass_ == 2 && (displacement < -128 || displacement > 127))
            report(makeError(messages::branchOutOfRange, std::to_string(displacement)));
        emitByte(v.known ? displacement : 0);
    }

    // Copies the bytes of the finished line into memory (second pass).
    void commitBytes() {
        bool overflow = false, overlap = false, outsideBoot = false;
        for (std::size_t i = 0; i < bytes_.size(); ++i) {
            const std::int64_t address = pcStart_ + static_cast<std::int64_t>(i);
            if (address >= memoryEnd) {
                overflow = true;
                break;
            }
            const auto a = static_cast<std::size_t>(address);
            if (result_.used[a] && !overlap) {
                overlap = true;
                report(makeError(messages::addressInUse, hex4(address)));
            }
            if (mode_ == Mode::Boo && address >= bootEnd && !outsideBoot) {
                outsideBoot = true;
                report(makeError(messages::bootRange, hex4(address)));
            }
            result_.memory[a] = bytes_[i];
            result_.used[a] = true;
        }
        if (overflow)
            report(makeError(messages::memoryOverflow));
        result_.byteCount += bytes_.size();
    }

    static std::string hex4(std::int64_t v) {
        static constexpr char digits[] = "0123456789ABCDEF";
        std::string text = "$";
        for (int shift = 12; shift >= 0; shift -= 4)
            text += digits[(v >> shift) & 0xF];
        return text;
    }

    // ---- one line ----

    void processLine(std::size_t index) {
        line_ = index;
        const std::string_view text = lines_[index];
        ListedLine listed;
        listed.number = static_cast<int>(index) + 1;
        listed.text = text;
        listed_ = pass_ == 2 ? &listed : nullptr;
        if (ended_) {
            if (pass_ == 2)
                listing_.push_back(std::move(listed));
            return;
        }
        LineMemo& memo = memo_[index];
        pcStart_ = pc_;
        bytes_.clear();
        reserved_ = 0;
        showAddress_ = false;
        equValue_.reset();
        if (pass_ == 2 && memo.labelError)
            report(*memo.labelError);
        if (pass_ == 2 && memo.firstPassError)
            report(*memo.firstPassError);

        bool completed = false;
        try {
            handleFields(parseFields(text));
            completed = true;
        } catch (const AsmError& error) {
            report(error);
        }

        if (pass_ == 1) {
            memo.size = bytes_.size() + reserved_;
        } else {
            if (completed && bytes_.size() + reserved_ != memo.size)
                report(makeError(messages::phaseError));
            if (completed)
                commitBytes();
            if (showAddress_)
                listed.address = static_cast<std::uint16_t>(pcStart_ & 0xFFFF);
            listed.value = equValue_;
            if (completed)
                listed.bytes = bytes_;
        }
        if (!memo.origin)
            pc_ = pcStart_ + static_cast<std::int64_t>(memo.size);
        if (pc_ > memoryEnd) {
            if (bytes_.empty())
                report(makeError(messages::memoryOverflow));
            pc_ = memoryEnd;
        }
        if (pass_ == 2)
            listing_.push_back(std::move(listed));
        listed_ = nullptr;
    }

    void handleFields(const Fields& f) {
        const std::string mnemonic = upper(f.mnemonic);
        const Directive directive = findDirective(mnemonic);
        const OpcodeEntry* entry = directive == Directive::None ? findOpcode(mnemonic) : nullptr;
        if (!f.label.empty() && directive != Directive::Equ && directive != Directive::Org)
            defineLabel(f.label, pcStart_);
        if (f.mnemonic.empty()) {
            showAddress_ = !f.label.empty();
            return;
        }
        if (directive != Directive::None) {
            handleDirective(directive, f);
            return;
        }
        if (!entry)
            throw makeError(messages::unknownInstruction, f.mnemonic);
        showAddress_ = true;
        switch (entry->kind) {
        case InstructionKind::Inherent:
            emitOpcode(entry->inherent);
            break;
        case InstructionKind::Relative: {
            const std::string_view operand = extractOperand(f.rest);
            if (operand.empty())
                throw makeError(messages::missingBranchTarget);
            emitOpcode(entry->inherent);
            emitDisplacement(operand, bytes_.size() + 1);
            break;
        }
        case InstructionKind::General:
            encodeGeneral(*entry, mnemonic, extractOperand(f.rest));
            break;
        case InstructionKind::BitSet:
        case InstructionKind::BitBranch:
            encodeBit(*entry, f.rest);
            break;
        }
    }

    void defineLabel(std::string_view label, std::int64_t value) {
        if (!validSymbolName(label))
            throw makeError(messages::badLabel, label);
        if (pass_ == 1 && !define(label, value))
            memo_[line_].labelError = makeError(messages::duplicateSymbol, label).what();
    }

    void encodeGeneral(const OpcodeEntry& entry, const std::string& mnemonic,
                       std::string_view operand) {
        if (operand.empty())
            throw makeError(messages::missingOperand);
        if (operand[0] == '#') {
            if (entry.immediate == noOpcode)
                throw makeError(messages::immediateImpossible, mnemonic);
            const ExprValue v = evaluate(operand.substr(1));
            emitOpcode(entry.immediate);
            if (entry.wordImmediate) {
                checkWord(v);
                emitWord(v.value);
            } else {
                checkByte(v);
                emitByte(v.value);
            }
            return;
        }
        const std::vector<std::string_view> parts = splitCommas(operand);
        if (parts.size() == 2) {
            const std::string reg = upper(parts[1]);
            if (reg != "X" && reg != "Y")
                throw makeError(messages::badIndexRegister, parts[1]);
            const int opcode = reg == "X" ? entry.indexedX : entry.indexedY;
            if (opcode == noOpcode)
                throw makeError(messages::indexedImpossible, mnemonic);
            const ExprValue v = parts[0].empty() ? ExprValue{} : evaluate(parts[0]);
            emitOpcode(opcode);
            checkOffset(v);
            emitByte(v.value);
            return;
        }
        if (parts.size() > 2)
            throw makeError(messages::modeImpossible, mnemonic);

        const char force = operand[0] == '<' || operand[0] == '>' ? operand[0] : '\0';
        const ExprValue v = evaluate(force ? operand.substr(1) : operand);
        bool direct = false;
        if (force == '<') {
            if (entry.direct == noOpcode)
                throw makeError(messages::directImpossible, mnemonic);
            direct = true;
        } else if (force == '\0') {
            if (pass_ == 1)
                memo_[line_].direct =
                    entry.direct != noOpcode && v.known && v.value >= 0 && v.value <= 0xFF;
            direct = memo_[line_].direct;
        }
        if (direct) {
            emitOpcode(entry.direct);
            checkDirect(v);
            emitByte(v.value);
        } else {
            if (entry.extended == noOpcode)
                throw makeError(messages::modeImpossible, mnemonic);
            emitOpcode(entry.extended);
            checkExtended(v);
            emitWord(v.value);
        }
    }

    // BSET opr,mask  BCLR off,X,mask  BRSET opr,mask,label  BRCLR off,Y,mask,label
    void encodeBit(const OpcodeEntry& entry, std::string_view rest) {
        FieldReader reader(rest);
        const auto address = reader.next();
        if (!address)
            throw makeError(messages::missingOperand);
        auto second = reader.next();
        if (!second)
            throw makeError(messages::missingMask);
        const std::string reg = upper(*second);
        const bool indexed = reg == "X" || reg == "Y";
        std::optional<std::string_view> mask = second;
        if (indexed) {
            mask = reader.next();
            if (!mask)
                throw makeError(messages::missingMask);
        }
        std::optional<std::string_view> target;
        if (entry.kind == InstructionKind::BitBranch) {
            target = reader.next();
            if (!target)
                throw makeError(messages::missingBranchTarget);
        }
        std::string_view maskText = *mask;
        if (!maskText.empty() && maskText[0] == '#')
            maskText.remove_prefix(1);

        if (indexed) {
            const ExprValue offset = address->empty() ? ExprValue{} : evaluate(*address);
            emitOpcode(reg == "X" ? entry.indexedX : entry.indexedY);
            checkOffset(offset);
            emitByte(offset.value);
        } else {
            std::string_view addressText = *address;
            if (!addressText.empty() && addressText[0] == '<')
                addressText.remove_prefix(1);
            if (addressText.empty())
                throw makeError(messages::missingOperand);
            const ExprValue v = evaluate(addressText);
            emitOpcode(entry.direct);
            checkDirect(v);
            emitByte(v.value);
        }
        const ExprValue maskValue = evaluate(maskText);
        checkByte(maskValue);
        emitByte(maskValue.value);
        if (target)
            emitDisplacement(*target, bytes_.size() + 1);
    }

    // A count that the first pass must know, since it moves the location counter.
    std::int64_t firstPassCount(std::string_view operand) {
        LineMemo& memo = memo_[line_];
        if (pass_ == 2)
            return memo.count;
        if (operand.empty())
            throw makeError(messages::missingOperand);
        const ExprValue v = evaluate(operand);
        if (!v.known) {
            firstPassError(makeError(messages::notKnownInPass1, operand));
            return memo.count = 0;
        }
        if (v.value < 0) {
            firstPassError(makeError(messages::negativeCount, std::to_string(v.value)));
            return memo.count = 0;
        }
        if (pcStart_ + v.value > memoryEnd) {
            firstPassError(makeError(messages::memoryOverflow));
            return memo.count = memoryEnd - pcStart_;
        }
        return memo.count = v.value;
    }

    void emitData(std::string_view operand, bool words) {
        if (operand.empty())
            throw makeError(messages::missingOperand);
        for (const std::string_view item : splitCommas(operand)) {
            if (!item.empty() && item[0] == '"') {
                if (item.size() < 2 || item.back() != '"')
                    throw makeError(messages::unterminatedString);
                for (const char c : item.substr(1, item.size() - 2))
                    words ? emitWord(static_cast<unsigned char>(c))
                          : emitByte(static_cast<unsigned char>(c));
                continue;
            }
            if (item.empty())
                throw makeError(messages::missingValue);
            const ExprValue v = evaluate(item);
            if (words) {
                checkWord(v);
                emitWord(v.value);
            } else {
                checkByte(v);
                emitByte(v.value);
            }
        }
    }

    void handleDirective(Directive directive, const Fields& f) {
        LineMemo& memo = memo_[line_];
        switch (directive) {
        case Directive::Org: {
            const std::string_view operand = extractOperand(f.rest);
            if (pass_ == 1) {
                if (operand.empty())
                    throw makeError(messages::missingOperand);
                const ExprValue v = evaluate(operand);
                if (!v.known)
                    firstPassError(makeError(messages::notKnownInPass1, operand));
                else if (v.value < 0 || v.value > 0xFFFF)
                    firstPassError(makeError(messages::addressOutOfRange, std::to_string(v.value)));
                else
                    memo.origin = v.value;
            }
            if (memo.origin) {
                pc_ = *memo.origin;
                pcStart_ = pc_;
            }
            if (!f.label.empty())
                defineLabel(f.label, pcStart_);
            showAddress_ = true;
            break;
        }
        case Directive::Equ: {
            if (f.label.empty())
                throw makeError(messages::equNeedsLabel);
            if (!validSymbolName(f.label))
                throw makeError(messages::badLabel, f.label);
            const std::string_view operand = extractOperand(f.rest);
            if (operand.empty())
                throw makeError(messages::missingOperand);
            if (pass_ == 1) {
                ExprValue v{0, false};
                try {
                    v = evaluate(operand);
                } catch (const AsmError&) {
                    // The second pass reports it.
                }
                if (!define(f.label, v.known ? std::optional(v.value) : std::nullopt)) {
                    memo.labelError = makeError(messages::duplicateSymbol, f.label).what();
                } else if (!v.known) {
                    SymbolEntry& symbol = symbols_.back();
                    symbol.pending = true;
                    symbol.pendingExpression = operand;
                    symbol.pendingCounter = pcStart_;
                }
            } else {
                const ExprValue v = evaluate(operand);
                equValue_ = v.value;
            }
            break;
        }
        case Directive::Fcb:
        case Directive::Fdb:
            showAddress_ = true;
            emitData(extractOperand(f.rest), directive == Directive::Fdb);
            break;
        case Directive::Fcc:
            showAddress_ = true;
            encodeFcc(f.rest);
            break;
        case Directive::Rmb:
            showAddress_ = true;
            reserved_ = static_cast<std::size_t>(firstPassCount(extractOperand(f.rest)));
            break;
        case Directive::Bsz: {
            showAddress_ = true;
            const std::int64_t count = firstPassCount(extractOperand(f.rest));
            bytes_.assign(static_cast<std::size_t>(count), 0);
            break;
        }
        case Directive::Fill: {
            showAddress_ = true;
            const std::vector<std::string_view> parts = splitCommas(extractOperand(f.rest));
            if (parts.size() != 2 || parts[0].empty() || parts[1].empty())
                throw makeError(messages::missingOperand);
            const std::int64_t count = firstPassCount(parts[1]);
            const ExprValue v = evaluate(parts[0]);
            checkByte(v);
            bytes_.assign(static_cast<std::size_t>(count), static_cast<std::uint8_t>(v.value));
            break;
        }
        case Directive::End: {
            ended_ = true;
            const std::string_view operand = extractOperand(f.rest);
            if (!operand.empty() && pass_ == 2) {
                const ExprValue v = evaluate(operand);
                checkExtended(v);
                result_.startAddress = static_cast<std::uint16_t>(v.value & 0xFFFF);
            }
            break;
        }
        case Directive::Ignored:
        case Directive::None:
            break;
        }
    }

    // FCC /text/ with any delimiter; more items may follow after a comma.
    void encodeFcc(std::string_view rest) {
        rest = trim(rest);
        if (rest.empty())
            throw makeError(messages::missingOperand);
        const char delimiter = rest[0];
        const std::size_t close = rest.find(delimiter, 1);
        if (close == std::string_view::npos)
            throw makeError(messages::unterminatedString);
        if (close == 1)
            throw makeError(messages::emptyString);
        for (const char c : rest.substr(1, close - 1))
            emitByte(static_cast<unsigned char>(c));
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty() && after[0] == ',')
            emitData(extractOperand(after.substr(1)), false);
    }

    void finish() {
        // Symbols sorted by name, case ignored.
        std::vector<std::pair<std::string, const SymbolEntry*>> sorted;
        sorted.reserve(symbols_.size());
        for (const SymbolEntry& symbol : symbols_)
            sorted.emplace_back(upper(symbol.name), &symbol);
        std::sort(sorted.begin(), sorted.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [key, symbol] : sorted)
            result_.symbols.push_back({symbol->name, symbol->value});

        result_.listing = makeListing(listing_, result_, sourceName_);
        if (result_.ok()) {
            result_.s19 = makeS19(result_);
            if (mode_ == Mode::Boo)
                result_.boo = makeBootImage(result_);
        }
    }

    Mode mode_;
    std::string_view sourceName_;
    std::vector<std::string_view> lines_;
    std::vector<LineMemo> memo_;
    std::vector<SymbolEntry> symbols_;
    std::unordered_map<std::string, std::size_t> symbolIndex_;
    bool resolvingEquates_ = false;
    std::optional<std::size_t> needed_; // a pending EQU the expression being resolved names

    int pass_ = 1;
    std::int64_t pc_ = 0;
    bool ended_ = false;
    // The line being assembled.
    std::size_t line_ = 0;
    std::int64_t pcStart_ = 0;
    std::vector<std::uint8_t> bytes_;
    std::size_t reserved_ = 0;
    bool showAddress_ = false;
    std::optional<std::int64_t> equValue_;
    ListedLine* listed_ = nullptr;

    std::vector<ListedLine> listing_;
    Result result_;
};

} // namespace

std::vector<Segment> Result::segments() const {
    std::vector<Segment> out;
    for (std::size_t a = 0; a < used.size(); ++a) {
        if (!used[a])
            continue;
        if (out.empty() || out.back().address + out.back().bytes.size() != a)
            out.push_back({static_cast<std::uint16_t>(a), {}});
        out.back().bytes.push_back(memory[a]);
    }
    return out;
}

Result assembleSource(std::string_view source, Mode mode, std::string_view sourceName) {
    try {
        return Assembler(source, mode, sourceName).run();
    } catch (const std::exception&) {
        // Only memory exhaustion can get here; answer with an error, not a crash.
        Result result;
        result.errors.push_back({0, makeError(messages::memoryOverflow).what()});
        return result;
    }
}

} // namespace asmhc11
