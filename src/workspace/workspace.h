#pragma once

#include <QList>
#include <QString>

class QDockWidget;
class QMdiSubWindow;
class QWidget;

namespace kavrel {

class Editeur;
class Failure;
namespace app {
class MessageBoxes;
}
namespace editor {
class CommonDialog;
}

// What the subsystems may ask of the main window: its editors, its dialog
// services, the program directory, the launch mode and the Pos_XY panel.
// The editor, clipboard and assembly code know the main window only through
// this, so that it can grow without their reaching back up into it.
class Workspace {
public:
    virtual ~Workspace() = default;

    // The main window: parent of the message boxes and dialogs.
    virtual QWidget* window() = 0;

    // Editors in opening order; the active one (the one with the focus or
    // that last had it, also while another kind of window is active), or
    // null with none open.
    virtual QList<Editeur*> editors() const = 0;
    virtual Editeur* activeEditor() const = 0;
    // The main window included: 1 means no editor is open.
    int openWindowCount() const { return 1 + static_cast<int>(editors().size()); }

    // Creates an empty editor with that caption, shows it and makes it active.
    virtual Editeur* createEditor(const QString& caption) = 0;
    virtual void activateEditor(Editeur* editor) = 0;

    // Windows that are not editors (a simulation) live in the same
    // workspace: listed under "Fenêtre" with the editors, in opening order,
    // but never counted, prompted or saved as documents.
    virtual void addSubWindow(QMdiSubWindow* window) = 0;
    // Every window, editors included, in opening order; the active one.
    virtual QList<QMdiSubWindow*> subWindows() const = 0;
    virtual QMdiSubWindow* activeSubWindow() const = 0;
    virtual void activateSubWindow(QMdiSubWindow* window) = 0;

    virtual app::MessageBoxes& messages() = 0;
    virtual editor::CommonDialog& CommonDialog() = 0;
    // Shows the "Erreur :" box for a step that failed.
    virtual void showFailure(const Failure& failure) = 0;

    // The directory of the executable, without a trailing separator.
    virtual const QString& programDir() const = 0;

    // The launch mode lives in the check marks of the two mode items.
    virtual bool batchMode() const = 0;
    virtual void setBatchMode(bool batch) = 0;

    virtual void setPosXY(const QString& text) = 0;
    virtual QString posXY() const = 0;

    // Docks a subsystem's panel along the bottom of the main window, the
    // first time, and shows it. Panels are hidden until their first use.
    virtual void showPanel(QDockWidget* panel) = 0;

protected:
    Workspace() = default;
    Workspace(const Workspace&) = default;
    Workspace& operator=(const Workspace&) = default;
};

} // namespace kavrel
