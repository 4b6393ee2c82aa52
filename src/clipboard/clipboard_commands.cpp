#include "clipboard/clipboard_commands.h"

#include <QClipboard>
#include <QGuiApplication>
#include <string>

#include "app/principal.h"
#include "editor/editeur.h"

namespace kavrel::clipboard {

namespace {

// Empties the clipboard, then puts the active editor's selection on it as
// plain text. Returns the editor for Cut.
Texte& copySelection(Principal& principal) {
    Texte& texte = *principal.activeEditor()->texte();
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const std::string selected = texte.selectedBytes();
    clipboard->setText(QString::fromUtf8(selected.data(), static_cast<qsizetype>(selected.size())));
    return texte;
}

} // namespace

void Copy(Principal& principal) {
    if (principal.noProgramOpen())
        return;
    copySelection(principal);
}

void Cut(Principal& principal) {
    if (principal.noProgramOpen())
        return;
    // An empty selection changes nothing, and so leaves the editor unmodified.
    copySelection(principal).replaceSelection({});
}

void Paste(Principal& principal) {
    if (principal.noProgramOpen())
        return;
    // The text goes in as it is: CR LF, lone LF and lone CR stay what they are.
    principal.activeEditor()->texte()->paste();
}

} // namespace kavrel::clipboard
