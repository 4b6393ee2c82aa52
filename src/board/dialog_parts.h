#pragma once

// The fields the dialogs that load a board build alike: an editable list of
// values, the load's progress and the status line.
#include <QString>

class QComboBox;
class QLabel;
class QProgressBar;
class QWidget;

namespace kavrel::board {

// An editable list of values, named `name`, that takes what is typed
// without adding it to the list: a speed, a crystal.
QComboBox* editableCombo(QWidget* parent, const char* name);

// The load's progress, named "progress", in `format`: empty and without a
// count until the load tells its own size.
QProgressBar* loadProgress(QWidget* parent, const QString& format);
// `done` of `total`, the count shown from now on.
void showProgress(QProgressBar* progress, qulonglong done, qulonglong total);

// What the dialog says, named "status": wrapped, and selectable to be copied.
QLabel* statusLabel(QWidget* parent);

} // namespace kavrel::board
