#pragma once

// The program's source in the simulator window, as the assembler read it:
// read-only, in the editors' colours, the line about to execute marked,
// breakpoints in a margin. When the PC lies outside every line of the
// program, a disassembly around it takes the source's place. The caret
// follows the PC only when the PC moves, so a line picked for "Exécuter
// jusqu'au curseur" stays picked across an input or an edit. Breakpoints
// are the debugging model's: the pane shows them and toggles them there.
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "simulation/program.h"

class QComboBox;
class QPlainTextEdit;
class QStackedWidget;

namespace kavrel {
class Texte;
}

namespace kavrel::simulation {

class DebugModel;
struct Snapshot;

class SourcePane : public QWidget {
    Q_OBJECT
public:
    explicit SourcePane(DebugModel& debug, QWidget* parent = nullptr);

    // A new program: its files, shown from the first.
    void setProgram(std::shared_ptr<const Program> program);
    // Marks where the PC is (or hides the mark while running).
    void showSnapshot(const Snapshot& snapshot, bool stopped);

    // The address of the caret's line, in the source or in the disassembly.
    std::optional<std::uint16_t> cursorAddress() const;
    // Sets or clears a breakpoint on the caret's line, in the source or in
    // the disassembly; false when the line emits no code.
    bool toggleBreakpointAtCursor();

    // What is shown: the file (index in the program's files) and the marked
    // line (1-based, 0 for none); file -1 while the disassembly is shown.
    int shownFile() const { return shownFile_; }
    int markedLine() const { return markedLine_; }
    bool showsDisassembly() const;
    void showFile(int file);
    // Places the caret at the start of a line of the shown file (1-based).
    void setCursorLine(int line);

    Texte* texte() const { return texte_; }
    QPlainTextEdit* disassembly() const { return disassembly_; }

private:
    void markLine(int line);
    void refreshBreakpointMarks();
    void refreshDisassemblyMarks();
    void showDisassembly(const Snapshot& snapshot, bool pcMoved);

    DebugModel& debug_;
    std::shared_ptr<const Program> program_;
    QComboBox* files_;
    QStackedWidget* stack_;
    Texte* texte_;
    QPlainTextEdit* disassembly_;
    std::vector<std::optional<std::string>>
        texts_; // each file's text in UTF-8, made on first showing
    std::vector<std::uint16_t> disassemblyAddresses_; // one per line of the disassembly
    int shownFile_ = -1;
    int markedLine_ = 0;
    // Where the PC was at the last stop shown, and its line (if it starts one).
    std::optional<std::uint16_t> lastPc_;
    SourceLine pcLine_;
};

} // namespace kavrel::simulation
