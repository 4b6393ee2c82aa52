#pragma once

#include <QString>

namespace kavrel {
class Workspace;
class Editeur;
} // namespace kavrel

// Opening, creating and saving documents, and the close-time prompt.
namespace kavrel::editor {

// Opens a file into a new editor captioned `FilePath`.
void LoadFile(Workspace& workspace, const QString& FilePath);

void New(Workspace& workspace);
void Open(Workspace& workspace);
void Open_General(Workspace& workspace);

// Saves the active editor under its caption, or under a name asked first.
void Record(Workspace& workspace);
void Record_as(Workspace& workspace);

// Writes the editor's text to its caption's file, asking for another name
// first when `AskName`. Returns false when the user cancelled the dialog.
// Throws Failure when the file cannot be written, Declined when the user would
// rather not write characters the code page lacks as '?'; the editor then
// stays modified and keeps its old caption.
bool SaveForm(Workspace& workspace, Editeur& Editor, bool AskName);

// The close query of an editor: offers to save a modified text. Returns
// false when the window must stay open (its save failed).
bool Form_QueryUnload(Workspace& workspace, Editeur& editor);

} // namespace kavrel::editor
