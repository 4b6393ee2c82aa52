#include "assembly/assemble_commands.h"

#include "app/principal.h"
#include "app/wait_cursor.h"
#include "assembly/assemble.h"
#include "editor/documents.h"
#include "editor/editeur.h"

namespace kavrel::assembly {

namespace {
const QString kSaveTitle = QStringLiteral("Enregistrement des données...");
const QString kSaveBeforeAssembly =
    QStringLiteral("Enregistrer le contenu de la feuille avant l'assemblage : ");

} // namespace

void SaveAllForms(Principal& principal) {
    if (principal.openWindowCount() == 1)
        return;
    // The list is taken once; every editor, in opening order, whichever is active.
    const QList<Editeur*> editors = principal.editors();
    for (Editeur* editor : editors) {
        if (!editor->Text_Changed)
            continue;
        const auto answer = principal.messages().show(
            &principal, kSaveTitle, kSaveBeforeAssembly + QStringLiteral("\r\n") + editor->caption(),
            app::BoxIcon::Warning, app::BoxButtons::YesNo);
        if (answer == app::BoxAnswer::Yes)
            editor::SaveForm(principal, *editor, false);
    }
}

void assembleActive(Principal& principal, const QString& target) {
    if (principal.noProgramOpen())
        return;
    principal.SaveAllForms();
    // Read after the saves: the caption is the only record of the path.
    const std::string source = principal.activeEditor()->caption().toStdString();
    // The window is blocked while the assembler runs; the pointer says so.
    const app::WaitCursor wait;
    Assemble(source, target.toStdString(), principal.programDir().toStdString(),
             principal.batchMode());
}

} // namespace kavrel::assembly
