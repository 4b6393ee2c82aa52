#include "editor/source_colours.h"

#include <Qsci/qscilexercustom.h>

#include <QColor>
#include <QFont>
#include <algorithm>
#include <string>
#include <string_view>

#include "asmhc11/syntax.h"
#include "editor/editeur.h"
#include "hc11/instruction_set.h"

namespace kavrel::editor {

namespace {

using asmhc11::isBlank;
using Style = SourceStyle;

constexpr std::size_t npos = std::string_view::npos;

bool isAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A line alone does not tell which names the program defines: an operand is
// shown as the assembler reads it when they all are ("RegBase + oSCSR"), and
// the assembler warns where it reads otherwise.
bool everyNameIsASymbol(std::string_view) {
    return true;
}

// Styles one source line (no line end) as the assembler reads it: the same
// field splitting, the same end of operand, so that what it takes for a
// comment shows as one.
class LineStyler {
public:
    LineStyler(std::string_view line, char* styles) : line_(line), styles_(styles) {}

    void run() {
        styleFields();
        // Blanks take the style of what comes before them: they show no ink
        // either way, and the line then draws in fewer runs of one style.
        for (std::size_t i = 1; i < line_.size(); ++i)
            if (isBlank(line_[i]) && styles_[i] == static_cast<char>(Style::Plain))
                styles_[i] = styles_[i - 1];
    }

private:
    void styleFields() {
        if (line_.empty())
            return;
        if (line_[0] == '*' || line_[0] == ';') {
            paint(0, line_.size(), Style::Comment);
            return;
        }
        const asmhc11::SourceLine fields = asmhc11::splitFields(line_);
        std::size_t after = 0; // end of what has been styled so far
        if (!fields.label.empty() || fields.labelInColumnOne) {
            const std::size_t start = fields.labelInColumnOne ? 0 : at(fields.label);
            std::size_t end = start + fields.label.size();
            if (end < line_.size() && line_[end] == ':')
                ++end;
            paint(start, end, Style::Label);
            after = end;
        }
        if (fields.operation.empty()) {
            // Whatever follows a label alone is not read.
            commentFrom(after);
            return;
        }
        const std::string_view operation = fields.operation;
        const std::size_t operationStart = at(operation);
        const std::size_t restStart = operationStart + operation.size();
        if (const hc11::MnemonicModes* modes = hc11::findMnemonic(operation)) {
            paint(operationStart, restStart, Style::Mnemonic);
            instruction(*modes, fields.rest, restStart);
        } else if (const asmhc11::DirectiveSyntax* directive = asmhc11::findDirective(operation)) {
            paint(operationStart, restStart, Style::Directive);
            directiveOperand(directive->operand, fields.rest, restStart);
        } else {
            commentFrom(operand(expression(fields.rest), restStart));
        }
    }

    static std::string_view expression(std::string_view rest) {
        return asmhc11::readOperand(rest, symbols_).operand;
    }

    std::size_t at(std::string_view part) const {
        return static_cast<std::size_t>(part.data() - line_.data());
    }

    void paint(std::size_t from, std::size_t to, Style style) {
        for (std::size_t i = from; i < to && i < line_.size(); ++i)
            styles_[i] = static_cast<char>(style);
    }

    // Everything from the first non-blank at or after `from` is a comment.
    void commentFrom(std::size_t from) {
        while (from < line_.size() && isBlank(line_[from]))
            ++from;
        paint(from, line_.size(), Style::Comment);
    }

    // Styles an operand given as a view of the line (possibly empty) and
    // returns where it ends; an empty operand ends at `fallback`.
    std::size_t operand(std::string_view text, std::size_t fallback) {
        if (text.empty())
            return fallback;
        const std::size_t start = at(text);
        values(start, start + text.size(), false);
        return start + text.size();
    }

