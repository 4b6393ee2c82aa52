#include "app/app_commands.h"

#include <QDir>
#include <QWidget>

#include "app/app_texts.h"
#include "workspace/workspace.h"
#include "editor/documents.h"

namespace kavrel::app {

void Quit(Workspace& workspace) {
    workspace.window()->close();
}

void Batch_mode(Workspace& workspace) {
    workspace.setBatchMode(true);
}

void Normal_mode(Workspace& workspace) {
    workspace.setBatchMode(false);
}

void Help_Kavrel(Workspace& workspace) {
    editor::LoadFile(workspace, workspace.programDir() + QDir::separator() + texts::kHelpKavrel);
}

void Help_asmhc11(Workspace& workspace) {
    editor::LoadFile(workspace, workspace.programDir() + QDir::separator() + texts::kHelpAsmhc11);
}

} // namespace kavrel::app
