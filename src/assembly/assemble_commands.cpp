#include "assembly/assemble_commands.h"

#include "workspace/message_boxes.h"
#include "workspace/wait_cursor.h"
#include "workspace/workspace.h"
#include "assembly/assemble.h"
#include "assembly/assembly_report.h"
#include "assembly/diagnostics.h"
#include "assembly/split_path.h"
#include "editor/documents.h"
#include "editor/editeur.h"

namespace kavrel::assembly {

namespace {
const QString kSaveTitle = QStringLiteral("Enregistrement des données...");
const QString kSaveBeforeAssembly =
    QStringLiteral("Enregistrer le contenu de la feuille avant l'assemblage : ");

} // namespace

void SaveAllForms(Workspace& workspace) {
    if (workspace.openWindowCount() == 1)
        return;
    // The list is taken once; every editor, in opening order, whichever is active.
    const QList<Editeur*> editors = workspace.editors();
    for (Editeur* editor : editors) {
        if (!editor->Text_Changed())
            continue;
        const auto answer = workspace.messages().show(
            workspace.window(), kSaveTitle,
            kSaveBeforeAssembly + QStringLiteral("\r\n") + editor->caption(), app::BoxIcon::Warning,
            app::BoxButtons::YesNo);
        if (answer == app::BoxAnswer::Yes)
            editor::SaveForm(workspace, *editor, false);
    }
}

namespace {

// The run, as the report saw it (nothing ran in batch mode). A command that
// goes on with the file assembles here even in batch mode (`direct`).
AssemblyRun assembleActive(Workspace& workspace, const char* target, bool direct = false) {
    SaveAllForms(workspace);
    // Read after the saves: the caption is the only record of the path.
    const QString caption = workspace.activeEditor()->caption();
    const std::string source = caption.toStdString();
    const bool batchMode = workspace.batchMode() && !direct;
    const bool batch = batchMode && std::string_view(target) == "S19";
    // A run in the launcher's terminal says nothing to the report.
    AssemblyRun run;
    AssemblyRun* report = batch ? nullptr : &run;
    if (report)
        clearErrorMarks(workspace);
    try {
        // The window is blocked while the assembler runs; the pointer says so.
        const app::WaitCursor wait;
        Assemble(source, target, workspace.programDir().toStdString(), batchMode,
                 platform::kSeparator, report);
    } catch (...) {
        // What the assembler said is shown even when a later step fails.
        if (run.ran)
            AssemblyReport::of(workspace).present(run, caption);
        throw;
    }
    if (run.ran)
        AssemblyReport::of(workspace).present(run, caption);
    return run;
}

} // namespace

void AssembleToS19(Workspace& workspace) {
    assembleActive(workspace, "S19");
}

void AssembleToBOO(Workspace& workspace) {
    assembleActive(workspace, "BOO");
}

namespace {

// The file `target` made beside the active editor's source, once the
// assembler ended without error; empty otherwise.
QString assembledFile(Workspace& workspace, const char* target, const char* extension) {
    const AssemblyRun run = assembleActive(workspace, target, true);
    if (!run.ran || !run.process.exited || run.process.exitCode != 0)
        return {};
    // An assembler that reports an error but exits with 0 still wrote a
    // broken image: its rows decide too.
    for (const Diagnostic& diagnostic : parseDiagnostics(run.process.output))
        if (diagnostic.error)
            return {};
    const PathParts parts =
        SplitPath(workspace.activeEditor()->caption().toStdString(), platform::kSeparator);
    return QString::fromStdString(parts.Folder + parts.BaseName + extension);
}

} // namespace

QString AssembleToBOOImage(Workspace& workspace) {
    return assembledFile(workspace, "BOO", ".BOO");
}

QString AssembleToS19File(Workspace& workspace) {
    return assembledFile(workspace, "S19", ".S19");
}

} // namespace kavrel::assembly
