#include <QMdiArea>
#include <QTest>

#include "editor/editor_texts.h"
#include "fakes/ui_fixture.h"

using namespace kavrel;
using namespace kavrel::test;

namespace {

class EditorWindow : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        trigger("New");
        ASSERT_NE(active(), nullptr);
    }
    Texte* texte() const { return active()->texte(); }
    void select(std::size_t anchor, std::size_t caret) {
        texte()->SendScintilla(QsciScintilla::SCI_SETSEL, static_cast<unsigned long>(anchor),
                               static_cast<long>(caret));
    }
    static QString pos(int line, int column) {
        return QStringLiteral("Ligne : %1 Colonne : %2").arg(line).arg(column);
    }
};

TEST_F(EditorWindow, TextBoxIsAPlainCourierBoxWithoutWrapping) {
    const QFont font = texte()->font();
    EXPECT_EQ(font.family(), QLatin1String("Courier"));
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 9.75);
    EXPECT_FALSE(font.bold() || font.italic() || font.underline() || font.strikeOut());
    EXPECT_EQ(texte()->wrapMode(), QsciScintilla::WrapNone);
    for (int margin = 0; margin < 5; ++margin)
        EXPECT_EQ(texte()->marginWidth(margin), 0) << margin;
    EXPECT_EQ(texte()->folding(), QsciScintilla::NoFoldStyle);
    EXPECT_FALSE(texte()->autoIndent());
    EXPECT_EQ(texte()->eolMode(), QsciScintilla::EolWindows);
    EXPECT_EQ(texte()->SendScintilla(QsciScintilla::SCI_GETPASTECONVERTENDINGS), 0);
    EXPECT_EQ(texte()->SendScintilla(QsciScintilla::SCI_GETMULTIPLESELECTION), 0);
    EXPECT_TRUE(texte()->isUtf8());
    EXPECT_TRUE(texte()->buffer().empty());
    EXPECT_FALSE(active()->Text_Changed());
}

TEST_F(EditorWindow, KeepsEveryCharacterAsGiven) {
    const std::string text("a\0b\rc\nd\r\ne\tf\xC3\xA9\xC2\x81", 16);
    texte()->setWholeText(text);
    EXPECT_EQ(text.size(), texte()->buffer().size());
    EXPECT_EQ(std::string(texte()->buffer()), text);
    // The loaded text cannot be undone away.
    texte()->undo();
    EXPECT_EQ(std::string(texte()->buffer()), text);
    EXPECT_EQ(texte()->selectionStart(), 0u);
}

TEST_F(EditorWindow, EnterInsertsCrLf) {
    type(QStringLiteral("ab"));
    QTest::keyClick(texte(), Qt::Key_Return);
    type(QStringLiteral("c"));
    EXPECT_EQ(text(active()), "ab\r\nc");
}

TEST_F(EditorWindow, ModifiedFlagFollowsEveryChange) {
    EXPECT_FALSE(active()->Text_Changed());
    type(QStringLiteral("x"));
    EXPECT_TRUE(active()->Text_Changed());

    // Undoing back to the original text still counts as a change.
    active()->setText_Changed(false);
    texte()->undo();
    EXPECT_TRUE(text(active()).empty());
    EXPECT_TRUE(active()->Text_Changed());

    // A change made by the program counts too.
    active()->setText_Changed(false);
    texte()->setWholeText("abc");
    EXPECT_TRUE(active()->Text_Changed());

    // Moving the caret is no change.
    active()->setText_Changed(false);
    QTest::keyClick(texte(), Qt::Key_Right);
    EXPECT_FALSE(active()->Text_Changed());
}

struct CaretCase {
    const char* text;
    std::size_t anchor;
    std::size_t caret;
    int line;
    int column;
};

TEST_F(EditorWindow, IndicatorShowsLineAndColumnOfTheSelectionStart) {
    const CaretCase cases[] = {
        {"", 0, 0, 1, 0},
        {"abc", 0, 0, 1, 0},
        {"abc", 3, 3, 1, 3},
        {"abc\r\nde", 5, 5, 2, 0},
        {"abc\r\nde", 6, 6, 2, 1},
        {"abc\r\nde", 3, 3, 1, 3}, // before the CR
        {"abc\r\nde", 4, 4, 1, 4}, // between CR and LF: the CR is a character
        {"a\nb", 3, 3, 2, 1},      // lone LF breaks the line
        {"a\rb", 3, 3, 1, 3},      // lone CR does not
        {"\tb", 2, 2, 1, 2},       // a tab is one column
        {"abcd", 1, 3, 1, 1},      // selection made forwards
        {"abcd", 3, 1, 1, 1},      // and backwards
        {"\xC3\xA9t\xC3\xA9\r\n\xC3\xA7"
         "a",
         10, 10, 2, 2}, // columns count characters
        {"x\r\n\r\n\r\ny", 8, 8, 4, 1},
    };
    for (const CaretCase& c : cases) {
        SCOPED_TRACE(c.text);
        texte()->setWholeText(c.text);
        select(c.anchor, c.caret);
        QTest::keyRelease(texte(), Qt::Key_Shift);
        EXPECT_EQ(principal->posXY(), pos(c.line, c.column));
    }
}

