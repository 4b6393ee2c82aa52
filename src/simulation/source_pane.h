#pragma once

// The program's source in the simulator window: read-only, in the editors'
// colours, the line about to execute marked, breakpoints in a margin. When
// the PC lies outside every line of the program, a disassembly around it
// takes the source's place.
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "simulation/program.h"

class QComboBox;
class QPlainTextEdit;
class QStackedWidget;

namespace kavrel {
class Texte;
}

namespace kavrel::simulation {

struct Snapshot;

class SourcePane : public QWidget {
    Q_OBJECT
public:
    explicit SourcePane(QWidget* parent = nullptr);

    // A new program: its files, its breakpoints kept where their lines
    // still emit code.
    void setProgram(std::shared_ptr<const Program> program);
    // Marks where the PC is (or hides the mark while running).
    void showSnapshot(const Snapshot& snapshot, bool stopped);

    // The address of the caret's line, in the source or in the disassembly.
    std::optional<std::uint16_t> cursorAddress() const;
    // Sets or clears a breakpoint on the caret's line, in the source or in
    // the disassembly; false when the line emits no code.
    bool toggleBreakpointAtCursor();
    bool toggleBreakpoint(int file, int line); // line 1-based
    std::vector<std::uint16_t> breakpointAddresses() const;

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

signals:
    void breakpointsChanged();

private:
    void markLine(int line);
    void refreshBreakpointMarks();
    void refreshDisassemblyMarks();
    std::set<std::uint16_t> breakpointSet() const;
    void showDisassembly(const Snapshot& snapshot);
    QString fileText(int file);

    std::shared_ptr<const Program> program_;
    QComboBox* files_;
    QStackedWidget* stack_;
    Texte* texte_;
    QPlainTextEdit* disassembly_;
    std::vector<QString> texts_; // each file's text, read on first showing
    std::vector<bool> read_;
    std::set<std::pair<int, int>> breakpoints_;       // (file, line)
    std::set<std::uint16_t> addressBreakpoints_;      // set in the disassembly
    std::vector<std::uint16_t> disassemblyAddresses_; // one per line of the disassembly
    int shownFile_ = -1;
    int markedLine_ = 0;
};

} // namespace kavrel::simulation
