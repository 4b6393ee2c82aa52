#include "asmhc11/assembler.h"

#include "asmhc11/assembly.h"
#include "asmhc11/directives.h"
#include "asmhc11/encoding.h"
#include "asmhc11/messages.h"
#include "asmhc11/output_formats.h"
#include "common/hex_text.h"
#include "common/utf8_text.h"
#include "hc11/instruction_set.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace asmhc11 {

namespace {

constexpr std::int64_t bootEnd = 0x200;
constexpr std::size_t maxIncludeDepth = 16;
constexpr std::size_t maxIncludedFiles = 0xFFFF;
constexpr std::size_t maxStreamLines = 0x7FFFFFFF;

namespace fs = std::filesystem;

fs::path pathOf(std::string_view utf8) {
    return kavrel::utf8::toPath(utf8);
}

std::string utf8Of(const fs::path& path) {
    return kavrel::utf8::fromPath(path);
}

std::optional<std::string> readFromDisk(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(pathOf(path), ec))
        return std::nullopt;
    std::ifstream in(pathOf(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return data;
}

std::string keyOf(const std::string& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(pathOf(path), ec);
    return utf8Of((ec ? pathOf(path) : absolute).lexically_normal());
}

bool isJump(std::string_view mnemonic) {
    return mnemonic == "JMP" || mnemonic == "JSR";
}

// Lines end with CR LF, LF or a lone CR; a final line end adds no empty line.
// A file without any CR is cut at LF alone, which is faster.
struct LineBounds {
    std::size_t end;  // of the text
    std::size_t next; // start of the next line
};

LineBounds lineAt(std::string_view text, std::size_t offset, bool hasCarriageReturn) {
    std::size_t end = offset;
    if (hasCarriageReturn) {
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
    } else {
        end = std::min(text.find('\n', offset), text.size());
    }
    const bool crlf = end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n';
    return {end, end + (crlf ? 2 : 1)};
}

std::string upperName(std::string_view name) {
    std::string upper(name);
    for (char& c : upper)
        c = upperChar(c);
    return upper;
}

} // namespace

Assembly::Assembly(std::string_view source, const Options& options) : options_(options) {
    if (!options_.readFile)
        options_.readFile = readFromDisk;
    isSymbol_ = [this](std::string_view name) { return programNames_.contains(upperName(name)); };
    files_.push_back(
        {options_.path, keyOf(options_.path), source, source.find('\r') != std::string_view::npos});
    result_.lineMap.files.push_back(options_.path);
    result_.lineMap.texts.emplace_back(source);
    mapFiles_.push_back(0);
    stream_.reserve(static_cast<std::size_t>(std::count(source.begin(), source.end(), '\n') +
                                             std::count(source.begin(), source.end(), '\r')) +
                    1);
}

Result Assembly::run() {
    std::unordered_set<std::string> seen = {files_[0].key};
    collectNames(files_[0].path, files_[0].text, seen, 1);
    runPass(1);
    symbols.resolvePending([this](std::string_view expression, std::int64_t counter) {
        return evaluate(expression, counter, false);
    });
    runPass(2);
    finish();
    return std::move(result_);
}

void Assembly::runPass(int pass) {
    pass_ = pass;
    pc = 0;
    ended = false;
    cycleCounting = false;
    listingOn = true;
    if (pass == 1) {
        readStream();
        return;
    }
    listing_.begin(options_.title, stream_.size());
    if (cycleOptionUsed)
        cycleTotal_ = 0;
    for (std::size_t i = 0; i < stream_.size(); ++i)
        processLine(i);
}

// The first pass reads the main source and, at each INCLUDE, the included
// file before the rest: the lines it reads make the stream of the second pass.
void Assembly::readStream() {
    open_.push_back({0});
    while (!open_.empty()) {
        OpenFile& top = open_.back();
        const std::string_view text = files_[top.file].text;
        if (top.offset >= text.size()) {
            open_.pop_back();
            continue;
        }
        const LineBounds bounds = lineAt(text, top.offset, files_[top.file].hasCarriageReturn);
        const std::size_t end = bounds.end;
        if (stream_.size() >= maxStreamLines)
            return; // beyond 4 Gio of text: nothing more is read
        StreamLine line;
        line.file = static_cast<std::uint16_t>(top.file);
        line.number = ++top.number;
        line.offset = static_cast<std::uint32_t>(top.offset);
        line.length = static_cast<std::uint32_t>(end - top.offset);
        top.offset = bounds.next;
        stream_.push_back(line);
        processLine(stream_.size() - 1);
    }
    // After END nothing more is read: an IF still open there is no fault.
    for (const Condition& condition : conditions_) {
        if (ended)
            break;
        line_ = condition.line;
        firstPassError(makeError(messages::ifWithoutEndif));
    }
    conditions_.clear();
}

// An included file is looked for beside the file that includes it.
std::string Assembly::includePath(const std::string& includer, std::string_view name) const {
    fs::path path = pathOf(cp1252ToUtf8(name));
    if (path.is_relative() && !includer.empty())
        path = pathOf(includer).parent_path() / path;
    path.make_preferred(); // "inc/defs.inc" named with the system's own separators
    return utf8Of(path);
}

// Each file is read once, by the first of the name scan and the first pass to need it.
const std::string* Assembly::load(const std::string& path, const std::string& key) {
    const auto known = loaded_.find(key);
    if (known != loaded_.end())
        return known->second;
    std::optional<std::string> text = options_.readFile(path);
    const std::string* kept = nullptr;
    if (text) {
        texts_.push_back(std::make_unique<std::string>(std::move(*text)));
        kept = texts_.back().get();
    }
    loaded_.emplace(key, kept);
    return kept;
}

// Before the first pass: the names of every label field of the source and of
// the files it includes, under any condition, so that the first pass already
// knows which names an operand may continue through.
void Assembly::collectNames(const std::string& path, std::string_view text,
                            std::unordered_set<std::string>& seen, std::size_t depth) {
    const bool hasCarriageReturn = text.find('\r') != std::string_view::npos;
    for (std::size_t offset = 0; offset < text.size();) {
        const LineBounds bounds = lineAt(text, offset, hasCarriageReturn);
        const SourceLine fields = splitFields(text.substr(offset, bounds.end - offset));
        offset = bounds.next;
        if (!fields.label.empty())
            programNames_.insert(upperName(fields.label));
        if (fields.operation.size() < 7)
            continue; // shorter than INCLUDE
        const DirectiveSyntax* directive = findDirective(fields.operation);
        if (!directive || directive->kind != DirectiveKind::Include)
            continue;
        const std::string_view name = fileNameField(fields.rest).name;
        if (name.empty() || depth >= maxIncludeDepth || seen.size() >= maxIncludedFiles)
            continue;
        const std::string included = includePath(path, name);
        const std::string key = keyOf(included);
        if (!seen.insert(key).second)
            continue;
        if (const std::string* includedText = load(included, key))
            collectNames(included, *includedText, seen, depth + 1);
    }
}

void Assembly::include(std::string_view name) {
    if (ended)
        return;
    const std::string pathText = includePath(files_[stream_[line_].file].path, name);
    const std::string key = keyOf(pathText);
    for (const OpenFile& open : open_)
        if (files_[open.file].key == key)
            throw makeError(messages::includeLoop, name);
    if (open_.size() >= maxIncludeDepth || files_.size() >= maxIncludedFiles)
        throw makeError(messages::includeTooDeep, name);
    const std::string* text = load(pathText, key);
    if (!text)
        throw makeError(messages::includeNotFound, name);
    files_.push_back({pathText, key, *text, text->find('\r') != std::string::npos});
    open_.push_back({static_cast<std::uint32_t>(files_.size() - 1)});
}

void Assembly::beginIf(bool condition) {
    const bool parent = active();
    conditions_.push_back({parent && condition, parent, false, line_});
}

void Assembly::elseIf() {
    if (conditions_.empty())
        throw makeError(messages::elseWithoutIf);
    Condition& c = conditions_.back();
    if (c.elseSeen)
        throw makeError(messages::doubleElse);
    c.elseSeen = true;
    c.active = c.parentActive && !c.active;
}

void Assembly::endIf() {
    if (conditions_.empty())
        throw makeError(messages::endifWithoutIf);
    conditions_.pop_back();
}

ExprValue Assembly::evaluate(std::string_view text, std::int64_t counter, bool undefinedIsError) {
    ExprContext context;
    context.locationCounter = counter;
    context.lookup = [this](std::string_view name) { return symbols.lookup(name); };
    context.undefinedIsError = undefinedIsError;
    context.strayHash = &strayHash_;
    return evaluateExpression(text, context);
}

// A value whose size the line already knows: the first pass skips it.
ExprValue Assembly::valueOf(std::string_view text) {
    if (pass_ == 1)
        return {0, false};
    return evaluate(text);
}

std::string_view Assembly::operand(std::string_view rest) {
    const OperandReading reading = readOperand(rest, isSymbol_);
    noteDoubt(reading);
    return reading.operand;
}

// Where a blank could end the operand or not, the line says which reading it took.
void Assembly::noteDoubt(const OperandReading& reading) {
    if (doubt_ || reading.doubt == OperandReading::Doubt::None)
        return;
    if (reading.doubt == OperandReading::Doubt::ReadAsComment)
        doubt_ = makeError(messages::operandBeforeComment,
                           {reading.operand, reading.longer, reading.culprit})
                     .what();
    else
        doubt_ = makeError(messages::operandAcrossBlanks,
                           {reading.operand, reading.shorter, reading.comment})
                     .what();
}

void Assembly::report(const std::string& message, bool warning) {
    if (pass_ != 2 || !listed_)
        return;
    listed_->messages.push_back({warning, message});
    const StreamLine& line = stream_[line_];
    Diagnostic d{line.number, message, files_[line.file].path, warning};
    (warning ? result_.warnings : result_.errors).push_back(d);
    result_.diagnostics.push_back(std::move(d));
}

void Assembly::firstPassError(const AsmError& error) {
    if (pass_ != 1)
        return;
    Pending& p = pending_[line_];
    if (!p.value)
        p.value = error.what();
    stream_[line_].memo.hasPending = true;
}

void Assembly::labelError(const AsmError& error) {
    if (pass_ != 1)
        return;
    pending_[line_].label = error.what();
    stream_[line_].memo.hasPending = true;
}

void Assembly::checkByte(const ExprValue& v) {
    if (v.known && (v.value < -128 || v.value > 0xFF))
        report(makeError(messages::byteOutOfRange, std::to_string(v.value)));
}
void Assembly::checkWord(const ExprValue& v) {
    if (v.known && (v.value < -32768 || v.value > 0xFFFF))
        report(makeError(messages::wordOutOfRange, std::to_string(v.value)));
}
void Assembly::checkOffset(const ExprValue& v) {
    if (v.known && (v.value < 0 || v.value > 0xFF))
        report(makeError(messages::offsetOutOfRange, std::to_string(v.value)));
}
void Assembly::checkDirect(const ExprValue& v) {
    if (v.known && (v.value < 0 || v.value > 0xFF))
        report(makeError(messages::directOutOfRange, std::to_string(v.value)));
}
void Assembly::checkExtended(const ExprValue& v) {
    if (v.known && (v.value < 0 || v.value > 0xFFFF))
        report(makeError(messages::addressOutOfRange, std::to_string(v.value)));
}

// A branch displacement from the end of the instruction, of `length` bytes.
void Assembly::emitDisplacement(std::string_view target, std::size_t length) {
    const ExprValue v = valueOf(target);
    const std::int64_t displacement = v.value - (pcStart + static_cast<std::int64_t>(length));
    if (v.known && pass_ == 2 && (displacement < -128 || displacement > 127))
        report(makeError(messages::branchOutOfRange, std::to_string(displacement)));
    emitByte(v.known ? displacement : 0);
}

// Copies the bytes of the finished line into memory (second pass).
void Assembly::commitBytes() {
    bool overflow = false, overlap = false, outsideBoot = false;
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        const std::int64_t address = pcStart + static_cast<std::int64_t>(i);
        if (address >= memoryEnd) {
            overflow = true;
            break;
        }
        const auto a = static_cast<std::size_t>(address);
        if (result_.used[a] && !overlap) {
            overlap = true;
            report(makeError(messages::addressInUse,
                             kavrel::hex::word(static_cast<std::uint16_t>(address))));
        }
        if (options_.mode == Mode::Boo && address >= bootEnd && !outsideBoot) {
            outsideBoot = true;
            report(makeError(messages::bootRange,
                             kavrel::hex::word(static_cast<std::uint16_t>(address))));
        }
        result_.memory[a] = bytes_[i];
        result_.used[a] = true;
    }
    if (overflow)
        report(makeError(messages::memoryOverflow));
    result_.byteCount += bytes_.size();
}

