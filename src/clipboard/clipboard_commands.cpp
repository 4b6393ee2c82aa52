#include "clipboard/clipboard_commands.h"

#include <QClipboard>
#include <QGuiApplication>
#include <string>

#include "workspace/workspace.h"
#include "editor/editeur.h"

namespace kavrel::clipboard {

namespace {

// Empties the clipboard, then puts the active editor's selection on it as
// plain text. Returns the editor for Cut.
Texte& copySelection(Workspace& workspace) {
    Texte& texte = *workspace.activeEditor()->texte();
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const std::string selected = texte.selectedBytes();
    clipboard->setText(QString::fromUtf8(selected.data(), static_cast<qsizetype>(selected.size())));
    return texte;
}

} // namespace

void Copy(Workspace& workspace) {
    copySelection(workspace);
}

void Cut(Workspace& workspace) {
    // An empty selection changes nothing, and so leaves the editor unmodified.
    copySelection(workspace).replaceSelection({});
}

void Paste(Workspace& workspace) {
    // The text goes in as it is: CR LF, lone LF and lone CR stay what they are.
    workspace.activeEditor()->texte()->paste();
}

} // namespace kavrel::clipboard