TEST_F(EditorWindow, KeyReleasesAndClicksRefreshButProgramChangesDoNot) {
    principal->setPosXY(QString());
    texte()->setWholeText("abc\r\ndef");
    EXPECT_EQ(principal->posXY(), QString()); // setting the text shows nothing

    select(6, 6);
    QTest::keyRelease(texte(), Qt::Key_Control); // Ctrl released alone
    EXPECT_EQ(principal->posXY(), pos(2, 1));

    QTest::keyClick(texte(), Qt::Key_Left); // an arrow key
    EXPECT_EQ(principal->posXY(), pos(2, 0));

    QTest::keyClick(texte(), Qt::Key_End);
    EXPECT_EQ(principal->posXY(), pos(2, 3));

    type(QStringLiteral("g"));
    EXPECT_EQ(principal->posXY(), pos(2, 4));

    select(1, 1);
    QTest::mouseClick(texte()->viewport(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(principal->posXY(), pos(1, 0));

    texte()->setWholeText("x\ny\nz");
    select(5, 5);
    EXPECT_EQ(principal->posXY(), pos(1, 0));
}

TEST_F(EditorWindow, ResizeFitsTheTextBoxAndReportsTheActiveEditor) {
    Editeur* first = active();
    first->texte()->setWholeText("a\nbb");
    trigger("New");
    Editeur* second = active();
    second->texte()->setWholeText("abc");
    second->texte()->SendScintilla(QsciScintilla::SCI_GOTOPOS, 2);

    const QSize before = first->texte()->size();
    principal->setPosXY(QString());
    first->resize(first->size() + QSize(30, 20));
    EXPECT_EQ(first->texte()->size(), before + QSize(30, 20));
    // The resized editor is not the active one: the active one is reported.
    EXPECT_EQ(principal->posXY(), pos(1, 2));

    first->showMinimized();
    first->showNormal();
    EXPECT_EQ(first->texte()->size(), before + QSize(30, 20));
}

TEST_F(EditorWindow, ClosingAnUnmodifiedEditorAsksNothingAndClearsTheNumbers) {
    active()->close();
    EXPECT_TRUE(boxes->shown.empty());
    EXPECT_EQ(principal->openWindowCount(), 1);
    EXPECT_EQ(principal->posXY(), QString::fromUtf8("Ligne :  Colonne : "));
    EXPECT_NE(principal->posXY(), QString::fromUtf8("Ligne :    Colonne : "));
}

} // namespace

namespace {

class EditorCascade : public UiTest {};

// The first editor takes the defined place; each further one steps down and
// right by a title bar, so no window hides another, and the cascade starts
// again at the defined place before a title bar would leave the workspace.
TEST_F(EditorCascade, NewEditorsStepAwayFromEachOther) {
    trigger("New");
    Editeur* first = active();
    EXPECT_EQ(first->pos(), QPoint(40, 62));
    const int title = first->height() - first->texte()->height();
    ASSERT_GT(title, 0);
    const QSize area = principal->mdiArea()->viewport()->size();

    std::vector<QPoint> places{first->pos()};
    for (int n = 1; n < 40; ++n) {
        trigger("New");
        const QPoint place = active()->pos();
        if (place == QPoint(40, 62))
            break;
        EXPECT_EQ(place, places.back() + QPoint(title, title)) << n;
        EXPECT_LE(place.y() + title, area.height()) << n;
        places.push_back(place);
    }
    // Several fit in the window's own workspace, then it starts again.
    EXPECT_GE(places.size(), 3u);
    EXPECT_LT(places.size(), 40u);
    EXPECT_EQ(active()->pos(), QPoint(40, 62));

    // A place freed by a closed editor is taken again before the others.
    QList<Editeur*> editors = principal->editors();
    for (Editeur* editor : editors)
        editor->close();
    trigger("New");
    trigger("New");
    trigger("New");
    editors = principal->editors();
    ASSERT_EQ(editors.size(), 3);
    const QPoint middle = editors[1]->pos();
    editors[1]->close();
    trigger("New");
    EXPECT_EQ(active()->pos(), middle);
}

} // namespace
