#pragma once

#include <QString>

class QWidget;

namespace kavrel {
class Workspace;
}

namespace kavrel::editor {

// The one Open/Save dialog service of the main window. `qtFilter` is in Qt's
// "desc (pattern);;desc (pattern)" syntax; the first filter is selected. Each
// call opens with an empty file name, no initial folder and no default suffix.
// The result is the chosen path (native separators), or empty on cancel.
class CommonDialog {
public:
    virtual ~CommonDialog() = default;
    virtual QString showOpen(QWidget* parent, const QString& title, const QString& qtFilter) = 0;
    virtual QString showSave(QWidget* parent, const QString& title, const QString& qtFilter) = 0;
};

class QtCommonDialog final : public CommonDialog {
public:
    QString showOpen(QWidget* parent, const QString& title, const QString& qtFilter) override;
    QString showSave(QWidget* parent, const QString& title, const QString& qtFilter) override;
};

inline const QString kModeOpen = QStringLiteral("Ouvrir");
inline const QString kModeSave = QStringLiteral("Enregistrer");

// Asks for a file name: `FilterList` in the "desc|pattern|..." syntax, `Mode`
// exactly "Ouvrir" or "Enregistrer" (any other word shows nothing). Returns
// the full path chosen, or the empty text.
QString FileDialog(Workspace& workspace, const QString& Title, const QString& FilterList,
                   const QString& Mode);

} // namespace kavrel::editor
