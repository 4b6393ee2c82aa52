#include "simulation/source_pane.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTextBlock>
#include <QVBoxLayout>
#include <algorithm>

#include "common/hex_text.h"
#include "editor/document_format.h"
#include "editor/editeur.h"
#include "editor/source_colours.h"
#include "hc11/disassembler.h"
#include "simulation/debug_model.h"
#include "simulation/simulation_texts.h"
#include "simulation/snapshot.h"

namespace kavrel::simulation {

namespace {

constexpr int kMarginBreakpoints = 1;
constexpr int kMarkerBreakpoint = 0;
constexpr int kMarkerCurrent = 1;
constexpr int kMarkerCurrentLine = 2;
// Instructions shown before and after the PC in the disassembly.
constexpr int kDisassemblyBefore = 8;
constexpr int kDisassemblyAfter = 24;

// A breakpoint's mark in the disassembly.
const QString kDisassemblyBreakpoint = QStringLiteral("\u25CF");

QString hex4(std::uint16_t value) {
    return QString::fromStdString(hex::digits(value, 4));
}

} // namespace

SourcePane::SourcePane(DebugModel& debug, QWidget* parent)
    : QWidget(parent), debug_(debug), files_(new QComboBox), stack_(new QStackedWidget),
      texte_(new Texte), disassembly_(new QPlainTextEdit) {
    setObjectName(QStringLiteral("SourcePane"));
    setAccessibleName(QString::fromUtf8(texts::kSourcePane));
    files_->setObjectName(QStringLiteral("SourceFiles"));
    files_->setAccessibleName(QString::fromUtf8(texts::kSourceFileLabel));

    texte_->setObjectName(QStringLiteral("SourceText"));
    texte_->setReadOnly(true);
    texte_->setCaretLineVisible(true);
    texte_->setCaretLineBackgroundColor(QColor(0xA0, 0xA0, 0xC0));
    // The caret's line is framed, not filled: a fill would hide the current
    // line's colour whenever the caret is on it.
    texte_->SendScintilla(QsciScintilla::SCI_SETCARETLINEFRAME, 1L);
    // The text box has no margins of its own: the breakpoints' is added.
    texte_->setMargins(kMarginBreakpoints + 1);
    texte_->setMarginWidth(0, 0);
    texte_->setMarginType(kMarginBreakpoints, QsciScintilla::SymbolMargin);
    texte_->setMarginWidth(kMarginBreakpoints, 16);
    texte_->setMarginSensitivity(kMarginBreakpoints, true);
    texte_->setMarginMarkerMask(kMarginBreakpoints,
                                (1 << kMarkerBreakpoint) | (1 << kMarkerCurrent));
    texte_->markerDefine(QsciScintilla::Circle, kMarkerBreakpoint);
    texte_->setMarkerBackgroundColor(QColor(0xC0, 0x10, 0x10), kMarkerBreakpoint);
    texte_->setMarkerForegroundColor(QColor(0x80, 0x00, 0x00), kMarkerBreakpoint);
    texte_->markerDefine(QsciScintilla::RightArrow, kMarkerCurrent);
    texte_->setMarkerBackgroundColor(QColor(0xF0, 0xC0, 0x00), kMarkerCurrent);
    texte_->markerDefine(QsciScintilla::Background, kMarkerCurrentLine);
    texte_->setMarkerBackgroundColor(QColor(0xFF, 0xF0, 0xA0), kMarkerCurrentLine);
    connect(texte_, &QsciScintilla::marginClicked, this,
            [this](int, int line, Qt::KeyboardModifiers) {
                if (shownFile_ >= 0)
                    debug_.toggleLine(shownFile_, line + 1);
            });

    disassembly_->setObjectName(QStringLiteral("Disassembly"));
    disassembly_->setAccessibleName(QString::fromUtf8(texts::kDisassemblyName));
    disassembly_->setReadOnly(true);
    disassembly_->setLineWrapMode(QPlainTextEdit::NoWrap);
    disassembly_->setFont(texte_->font());
    disassembly_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    stack_->addWidget(texte_);
    stack_->addWidget(disassembly_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(files_);
    layout->addWidget(stack_, 1);
    setFocusProxy(texte_);

    connect(files_, &QComboBox::activated, this, [this](int index) { showFile(index); });
    connect(&debug_, &DebugModel::breakpointsChanged, this, [this] {
        refreshBreakpointMarks();
        refreshDisassemblyMarks();
    });
}

void SourcePane::setProgram(std::shared_ptr<const Program> program) {
    program_ = std::move(program);
    texts_.assign(program_->files().size(), std::nullopt);
    files_->clear();
    for (const std::string& file : program_->files())
        files_->addItem(QFileInfo(QString::fromStdString(file)).fileName(),
                        QString::fromStdString(file));
    files_->setVisible(program_->files().size() > 1);
    shownFile_ = -1;
    markedLine_ = 0;
    lastPc_.reset();
    pcLine_ = {};
    if (!program_->files().empty())
        showFile(0);
}

void SourcePane::showFile(int file) {
    if (!program_ || file < 0 || file >= static_cast<int>(program_->files().size()))
        return;
    stack_->setCurrentWidget(texte_);
    if (file == shownFile_)
        return;
    shownFile_ = file;
    files_->setCurrentIndex(file);
    std::optional<std::string>& text = texts_[static_cast<std::size_t>(file)];
    if (!text)
        text = editor::decodeDocument(program_->fileText(file));
    // A read-only text box refuses every change, its loading too.
    texte_->setReadOnly(false);
    texte_->setWholeText(*text);
    texte_->setReadOnly(true);
    // An included file is source whatever its name ends with.
    editor::showSourceColours(*texte_, QStringLiteral("source.asc"));
    markLine(pcLine_.file == file ? pcLine_.line : 0);
    refreshBreakpointMarks();
}

bool SourcePane::showsDisassembly() const {
    return stack_->currentWidget() == disassembly_;
}

void SourcePane::setCursorLine(int line) {
    texte_->setCursorPosition(line - 1, 0);
}

void SourcePane::markLine(int line) {
    texte_->markerDeleteAll(kMarkerCurrent);
    texte_->markerDeleteAll(kMarkerCurrentLine);
    markedLine_ = line;
    if (line <= 0)
        return;
    texte_->markerAdd(line - 1, kMarkerCurrent);
    texte_->markerAdd(line - 1, kMarkerCurrentLine);
}

void SourcePane::showSnapshot(const Snapshot& snapshot, bool stopped) {
    if (!program_)
        return;
    if (!stopped) {
        // No mark while running: it would only flicker.
        if (!showsDisassembly())
            markLine(0);
        return;
    }
    // An input, an edit or a reset where the machine already was is no
    // reason to take the caret from where the user put it.
    const std::uint16_t pc = snapshot.regs.pc;
    const bool moved = lastPc_ != pc;
    lastPc_ = pc;
    const SourceLine where = program_->lineAt(pc);
    if (where.valid() && program_->lineStartsAt(pc)) {
        pcLine_ = where;
        if (moved || showsDisassembly())
            showFile(where.file);
        markLine(shownFile_ == where.file ? where.line : 0);
        if (moved) {
            texte_->setCursorPosition(where.line - 1, 0);
            texte_->ensureLineVisible(where.line - 1);
        }
        return;
    }
    pcLine_ = {};
    showDisassembly(snapshot, moved);
}

void SourcePane::showDisassembly(const Snapshot& snapshot, bool pcMoved) {
    markLine(0);
    // Made anew (an edit may have changed the bytes), the caret kept on its
    // instruction unless the PC moved: -1 for none.
    int keptAddress = -1;
    if (!pcMoved && showsDisassembly())
        if (const std::optional<std::uint16_t> address = cursorAddress())
            keptAddress = *address;
    const int scrolled = disassembly_->verticalScrollBar()->value();
    const std::uint16_t pc = snapshot.regs.pc;
    auto peek = [&snapshot](std::uint16_t a) { return snapshot.memory[a]; };
    // Instructions have no marks of their own: start a little before the PC
    // from the first place whose instructions fall exactly on it.
    std::uint16_t start = pc;
    for (int back = kDisassemblyBefore * 3; back > 0; --back) {
        auto at = static_cast<std::uint16_t>(pc - back);
        int count = 0;
        while (at != pc && static_cast<std::uint16_t>(pc - at) <= kDisassemblyBefore * 3) {
            at = static_cast<std::uint16_t>(at + hc11::disassemble(at, peek).length);
            ++count;
        }
        if (at == pc && count <= kDisassemblyBefore) {
            start = static_cast<std::uint16_t>(pc - back);
            break;
        }
    }
    disassemblyAddresses_.clear();
    QStringList lines;
    int pcLine = 0;
    std::uint16_t at = start;
    for (int n = 0; n < kDisassemblyBefore + kDisassemblyAfter; ++n) {
        const hc11::Disassembly d = hc11::disassemble(at, peek);
        std::string bytes;
        for (int i = 0; i < d.length; ++i) {
            hex::append(bytes, snapshot.memory[static_cast<std::uint16_t>(at + i)], 2);
            bytes += ' ';
        }
        if (at == pc)
            pcLine = n;
        lines << QStringLiteral("%1%2 %3  %4  %5")
                     .arg(debug_.hasBreakpoint(at) ? kDisassemblyBreakpoint : QStringLiteral(" "),
                          at == pc ? QStringLiteral(">") : QStringLiteral(" "), hex4(at))
                     .arg(QString::fromStdString(bytes), -12)
                     .arg(QString::fromStdString(d.text));
        disassemblyAddresses_.push_back(at);
        at = static_cast<std::uint16_t>(at + d.length);
    }
    disassembly_->setPlainText(lines.join(QLatin1Char('\n')));
    QTextEdit::ExtraSelection current;
    current.format.setBackground(QColor(0xFF, 0xF0, 0xA0));
    current.format.setProperty(QTextFormat::FullWidthSelection, true);
    current.cursor = QTextCursor(disassembly_->document()->findBlockByNumber(pcLine));
    disassembly_->setExtraSelections({current});
    stack_->setCurrentWidget(disassembly_);
    const auto kept =
        std::find(disassemblyAddresses_.begin(), disassemblyAddresses_.end(), keptAddress);
    if (kept == disassemblyAddresses_.end()) {
        disassembly_->setTextCursor(current.cursor);
        disassembly_->centerCursor();
        return;
    }
    disassembly_->setTextCursor(QTextCursor(disassembly_->document()->findBlockByNumber(
        static_cast<int>(kept - disassemblyAddresses_.begin()))));
    disassembly_->verticalScrollBar()->setValue(scrolled);
}

std::optional<std::uint16_t> SourcePane::cursorAddress() const {
    if (!program_)
        return std::nullopt;
    if (showsDisassembly()) {
        const int block = disassembly_->textCursor().blockNumber();
        if (block >= 0 && block < static_cast<int>(disassemblyAddresses_.size()))
            return disassemblyAddresses_[static_cast<std::size_t>(block)];
        return std::nullopt;
    }
    int line = 0, index = 0;
    texte_->getCursorPosition(&line, &index);
    return program_->addressOf(shownFile_, line + 1);
}

bool SourcePane::toggleBreakpointAtCursor() {
    if (showsDisassembly()) {
        const std::optional<std::uint16_t> address = cursorAddress();
        if (!address)
            return false;
        debug_.toggleAddress(*address);
        return true;
    }
    if (shownFile_ < 0)
        return false;
    int line = 0, index = 0;
    texte_->getCursorPosition(&line, &index);
    return debug_.toggleLine(shownFile_, line + 1);
}

// The first character of each line of the disassembly marks its breakpoint.
void SourcePane::refreshDisassemblyMarks() {
    QTextDocument* document = disassembly_->document();
    const QTextCursor caret = disassembly_->textCursor();
    const QList<QTextEdit::ExtraSelection> selections = disassembly_->extraSelections();
    for (std::size_t i = 0; i < disassemblyAddresses_.size(); ++i) {
        const QTextBlock block = document->findBlockByNumber(static_cast<int>(i));
        if (!block.isValid() || block.text().isEmpty())
            continue;
        const QString mark = debug_.hasBreakpoint(disassemblyAddresses_[i]) ? kDisassemblyBreakpoint
                                                                            : QStringLiteral(" ");
        if (block.text().left(1) == mark)
            continue;
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor);
        cursor.insertText(mark);
    }
    disassembly_->setTextCursor(caret);
    disassembly_->setExtraSelections(selections);
}

void SourcePane::refreshBreakpointMarks() {
    texte_->markerDeleteAll(kMarkerBreakpoint);
    for (const int line : debug_.breakpointLines(shownFile_))
        texte_->markerAdd(line - 1, kMarkerBreakpoint);
}

} // namespace kavrel::simulation
