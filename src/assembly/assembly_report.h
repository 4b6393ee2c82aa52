#pragma once

#include <QDockWidget>
#include <QString>
#include <vector>

#include "assembly/assemble.h"
#include "assembly/diagnostics.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;

namespace kavrel {
class Workspace;
}

namespace kavrel::assembly {

// The panel docked along the bottom of the main window after a direct
// assembly: the command that ran, what the assembler printed, a verdict, and
// one row per error or warning; activating a row leads to its line.
class AssemblyReport : public QDockWidget {
    Q_OBJECT
public:
    // The workspace's report panel, made on its first use.
    static AssemblyReport& of(Workspace& workspace);

    // Fills the panel with a run of the assembler on `sourcePath` and shows
    // it; marks the lines in error in the open editors of their files.
    void present(const AssemblyRun& run, const QString& sourcePath);

    // Makes the row's editor active (opening its file when no editor has it)
    // and selects its line, caret at the line's start.
    void goTo(int row);

    QListWidget* rows() const { return rows_; }
    QString verdict() const;

private:
    explicit AssemblyReport(Workspace& workspace);

    Workspace& workspace_;
    QLabel* command_;
    QLabel* verdict_;
    QListWidget* rows_;
    QPlainTextEdit* output_;
    std::vector<Diagnostic> diagnostics_;
};

// Removes the error marks of every editor (a new assembly starts).
void clearErrorMarks(Workspace& workspace);

} // namespace kavrel::assembly
