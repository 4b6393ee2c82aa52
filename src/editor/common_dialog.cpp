#include "editor/common_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QStringList>

#include "workspace/workspace.h"
#include "editor/save_filter.h"

namespace kavrel::editor {

namespace {

// A fresh dialog each time, so nothing of an earlier call is proposed: empty
// file name, no initial folder, no default suffix, the first filter selected.
QString runDialog(QWidget* parent, const QString& title, const QString& qtFilter, bool save) {
    QFileDialog dialog(parent, title);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (!qtFilter.isEmpty()) {
        const QStringList filters = qtFilter.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
        dialog.setNameFilters(filters);
        if (!filters.isEmpty())
            dialog.selectNameFilter(filters.first());
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : QDir::toNativeSeparators(chosen.first());
}

} // namespace

QString QtCommonDialog::showOpen(QWidget* parent, const QString& title, const QString& qtFilter) {
    return runDialog(parent, title, qtFilter, false);
}

QString QtCommonDialog::showSave(QWidget* parent, const QString& title, const QString& qtFilter) {
    return runDialog(parent, title, qtFilter, true);
}

QString FileDialog(Workspace& workspace, const QString& Title, const QString& FilterList,
                   const QString& Mode) {
    const QString qtFilter = QString::fromStdString(toQtFilter(FilterList.toUtf8().toStdString()));
    QString chosen;
    // Two separate exact tests: any other word shows nothing.
    if (Mode == kModeOpen)
        chosen = workspace.CommonDialog().showOpen(workspace.window(), Title, qtFilter);
    if (Mode == kModeSave)
        chosen = workspace.CommonDialog().showSave(workspace.window(), Title, qtFilter);
    return chosen;
}

} // namespace kavrel::editor
