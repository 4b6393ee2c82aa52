#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "app/app_texts.h"
#include "fakes/ui_fixture.h"

using namespace kavrel;
using namespace kavrel::test;

namespace {

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

void putText(const QString& text) {
    clipboard()->clear();
    clipboard()->setText(text);
}

QString clipboardText() {
    const QMimeData* data = clipboard()->mimeData();
    return data && data->hasText() ? data->text() : QString();
}

class Clipboard : public UiTest {
protected:
    // An editor holding exactly `bytes` (UTF-8), unmodified, with the bytes
    // [start, end) selected.
    Editeur* editorWith(const QString& caption, const std::string& bytes, std::size_t start,
                        std::size_t end) {
        Editeur* editor = principal->createEditor(docPath(caption));
        editor->texte()->setWholeText(bytes);
        select(editor, start, end);
        editor->setText_Changed(false);
        return editor;
    }

    static void select(Editeur* editor, std::size_t start, std::size_t end) {
        editor->texte()->SendScintilla(QsciScintilla::SCI_SETSEL, static_cast<unsigned long>(start),
                                       static_cast<long>(end));
    }
};

TEST_F(Clipboard, GuardShowsItsBoxAndLeavesTheClipboardAlone) {
    for (const char* command : {"Copy", "Cut", "Paste"}) {
        SCOPED_TRACE(command);
        putText(QStringLiteral("déjà là"));
        boxes->shown.clear();
        trigger(command);
        ASSERT_EQ(boxes->shown.size(), 1u);
        EXPECT_EQ(boxes->shown[0].title, QStringLiteral("Message :"));
        EXPECT_EQ(boxes->shown[0].text,
                  QStringLiteral("Aucun programme n'est ouvert.\r\nOpération annulée..."));
        EXPECT_EQ(boxes->shown[0].icon, app::BoxIcon::Warning);
        EXPECT_EQ(boxes->shown[0].buttons, app::BoxButtons::Ok);
        EXPECT_EQ(clipboardText(), QStringLiteral("déjà là"));
        EXPECT_TRUE(principal->editors().isEmpty());
    }
}

TEST_F(Clipboard, CopyInOneEditorPastesIntoAnother) {
    // "é" is two bytes in the buffer and one character on the clipboard.
    Editeur* source = editorWith(QStringLiteral("a.asc"), "  LDAA #$41 ; é\r\nFIN", 2, 16);
    trigger("Copy");
    EXPECT_EQ(clipboardText(), QStringLiteral("LDAA #$41 ; é"));
    EXPECT_FALSE(source->Text_Changed());
    EXPECT_EQ(text(source), "  LDAA #$41 ; é\r\nFIN");
    EXPECT_EQ(source->texte()->selectedBytes(), "LDAA #$41 ; é");

    Editeur* target = editorWith(QStringLiteral("b.asc"), "<>", 1, 1);
    trigger("Paste");
    EXPECT_EQ(text(target), "<LDAA #$41 ; é>");
    EXPECT_TRUE(target->Text_Changed());
    EXPECT_FALSE(source->Text_Changed());
    // The caret ends just after the inserted text.
    EXPECT_EQ(target->texte()->selectionStart(), 1u + std::string("LDAA #$41 ; é").size());
    EXPECT_EQ(target->texte()->selectionEnd(), target->texte()->selectionStart());

    // The clipboard is untouched, so the paste can be repeated.
    EXPECT_EQ(clipboardText(), QStringLiteral("LDAA #$41 ; é"));
    trigger("Paste");
    EXPECT_EQ(text(target), "<LDAA #$41 ; éLDAA #$41 ; é>");
}

TEST_F(Clipboard, CutMovesTheSelectionToTheClipboard) {
    Editeur* editor = editorWith(QStringLiteral("a.asc"), "ABCDEF", 1, 4);
    trigger("Cut");
    EXPECT_EQ(clipboardText(), QStringLiteral("BCD"));
    EXPECT_EQ(text(editor), "AEF");
    EXPECT_TRUE(editor->Text_Changed());
    EXPECT_EQ(editor->texte()->selectionStart(), 1u);
    EXPECT_EQ(editor->texte()->selectionEnd(), 1u);
}

TEST_F(Clipboard, CopyAndCutOfAnEmptySelectionEmptyTheClipboard) {
    for (const char* command : {"Copy", "Cut"}) {
        SCOPED_TRACE(command);
        Editeur* editor = editorWith(QStringLiteral("a.asc"), "ABC\r\n", 2, 2);
        putText(QStringLiteral("ancien"));
        trigger(command);
        EXPECT_TRUE(clipboardText().isEmpty());
        EXPECT_EQ(text(editor), "ABC\r\n");
        EXPECT_FALSE(editor->Text_Changed());
        editor->close();
    }
}

TEST_F(Clipboard, PasteInsertsLineBreaksAsTheyAre) {
    struct Case {
        const char* name;
        QString clipboard;
        std::string expected;
    };
    const Case cases[] = {
        {"CR LF", QStringLiteral("L1\r\nL2"), "[L1\r\nL2]"},
        {"lone LF", QStringLiteral("L1\nL2\n"), "[L1\nL2\n]"},
        {"lone CR", QStringLiteral("\rL1\rL2"), "[\rL1\rL2]"},
        {"mixed", QStringLiteral("a\r\nb\nc\rd\n\r"), "[a\r\nb\nc\rd\n\r]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The selected "xx" is replaced.
        Editeur* editor = editorWith(QStringLiteral("a.asc"), "[xx]", 1, 3);
        putText(c.clipboard);
        trigger("Paste");
        EXPECT_EQ(text(editor), c.expected);
        EXPECT_EQ(clipboardText(), c.clipboard);
        editor->setText_Changed(false);
        editor->close();
    }
}

TEST_F(Clipboard, PasteWithoutTextOnTheClipboardDeletesTheSelection) {
    Editeur* editor = editorWith(QStringLiteral("a.asc"), "garder|effacer|garder", 6, 14);
    auto* picture = new QMimeData;
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    picture->setImageData(image);
    clipboard()->setMimeData(picture);
    ASSERT_FALSE(clipboard()->mimeData()->hasText());

    trigger("Paste");
    EXPECT_EQ(text(editor), "garder|garder");
    EXPECT_TRUE(editor->Text_Changed());
    EXPECT_TRUE(clipboard()->mimeData()->hasImage());

    // Nothing selected and nothing to insert: no change at all.
    editor->setText_Changed(false);
    trigger("Paste");
    EXPECT_EQ(text(editor), "garder|garder");
    EXPECT_FALSE(editor->Text_Changed());
}

TEST_F(Clipboard, PasteOfTheSelectedTextItselfIsNoChange) {
    Editeur* editor = editorWith(QStringLiteral("a.asc"), "un deux trois", 3, 7);
    putText(QStringLiteral("deux"));
    trigger("Paste");
    EXPECT_EQ(text(editor), "un deux trois");
    EXPECT_FALSE(editor->Text_Changed());
    EXPECT_EQ(editor->texte()->selectionStart(), 7u);
}

TEST_F(Clipboard, CommandsActOnTheActiveEditorAndLeavePosXY) {
    Editeur* first = editorWith(QStringLiteral("a.asc"), "premier", 0, 7);
    Editeur* second = editorWith(QStringLiteral("b.asc"), "second", 0, 6);
    principal->activateEditor(first);
    principal->setPosXY(QStringLiteral("inchangé"));

    trigger("Copy");
    principal->activateEditor(second);
    principal->setPosXY(QStringLiteral("inchangé"));
    trigger("Paste");
    EXPECT_EQ(text(second), "premier");
    EXPECT_EQ(text(first), "premier");
    EXPECT_FALSE(first->Text_Changed());
    EXPECT_EQ(principal->posXY(), QStringLiteral("inchangé"));
    trigger("Cut");
    EXPECT_EQ(principal->posXY(), QStringLiteral("inchangé"));
}

} // namespace