void Assembly::processLine(std::size_t index) {
    line_ = index;
    StreamLine& line = stream_[index];
    ListedLine listed;
    if (pass_ == 2) {
        listed.number = line.number;
        listed.text = textOf(line);
        listed_ = &listed;
        if (crossReference)
            symbols.recordUses(index);
    }
    LineMemo& memo = line.memo;
    pcStart = pc;
    bytes_.clear();
    reserved = 0;
    showAddress = false;
    equValue.reset();
    cycles_ = 0;
    strayHash_ = false;
    doubt_.reset();

    SourceLine fields;
    bool completed = false;
    if (pass_ == 1 && !line.skipped) {
        fields = splitFields(textOf(line));
        if (ended) {
            line.skipped = true;
        } else if (!active()) {
            // Only the conditions themselves are read where a condition is false.
            const DirectiveSyntax* d = findDirective(fields.operation);
            line.skipped = !d || !d->conditional;
        }
    } else if (!line.skipped) {
        fields = splitFields(textOf(line));
    }
    // Conditions are read by the first pass alone: their names are noted then.
    const bool conditionUses = pass_ == 1 && crossReference && !line.skipped &&
                               findDirective(fields.operation) &&
                               findDirective(fields.operation)->firstPassOnly;
    if (conditionUses)
        symbols.recordUses(index);
    if (!line.skipped) {
        if (pass_ == 2 && memo.hasPending) {
            const Pending& p = pending_[index];
            if (p.label)
                report(*p.label);
            if (p.value)
                report(*p.value);
            if (p.warning)
                report(*p.warning, true);
        }
        try {
            handleFields(fields);
            completed = true;
        } catch (const AsmError& error) {
            report(error);
            // What only the first pass reads (conditions, includes) is not read again.
            const DirectiveSyntax* d = findDirective(fields.operation);
            if (pass_ == 1 && d && d->firstPassOnly)
                firstPassError(error);
        }
        if (strayHash_ && pass_ == 2)
            warn(makeError(messages::strayHash, readOperand(fields.rest, isSymbol_).operand));
        if (doubt_ && pass_ == 2) {
            report(*doubt_, true);
        } else if (doubt_) {
            // Conditions and includes are not read again: their doubt waits.
            const DirectiveSyntax* d = findDirective(fields.operation);
            if (d && d->firstPassOnly) {
                pending_[index].warning = std::move(doubt_);
                memo.hasPending = true;
            }
        }
    }
    if (conditionUses)
        symbols.stopRecording();

    if (pass_ == 1) {
        memo.size = static_cast<std::uint32_t>(bytes_.size() + reserved);
    } else {
        if (completed && bytes_.size() + reserved != memo.size)
            report(makeError(messages::phaseError));
        if (completed)
            commitBytes();
        if (!line.skipped && memo.size > 0)
            mapLine(line);
        if (showAddress)
            listed.address = static_cast<std::uint16_t>(pcStart & 0xFFFF);
        listed.value = equValue;
        if (completed) {
            listed.bytes = bytes_.data();
            listed.byteCount = bytes_.size();
        }
        listed.cycleColumn = cycleCounting;
        listed.cycles = completed ? cycles_ : 0;
        if (cycleCounting && cycleTotal_)
            *cycleTotal_ += listed.cycles;
    }
    if (memo.origin < 0)
        pc = pcStart + static_cast<std::int64_t>(memo.size);
    if (pc > memoryEnd) {
        if (bytes_.empty())
            report(makeError(messages::memoryOverflow));
        pc = memoryEnd;
    }
    if (pass_ == 2) {
        if (listingOn || !listed.messages.empty())
            listing_.add(listed);
        listed_ = nullptr;
    }
}

