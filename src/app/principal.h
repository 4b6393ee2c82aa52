#pragma once

#include <QList>
#include <QMainWindow>
#include <QString>
#include <memory>

#include "app/message_boxes.h"
#include "editor/common_dialog.h"

class QMdiArea;
class QLabel;

namespace kavrel {

class Failure;
class Editeur;
namespace app {
class StatusPanels;
}

// The main window: a multiple-document window holding the editors, the menu
// bar through which every command runs, the status bar `Status` and the
// dialog services. Commands ask it for the active editor when they run.
class Principal : public QMainWindow {
    Q_OBJECT
public:
    Principal(QString programDir, std::unique_ptr<app::MessageBoxes> messages,
              std::unique_ptr<editor::CommonDialog> commonDialog, QWidget* parent = nullptr);
    ~Principal() override;

    // The directory of the executable, without a trailing separator.
    const QString& programDir() const { return programDir_; }
    app::MessageBoxes& messages() { return *messages_; }
    editor::CommonDialog& CommonDialog() { return *commonDialog_; }

    // Editors in opening order; the active one (the one with the focus or that
    // last had it), or null with none open.
    QList<Editeur*> editors() const;
    Editeur* activeEditor() const;
    // The main window included: 1 means no editor is open.
    int openWindowCount() const;

    // Creates an empty editor with that caption, shows it and makes it active.
    Editeur* createEditor(const QString& caption);
    void activateEditor(Editeur* editor);

    // The no-program-open guard: with no editor open, shows its box and
    // returns true (the command then does nothing).
    bool noProgramOpen();

    // Shows the "Erreur :" box for a step that failed.
    void showFailure(const Failure& failure);

    void setPosXY(const QString& text);
    QString posXY() const;

    // The launch mode lives in these check marks only.
    bool batchMode() const;

    QMdiArea* mdiArea() const { return mdiArea_; }

    void SaveAllForms();

    // Menu commands, named after their menu items.
    void New();
    void Open();
    void Open_General();
    void Record();
    void Record_as();
    void Quit();
    void Copy();
    void Cut();
    void Paste();
    void Batch_mode();
    void Normal_mode();
    void AssembleToS19();
    void AssembleToBOO();
    void Help_Kavrel();
    void Help_asmhc11();

    using Command = void (Principal::*)();
    // Runs a command; a step that fails is reported here and the program goes on.
    void runCommand(Command command);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    int cascadeStep(const Editeur* added) const;
    void fillWindowMenu();

    QString programDir_;
    std::unique_ptr<app::MessageBoxes> messages_;
    std::unique_ptr<editor::CommonDialog> commonDialog_;
    QMdiArea* mdiArea_ = nullptr;
    app::StatusPanels* status_ = nullptr;
    QMenu* windowMenu_ = nullptr;
};

// Start-up: creates the main window, shows it and writes the start text of
// Pos_XY. No editor is opened.
std::unique_ptr<Principal> Main(const QString& programDir);
// The same with the dialog services given (tests script them).
std::unique_ptr<Principal> Main(const QString& programDir,
                                std::unique_ptr<app::MessageBoxes> messages,
                                std::unique_ptr<editor::CommonDialog> commonDialog);

} // namespace kavrel
