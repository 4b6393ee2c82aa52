#include "editor/documents.h"

#include <QDir>
#include <exception>
#include <string>

#include "workspace/message_boxes.h"
#include "workspace/wait_cursor.h"
#include "workspace/workspace.h"
#include "editor/caret_position.h"
#include "editor/common_dialog.h"
#include "editor/document_format.h"
#include "editor/editeur.h"
#include "editor/editor_texts.h"
#include "editor/save_filter.h"
#include "platform/code_page.h"
#include "platform/failure.h"
#include "platform/files.h"
#include "platform/native.h"

namespace kavrel::editor {

namespace {

std::string utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

void openWith(Workspace& workspace, const QString& title, const char* filterList) {
    const QString path = FileDialog(workspace, title, QString::fromUtf8(filterList), kModeOpen);
    if (!path.isEmpty())
        LoadFile(workspace, path);
}

// Asks before a save that would turn characters into '?'; a No ends the save.
void confirmLossySave(Workspace& workspace, const Editeur& editor, const QString& target) {
    const std::string_view text = editor.texte()->buffer();
    const platform::Unencodable lost = platform::findUnencodable(text);
    if (lost.count == 0)
        return;
    const std::size_t line = caretPosition(text, lost.firstOffset).line;
    const QString sentence =
        lost.count == 1 ? texts::kLossyOne.arg(line) : texts::kLossyMany.arg(lost.count).arg(line);
    const app::BoxAnswer answer = workspace.messages().show(
        workspace.window(), texts::kSaveTitle, target + QStringLiteral("\r\n") + sentence,
        app::BoxIcon::Warning, app::BoxButtons::YesNo);
    if (answer != app::BoxAnswer::Yes)
        throw Declined();
}

} // namespace

void New(Workspace& workspace) {
    // The number is the open-window count, not a serial number.
    const int n = workspace.openWindowCount();
    workspace.createEditor(
        QDir::toNativeSeparators(QString::fromStdString(platform::newProgramPath(n))));
}

void LoadFile(Workspace& workspace, const QString& FilePath) {
    // The window shows the path before the file is even measured.
    const QString caption = QDir::toNativeSeparators(FilePath);
    Editeur* editor = workspace.createEditor(caption);
    const std::string path = utf8(caption);
    try {
        if (platform::fileSize(path) > kMaxLoadBytes) {
            workspace.messages().show(workspace.window(), texts::kTooLargeTitle,
                                      texts::kTooLargeText, app::BoxIcon::Warning,
                                      app::BoxButtons::Ok);
            editor->close();
            return;
        }
        const app::WaitCursor hourglass;
        editor->texte()->setWholeText(decodeDocument(platform::readFile(path)));
        editor->setText_Changed(false);
    } catch (...) {
        // A window bearing the path of a file it never loaded would overwrite
        // that file on the next save: it goes, and the failure is reported.
        editor->setText_Changed(false);
        editor->close();
        throw;
    }
}

void Open(Workspace& workspace) {
    openWith(workspace, texts::kOpenProgramTitle, kFilterAsc);
}

void Open_General(Workspace& workspace) {
    openWith(workspace, texts::kOpenFileTitle, kFilterAll);
}

void Record(Workspace& workspace) {
    SaveForm(workspace, *workspace.activeEditor(), false);
}

void Record_as(Workspace& workspace) {
    SaveForm(workspace, *workspace.activeEditor(), true);
}

bool SaveForm(Workspace& workspace, Editeur& Editor, bool AskName) {
    const QString previous = Editor.caption();
    QString target = previous;
    if (AskName) {
        const QString filter = QString::fromStdString(saveFilterFor(utf8(previous)));
        const QString title = texts::kSaveAsTitleStart + previous + texts::kSaveAsTitleEnd;
        const QString chosen = FileDialog(workspace, title, filter, kModeSave);
        if (chosen.isEmpty())
            return false;
        target = QDir::toNativeSeparators(chosen);
    }
    Editor.setCaption(target);
    try {
        confirmLossySave(workspace, Editor, target);
        platform::writeFileReplacing(utf8(target), encodeDocument(Editor.texte()->buffer()));
    } catch (...) {
        // Nothing was written: the window keeps naming the file it came from
        // and stays modified.
        Editor.setCaption(previous);
        throw;
    }
    Editor.setText_Changed(false);
    return true;
}

bool Form_QueryUnload(Workspace& workspace, Editeur& editor) {
    if (editor.Text_Changed()) {
        const app::BoxAnswer answer = workspace.messages().show(
            workspace.window(), texts::kSaveTitle,
            texts::kClosePrompt + QStringLiteral("\r\n") + editor.caption(), app::BoxIcon::Warning,
            app::BoxButtons::YesNo);
        if (answer == app::BoxAnswer::Yes) {
            // A failed save keeps the window open, so its text is not lost.
            try {
                SaveForm(workspace, editor, false);
            } catch (const Declined&) {
                return false;
            } catch (const Failure& failure) {
                workspace.showFailure(failure);
                return false;
            } catch (const std::exception& error) {
                workspace.showFailure(
                    Failure(utf8(texts::kSaveOperation), utf8(editor.caption()), error.what()));
                return false;
            }
        }
    }
    workspace.setPosXY(texts::kPosClosed);
    return true;
}

} // namespace kavrel::editor