void Assembly::handleFields(const SourceLine& f) {
    // No directive spells a mnemonic: most lines are instructions, looked up first.
    const hc11::MnemonicModes* modes = hc11::findMnemonic(f.operation);
    const DirectiveSyntax* directive = modes ? nullptr : findDirective(f.operation);
    if (!f.label.empty() && !(directive && directive->ownsLabel))
        defineLabel(f.label, pcStart);
    if (f.operation.empty()) {
        showAddress = !f.label.empty();
        return;
    }
    if (directive) {
        handlerOf(directive->kind)(*this, f);
        return;
    }
    if (!modes) {
        // "dec" alone in column 1 is a label; "LDAA #1" there is a slip.
        if (f.labelInColumnOne && (hc11::isMnemonic(f.label) || findDirective(f.label)))
            throw makeError(messages::columnOneLabel, f.operation);
        throw makeError(messages::unknownInstruction, f.operation);
    }
    showAddress = true;
    encodeInstruction(*modes, modes->mnemonic, f);
}

void Assembly::defineLabel(std::string_view label, std::int64_t value) {
    if (label.empty() || !isSymbolStart(label[0]) ||
        !std::all_of(label.begin(), label.end(), isSymbolChar))
        throw makeError(messages::badLabel, label);
    if (pass_ == 1 && !symbols.define(label, value, line_))
        labelError(makeError(messages::duplicateSymbol, label));
}