    void instruction(const hc11::MnemonicModes& modes, std::string_view rest,
                     std::size_t restStart) {
        using hc11::Mode;
        if (modes.in(Mode::Inherent)) {
            commentFrom(restStart);
            return;
        }
        if (modes.in(Mode::BitDirect) || modes.in(Mode::BitBranchDirect)) {
            // Address, then X or Y and the mask, then a branch target: the
            // fields after the last one needed are a comment.
            asmhc11::FieldReader reader(rest, symbols_);
            std::size_t needed = modes.in(Mode::BitBranchDirect) ? 3 : 2;
            std::size_t firstStart = npos, lastEnd = restStart;
            for (std::size_t count = 0; count < needed; ++count) {
                const auto field = reader.next();
                if (!field)
                    break;
                if (count == 1 &&
                    (asmhc11::equalNoCase(*field, "X") || asmhc11::equalNoCase(*field, "Y")))
                    ++needed;
                if (firstStart == npos)
                    firstStart = at(*field);
                lastEnd = at(*field) + field->size();
            }
            if (firstStart != npos)
                values(firstStart, lastEnd, true);
            commentFrom(lastEnd);
            return;
        }
        commentFrom(operand(expression(rest), restStart));
    }

    void directiveOperand(asmhc11::OperandForm form, std::string_view rest, std::size_t restStart) {
        using asmhc11::OperandForm;
        switch (form) {
        case OperandForm::Nothing:
            commentFrom(restStart);
            break;
        case OperandForm::Expression:
            commentFrom(operand(expression(rest), restStart));
            break;
        case OperandForm::Words:
            commentFrom(operand(asmhc11::operandWord(rest), restStart));
            break;
        case OperandForm::Delimited:
            stringDirective(rest);
            break;
        case OperandForm::FileName:
            includeName(rest, restStart);
            break;
        }
    }

    // FCC /text/ with any delimiter, then more values after a comma.
    void stringDirective(std::string_view rest) {
        const std::string_view text = asmhc11::trim(rest);
        if (text.empty())
            return;
        const std::size_t open = at(text);
        const std::size_t close = text.find(text[0], 1);
        if (close == npos) {
            paint(open, open + text.size(), Style::String);
            return;
        }
        std::size_t end = open + close + 1;
        paint(open, end, Style::String);
        if (end < line_.size() && line_[end] == ',')
            end = operand(expression(line_.substr(end + 1)), end + 1);
        commentFrom(end);
    }

    // INCLUDE "file", <file> or file: the name shows as a string.
    void includeName(std::string_view rest, std::size_t restStart) {
        const std::string_view written = asmhc11::fileNameField(rest).written;
        if (written.empty()) {
            commentFrom(restStart);
            return;
        }
        paint(at(written), at(written) + written.size(), Style::String);
        commentFrom(at(written) + written.size());
    }

    // The tokens of an operand between `from` and `to`: numbers in every
    // base, characters and strings, '#'; names and operators stay plain.
    // '&' and '*' are values where a value is expected (a decimal number,
    // the location counter) and operators after one.
    void values(std::size_t from, std::size_t to, bool blankSeparates) {
        const std::string_view text = line_.substr(0, to);
        bool expectValue = true;
        std::size_t i = from;
        while (i < to) {
            const char c = text[i];
            std::size_t end = i + 1;
            if (isBlank(c)) {
                if (blankSeparates)
                    expectValue = true;
            } else if (c == '#') {
                paint(i, end, Style::Hash);
                expectValue = true;
            } else if (c == '\'' || c == '"') {
                end = asmhc11::skipQuoted(text, i);
                paint(i, end, Style::String);
                expectValue = false;
            } else if (const auto number =
                           c == '&' && !(expectValue && end < to && isAlnum(text[end]))
                               ? std::nullopt
                               : asmhc11::numberAt(text, i)) {
                end = number->end;
                paint(i, end, Style::Number);
                expectValue = false;
            } else if (asmhc11::isSymbolStart(c)) {
                while (end < to && asmhc11::isSymbolChar(text[end]))
                    ++end;
                expectValue = false;
            } else if (c == '*') {
                expectValue = !expectValue; // the location counter, or a product
            } else {
                expectValue = c != ')';
            }
            i = end;
        }
    }

    inline static const asmhc11::SymbolTest symbols_ = everyNameIsASymbol;
    std::string_view line_;
    char* styles_;
};

// Styles whole lines of `text`, whose first byte is a line start.
void styleLines(std::string_view text, char* styles) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        LineStyler(text.substr(start, end - start), styles + start).run();
        // The LF of a CR LF makes an empty line of its own: it has nothing to style.
        start = end + 1;
    }
}

