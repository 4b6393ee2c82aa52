#include "editor/documents.h"

#include <QDir>

#include "app/principal.h"
#include "editor/editeur.h"
#include "editor/editor_texts.h"
#include "platform/native.h"

namespace kavrel::editor {

void New(Principal& principal) {
    // The number is the open-window count, not a serial number.
    const int n = principal.openWindowCount();
    principal.createEditor(
        QDir::toNativeSeparators(QString::fromStdString(platform::newProgramPath(n))));
}

void LoadFile(Principal&, const QString&) {}
void Open(Principal&) {}
void Open_General(Principal&) {}
bool SaveForm(Principal&, Editeur&, bool) { return false; }

bool Form_QueryUnload(Principal& principal, Editeur&) {
    principal.setPosXY(texts::kPosClosed);
    return true;
}

} // namespace kavrel::editor