namespace {

void emitOpcode(Assembly& a, const hc11::Instruction& instruction) {
    if (instruction.page != hc11::Page::P1)
        a.emitByte(hc11::prebyteOf(instruction.page));
    a.emitByte(instruction.opcode);
}

} // namespace

void Assembly::encodeInstruction(const hc11::MnemonicModes& modes, std::string_view name,
                                 const SourceLine& f) {
    using hc11::Mode;
    if (const hc11::Instruction* i = modes.in(Mode::Inherent)) {
        emitOpcode(*this, *i);
        cycles_ = i->cycles;
        return;
    }
    if (const hc11::Instruction* i = modes.in(Mode::Relative)) {
        const std::string_view target = operand(f.rest);
        if (target.empty())
            throw makeError(messages::missingBranchTarget);
        emitOpcode(*this, *i);
        cycles_ = i->cycles;
        emitDisplacement(target, bytes_.size() + 1);
        return;
    }
    if (modes.in(Mode::BitDirect) || modes.in(Mode::BitBranchDirect)) {
        encodeBit(modes, f.rest);
        return;
    }
    encodeGeneral(modes, name, operand(f.rest));
}

void Assembly::encodeGeneral(const hc11::MnemonicModes& modes, std::string_view name,
                             std::string_view operand) {
    using hc11::Mode;
    const std::string mnemonic(name);
    if (operand.empty())
        throw makeError(messages::missingOperand);
    auto emit = [this](const hc11::Instruction& i) {
        emitOpcode(*this, i);
        cycles_ = i.cycles;
    };
    char force = '\0';
    if (operand[0] == '#') {
        const hc11::Instruction* i = modes.in(Mode::Immediate8);
        if (!i)
            i = modes.in(Mode::Immediate16);
        if (!i && isJump(mnemonic)) {
            // "JMP #start": older assemblers read the address and jump to it.
            strayHash_ = true;
            operand.remove_prefix(1);
            force = '>';
        } else {
            if (!i)
                throw makeError(messages::immediateImpossible, mnemonic);
            const ExprValue v = valueOf(operand.substr(1));
            emit(*i);
            if (i->mode == Mode::Immediate16) {
                checkWord(v);
                emitWord(v.value);
            } else {
                checkByte(v);
                emitByte(v.value);
            }
            return;
        }
    }
    const std::size_t comma = operand.find(',');
    if (comma != std::string_view::npos && force == '\0') {
        const std::vector<std::string_view> parts = splitCommas(operand);
        if (parts.size() == 2) {
            const std::string_view reg = parts[1];
            const bool x = equalNoCase(reg, "X");
            if (!x && !equalNoCase(reg, "Y"))
                throw makeError(messages::badIndexRegister, parts[1]);
            const hc11::Instruction* i = modes.in(x ? Mode::IndexedX : Mode::IndexedY);
            if (!i)
                throw makeError(messages::indexedImpossible, mnemonic);
            const ExprValue v = parts[0].empty() ? ExprValue{} : valueOf(parts[0]);
            emit(*i);
            checkOffset(v);
            emitByte(v.value);
            return;
        }
        if (parts.size() > 2)
            throw makeError(messages::modeImpossible, mnemonic);
    }
    if (force == '\0' && (operand[0] == '<' || operand[0] == '>')) {
        force = operand[0];
        operand.remove_prefix(1);
    }
    const ExprValue v = evaluate(operand);
    const hc11::Instruction* direct = modes.in(Mode::Direct);
    bool useDirect = false;
    if (force == '<') {
        if (!direct)
            throw makeError(messages::directImpossible, mnemonic);
        useDirect = true;
    } else if (force == '\0') {
        if (pass_ == 1)
            memo().direct = direct && v.known && v.value >= 0 && v.value <= 0xFF;
        useDirect = memo().direct;
    }
    if (useDirect) {
        emit(*direct);
        checkDirect(v);
        emitByte(v.value);
    } else {
        const hc11::Instruction* extended = modes.in(Mode::Extended);
        if (!extended)
            throw makeError(messages::modeImpossible, mnemonic);
        emit(*extended);
        checkExtended(v);
        emitWord(v.value);
    }
}

