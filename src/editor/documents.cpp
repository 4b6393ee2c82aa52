#include "editor/documents.h"

#include <QDir>
#include <exception>
#include <string>

#include "app/principal.h"
#include "app/wait_cursor.h"
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

void openWith(Principal& principal, const QString& title, const char* filterList) {
    const QString path = FileDialog(principal, title, QString::fromUtf8(filterList), kModeOpen);
    if (!path.isEmpty())
        LoadFile(principal, path);
}

// Asks before a save that would turn characters into '?'; a No ends the save.
void confirmLossySave(Principal& principal, const Editeur& editor, const QString& target) {
    const std::string_view text = editor.texte()->buffer();
    const platform::Unencodable lost = platform::findUnencodable(text);
    if (lost.count == 0)
        return;
    const std::size_t line = caretPosition(text, lost.firstOffset).line;
    const QString sentence =
        lost.count == 1 ? texts::kLossyOne.arg(line) : texts::kLossyMany.arg(lost.count).arg(line);
    const app::BoxAnswer answer = principal.messages().show(
        &principal, texts::kSaveTitle, target + QStringLiteral("\r\n") + sentence,
        app::BoxIcon::Warning, app::BoxButtons::YesNo);
    if (answer != app::BoxAnswer::Yes)
        throw Declined();
}

} // namespace

void New(Principal& principal) {
    // The number is the open-window count, not a serial number.
    const int n = principal.openWindowCount();
    principal.createEditor(
        QDir::toNativeSeparators(QString::fromStdString(platform::newProgramPath(n))));
}

void LoadFile(Principal& principal, const QString& FilePath) {
    // The window shows the path before the file is even measured.
    const QString caption = QDir::toNativeSeparators(FilePath);
    Editeur* editor = principal.createEditor(caption);
    const std::string path = utf8(caption);
    try {
        if (platform::fileSize(path) > kMaxLoadBytes) {
            principal.messages().show(&principal, texts::kTooLargeTitle, texts::kTooLargeText,
                                      app::BoxIcon::Warning, app::BoxButtons::Ok);
            editor->close();
            return;
        }
        const app::WaitCursor hourglass;
        editor->texte()->setWholeText(decodeDocument(platform::readFile(path)));
        editor->Text_Changed = false;
    } catch (...) {
        // A window bearing the path of a file it never loaded would overwrite
        // that file on the next save: it goes, and the failure is reported.
        editor->Text_Changed = false;
        editor->close();
        throw;
    }
}

void Open(Principal& principal) {
    openWith(principal, texts::kOpenProgramTitle, kFilterAsc);
}

void Open_General(Principal& principal) {
    openWith(principal, texts::kOpenFileTitle, kFilterAll);
}

bool SaveForm(Principal& principal, Editeur& Editor, bool AskName) {
    const QString previous = Editor.caption();
    QString target = previous;
    if (AskName) {
        const QString filter = QString::fromStdString(saveFilterFor(utf8(previous)));
        const QString title = texts::kSaveAsTitleStart + previous + texts::kSaveAsTitleEnd;
        const QString chosen = FileDialog(principal, title, filter, kModeSave);
        if (chosen.isEmpty())
            return false;
        target = QDir::toNativeSeparators(chosen);
    }
    Editor.setCaption(target);
    try {
        confirmLossySave(principal, Editor, target);
        platform::writeFileReplacing(utf8(target), encodeDocument(Editor.texte()->buffer()));
    } catch (...) {
        // Nothing was written: the window keeps naming the file it came from
        // and stays modified.
        Editor.setCaption(previous);
        throw;
    }
    Editor.Text_Changed = false;
    return true;
}

bool Form_QueryUnload(Principal& principal, Editeur& editor) {
    if (editor.Text_Changed) {
        const app::BoxAnswer answer = principal.messages().show(
            &principal, texts::kSaveTitle,
            texts::kClosePrompt + QStringLiteral("\r\n") + editor.caption(), app::BoxIcon::Warning,
            app::BoxButtons::YesNo);
        if (answer == app::BoxAnswer::Yes) {
            // A failed save keeps the window open, so its text is not lost.
            try {
                SaveForm(principal, editor, false);
            } catch (const Declined&) {
                return false;
            } catch (const Failure& failure) {
                principal.showFailure(failure);
                return false;
            } catch (const std::exception& error) {
                principal.showFailure(
                    Failure(utf8(texts::kSaveOperation), utf8(editor.caption()), error.what()));
                return false;
            }
        }
    }
    principal.setPosXY(texts::kPosClosed);
    return true;
}

} // namespace kavrel::editor
