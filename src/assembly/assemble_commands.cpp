#include "assembly/assemble_commands.h"

#include "app/message_boxes.h"
#include "app/wait_cursor.h"
#include "app/workspace.h"
#include "assembly/assemble.h"
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

void assembleActive(Workspace& workspace, const char* target) {
    SaveAllForms(workspace);
    // Read after the saves: the caption is the only record of the path.
    const std::string source = workspace.activeEditor()->caption().toStdString();
    // The window is blocked while the assembler runs; the pointer says so.
    const app::WaitCursor wait;
    Assemble(source, target, workspace.programDir().toStdString(), workspace.batchMode());
}

} // namespace

void AssembleToS19(Workspace& workspace) {
    assembleActive(workspace, "S19");
}

void AssembleToBOO(Workspace& workspace) {
    assembleActive(workspace, "BOO");
}

} // namespace kavrel::assembly