// BSET opr,mask  BCLR off,X,mask  BRSET opr,mask,label  BRCLR off,Y,mask,label
void Assembly::encodeBit(const hc11::MnemonicModes& modes, std::string_view rest) {
    using hc11::Mode;
    const bool branch = modes.in(Mode::BitBranchDirect) != nullptr;
    FieldReader reader(rest, isSymbol_);
    const auto address = reader.next();
    if (!address)
        throw makeError(messages::missingOperand);
    auto second = reader.next();
    if (!second)
        throw makeError(messages::missingMask);
    const bool x = equalNoCase(*second, "X");
    const bool indexed = x || equalNoCase(*second, "Y");
    std::optional<std::string_view> mask = second;
    if (indexed) {
        mask = reader.next();
        if (!mask)
            throw makeError(messages::missingMask);
    }
    std::optional<std::string_view> target;
    if (branch) {
        target = reader.next();
        if (!target)
            throw makeError(messages::missingBranchTarget);
    }
    // What follows the last field is a comment: its doubt is the line's.
    noteDoubt(reader.reading());
    std::string_view maskText = *mask;
    if (!maskText.empty() && maskText[0] == '#')
        maskText.remove_prefix(1);

    const Mode mode = indexed ? (x ? (branch ? Mode::BitBranchIndexedX : Mode::BitIndexedX)
                                   : (branch ? Mode::BitBranchIndexedY : Mode::BitIndexedY))
                              : (branch ? Mode::BitBranchDirect : Mode::BitDirect);
    const hc11::Instruction& instruction = *modes.in(mode);
    if (indexed) {
        const ExprValue offset = address->empty() ? ExprValue{} : valueOf(*address);
        emitOpcode(*this, instruction);
        checkOffset(offset);
        emitByte(offset.value);
    } else {
        std::string_view addressText = *address;
        if (!addressText.empty() && addressText[0] == '<')
            addressText.remove_prefix(1);
        if (addressText.empty())
            throw makeError(messages::missingOperand);
        const ExprValue v = valueOf(addressText);
        emitOpcode(*this, instruction);
        checkDirect(v);
        emitByte(v.value);
    }
    cycles_ = instruction.cycles;
    const ExprValue maskValue = valueOf(maskText);
    checkByte(maskValue);
    emitByte(maskValue.value);
    if (target)
        emitDisplacement(*target, bytes_.size() + 1);
}

