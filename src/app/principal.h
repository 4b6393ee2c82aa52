#pragma once

#include <QList>
#include <QMainWindow>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

#include "workspace/message_boxes.h"
#include "workspace/workspace.h"
#include "editor/common_dialog.h"

class QMdiArea;
class QMdiSubWindow;
class QAction;
class QMenu;

namespace kavrel {

class Failure;
class Editeur;
namespace app {
class StatusPanels;
struct MenuEntry;
} // namespace app

// The main window: a multiple-document window holding the editors, the menu
// bar through which every command runs, the status bar `Status` and the
// dialog services. It is the workspace the subsystems work in; their commands
// ask it for the active editor when they run.
class Principal : public QMainWindow, public Workspace {
    Q_OBJECT
public:
    Principal(QString programDir, std::unique_ptr<app::MessageBoxes> messages,
              std::unique_ptr<editor::CommonDialog> commonDialog, QWidget* parent = nullptr);
    ~Principal() override;

    QWidget* window() override { return this; }
    QList<Editeur*> editors() const override;
    Editeur* activeEditor() const override;
    Editeur* createEditor(const QString& caption) override;
    void activateEditor(Editeur* editor) override;
    void addSubWindow(QMdiSubWindow* window) override;
    QList<QMdiSubWindow*> subWindows() const override;
    QMdiSubWindow* activeSubWindow() const override;
    void activateSubWindow(QMdiSubWindow* window) override;
    app::MessageBoxes& messages() override { return *messages_; }
    editor::CommonDialog& CommonDialog() override { return *commonDialog_; }
    void showFailure(const Failure& failure) override;
    const QString& programDir() const override { return programDir_; }
    bool batchMode() const override;
    void setBatchMode(bool batch) override;
    void setPosXY(const QString& text) override;
    QString posXY() const override;
    void showPanel(QDockWidget* panel) override;

    QMdiArea* mdiArea() const { return mdiArea_; }

    // Runs the command of a menu row: the no-program-open guard where the row
    // asks for it, then the command; a step that fails is reported here, in
    // one place, and the program goes on.
    void runCommand(const app::MenuEntry& entry);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void fillWindowMenu();
    // The rows that depend on the active window follow it.
    void refreshItemStates();
    int cascadeStep(const Editeur* added) const;
    // With no editor open, shows the no-program-open box and returns true.
    bool noProgramOpen();

    QString programDir_;
    std::unique_ptr<app::MessageBoxes> messages_;
    std::unique_ptr<editor::CommonDialog> commonDialog_;
    QMdiArea* mdiArea_ = nullptr;
    app::StatusPanels* status_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    std::vector<std::pair<QAction*, const app::MenuEntry*>> statefulItems_;
};

// Start-up: creates the main window, shows it and writes the start text of
// Pos_XY. No editor is opened.
std::unique_ptr<Principal> Main(const QString& programDir);
// The same with the dialog services given (tests script them).
std::unique_ptr<Principal> Main(const QString& programDir,
                                std::unique_ptr<app::MessageBoxes> messages,
                                std::unique_ptr<editor::CommonDialog> commonDialog);

} // namespace kavrel
