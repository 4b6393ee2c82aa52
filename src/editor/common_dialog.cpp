#include "editor/common_dialog.h"

#include "app/principal.h"

namespace kavrel::editor {

QString QtCommonDialog::showOpen(QWidget*, const QString&, const QString&) { return {}; }
QString QtCommonDialog::showSave(QWidget*, const QString&, const QString&) { return {}; }

QString FileDialog(Principal&, const QString&, const QString&, const QString&) { return {}; }

} // namespace kavrel::editor