// A count that the first pass must know, since it moves the location counter.
std::int64_t Assembly::firstPassCount(std::string_view operand) {
    LineMemo& m = memo();
    if (pass_ == 2)
        return m.count;
    if (operand.empty())
        throw makeError(messages::missingOperand);
    const ExprValue v = evaluate(operand);
    if (!v.known) {
        firstPassError(makeError(messages::notKnownInPass1, operand));
        return m.count = 0;
    }
    if (v.value < 0) {
        firstPassError(makeError(messages::negativeCount, std::to_string(v.value)));
        return m.count = 0;
    }
    if (pcStart + v.value > memoryEnd) {
        firstPassError(makeError(messages::memoryOverflow));
        return m.count = static_cast<std::int32_t>(memoryEnd - pcStart);
    }
    return m.count = static_cast<std::int32_t>(v.value);
}

void Assembly::emitData(std::string_view operand, bool words) {
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
        const ExprValue v = valueOf(item);
        if (words) {
            checkWord(v);
            emitWord(v.value);
        } else {
            checkByte(v);
            emitByte(v.value);
        }
    }
}

// "12" in the main source, "file.inc:12" in an included one.
std::string Assembly::where(std::size_t index) const {
    const StreamLine& line = stream_[index];
    std::string text;
    if (line.file != 0) {
        text = utf8ToCp1252(utf8Of(pathOf(files_[line.file].path).filename()));
        text += ':';
    }
    return text + std::to_string(line.number);
}

