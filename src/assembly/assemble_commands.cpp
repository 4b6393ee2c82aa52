#include "assembly/assemble_commands.h"

#include <QApplication>

#include "app/principal.h"
#include "assembly/assemble.h"
#include "editor/documents.h"
#include "editor/editeur.h"

namespace kavrel::assembly {

namespace {
const QString kSaveTitle = QStringLiteral("Enregistrement des données...");
const QString kSaveBeforeAssembly =
    QStringLiteral("Enregistrer le contenu de la feuille avant l'assemblage : ");

// The pointer shows the wait while the assembler runs and the window is blocked.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};
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
    // Read after the saves: a save may have changed nothing, but the caption is
    // the only record of the path.
    const std::string source = principal.activeEditor()->caption().toStdString();
    const WaitCursor wait;
    Assemble(source, target.toStdString(), principal.programDir().toStdString(),
             principal.batchMode());
}

} // namespace kavrel::assembly