struct Colour {
    const char* description;
    QRgb rgb;
};

// Restrained colours that read well on white; no pair of them tells two
// kinds apart by red against green alone.
constexpr Colour kColours[kSourceStyleCount] = {
    {"Texte", 0x000000},
    {"Commentaire", 0x5E7A5E},      // grey-green
    {"Étiquette", 0x6F2DA8},        // violet
    {"Instruction", 0x00209F},      // dark blue
    {"Directive", 0x00696B},        // dark teal
    {"Nombre", 0x8A4A0B},           // brown
    {"Chaîne", 0xA02B6E},           // plum
    {"Valeur immédiate", 0xB35900}, // ochre
};

// The lexer of the text box: styles the lines Scintilla asks for, as they
// are painted or changed, never more. The font of every style is the text
// box's own, and so is its paper; only the ink differs.
class SourceLexer : public QsciLexerCustom {
public:
    explicit SourceLexer(Texte& texte)
        : QsciLexerCustom(&texte), texte_(texte), font_(texte.font()), ink_(texte.color()),
          paper_(texte.paper()) {}

    const char* language() const override { return "68HC11"; }

    QString description(int style) const override {
        if (style < 0 || style >= kSourceStyleCount)
            return {};
        return QString::fromUtf8(kColours[style].description);
    }

    QColor defaultColor(int style) const override {
        if (style <= 0 || style >= kSourceStyleCount)
            return ink_;
        return QColor::fromRgb(kColours[style].rgb);
    }
    QFont defaultFont(int) const override { return font_; }
    QColor defaultPaper(int) const override { return paper_; }
    bool defaultEolFill(int) const override { return false; }

    void styleText(int start, int end) override {
        const std::string_view all = texte_.buffer();
        auto from = static_cast<std::size_t>(start);
        auto to = std::min(static_cast<std::size_t>(end), all.size());
        if (from >= to)
            return;
        // Whole lines: back to the start of the first, on to the end of the last.
        while (from > 0 && all[from - 1] != '\r' && all[from - 1] != '\n')
            --from;
        while (to < all.size() && all[to - 1] != '\r' && all[to - 1] != '\n')
            ++to;
        if (to < all.size() && all[to - 1] == '\r' && all[to] == '\n')
            ++to;
        std::string styles(to - from, static_cast<char>(Style::Plain));
        styleLines(all.substr(from, to - from), styles.data());
        texte_.SendScintilla(QsciScintillaBase::SCI_STARTSTYLING, static_cast<unsigned long>(from),
                             0L);
        // uintptr_t picks the text overload on every system (unsigned long is
        // 32 bits on Windows, where the call would be ambiguous).
        texte_.SendScintilla(QsciScintillaBase::SCI_SETSTYLINGEX,
                             static_cast<uintptr_t>(styles.size()), styles.data());
    }

private:
    Texte& texte_;
    QFont font_;
    QColor ink_;
    QColor paper_;
};

} // namespace

bool isAssemblerSource(const QString& caption) {
    for (const char* extension : {".asc", ".asm", ".s"})
        if (caption.endsWith(QLatin1String(extension), Qt::CaseInsensitive))
            return true;
    return false;
}

bool showsSourceColours(const Texte& texte) {
    return dynamic_cast<const SourceLexer*>(texte.lexer()) != nullptr;
}

void showSourceColours(Texte& texte, const QString& caption) {
    const bool wanted = isAssemblerSource(caption);
    if (wanted == showsSourceColours(texte))
        return;
    if (wanted) {
        texte.setLexer(new SourceLexer(texte));
        return;
    }
    QsciLexer* lexer = texte.lexer();
    texte.setLexer(nullptr);
    delete lexer;
    // Taking the lexer away resets every style, font included: the text box
    // gets its own font back, and its text the plain style throughout.
    texte.setFont(texte.font());
    texte.SendScintilla(QsciScintillaBase::SCI_CLEARDOCUMENTSTYLE);
}

} // namespace kavrel::editor