void Assembly::finish() {
    result_.startAddress = startAddress;
    const std::vector<const SymbolEntry*> sorted = symbols.sorted();
    result_.symbols.reserve(sorted.size());
    for (const SymbolEntry* symbol : sorted)
        result_.symbols.push_back({symbol->name, symbol->value});
    std::vector<CrossReference> references;
    if (crossReference) {
        for (const SymbolEntry* symbol : sorted) {
            CrossReference r{symbol->name, symbol->value, where(symbol->definedAt), {}};
            std::vector<std::size_t> uses = symbol->usedAt;
            std::sort(uses.begin(), uses.end());
            uses.erase(std::unique(uses.begin(), uses.end()), uses.end());
            for (const std::size_t use : uses)
                r.usedAt.push_back(where(use));
            references.push_back(std::move(r));
        }
    }
    result_.listing = listing_.finish(result_, cycleTotal_, crossReference ? &references : nullptr);
    if (result_.ok()) {
        result_.s19 = makeS19(result_);
        if (options_.mode == Mode::Boo)
            result_.boo = makeBootImage(result_);
    }
}

void Assembly::mapLine(const StreamLine& line) {
    LineMap& map = result_.lineMap;
    if (mapFiles_.size() < files_.size())
        mapFiles_.resize(files_.size(), -1);
    int& file = mapFiles_[line.file];
    if (file < 0) {
        // A file included twice is one file of the map.
        const std::string& path = files_[line.file].path;
        const auto known = std::find(map.files.begin(), map.files.end(), path);
        file = static_cast<int>(known - map.files.begin());
        if (known == map.files.end()) {
            map.files.push_back(path);
            map.texts.emplace_back(files_[line.file].text);
        }
    }
    const std::int64_t size = std::min<std::int64_t>(line.memo.size, memoryEnd - pcStart);
    if (size <= 0)
        return;
    map.entries.push_back({static_cast<std::uint16_t>(pcStart), static_cast<std::uint32_t>(size),
                           static_cast<std::uint16_t>(file), line.number, reserved != 0});
}

const LineMapEntry* LineMap::find(std::uint16_t address) const {
    for (const LineMapEntry& entry : entries)
        if (address >= entry.address &&
            static_cast<std::uint32_t>(address - entry.address) < entry.size)
            return &entry;
    return nullptr;
}

std::vector<const LineMapEntry*> LineMap::entriesOf(std::string_view file, int line) const {
    std::vector<const LineMapEntry*> found;
    for (const LineMapEntry& entry : entries)
        if (entry.line == line && files[entry.file] == file)
            found.push_back(&entry);
    return found;
}

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

Result assembleSource(std::string_view source, const Options& options) {
    try {
        return Assembly(source, options).run();
    } catch (const std::exception&) {
        // Only memory exhaustion can get here; answer with an error, not a crash.
        Result result;
        Diagnostic d{0, makeError(messages::memoryOverflow).what(), options.path, false};
        result.errors.push_back(d);
        result.diagnostics.push_back(d);
        return result;
    }
}

Result assembleFile(std::string_view path, Mode mode) {
    const std::string pathText(path);
    const std::optional<std::string> source = readFromDisk(pathText);
    if (!source) {
        Result result;
        Diagnostic d{0, makeError(messages::cannotRead, utf8ToCp1252(pathText)).what(), pathText,
                     false};
        result.errors.push_back(d);
        result.diagnostics.push_back(d);
        return result;
    }
    Options options;
    options.mode = mode;
    options.path = pathText;
    options.title = utf8ToCp1252(utf8Of(pathOf(pathText).filename()));
    return assembleSource(*source, options);
}

Result assembleSource(std::string_view source, Mode mode, std::string_view sourceName) {
    Options options;
    options.mode = mode;
    options.title = std::string(sourceName);
    // In memory, without any file: an INCLUDE finds nothing.
    options.readFile = [](const std::string&) { return std::optional<std::string>(); };
    return assembleSource(source, options);
}

} // namespace asmhc11
