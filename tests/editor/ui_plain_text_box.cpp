// The text box behaves as an ordinary multi-line text box: only its own keys,
// no zoom, no dragging of text.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>
#include <vector>

#include "fakes/ui_fixture.h"

using namespace kavrel;
using namespace kavrel::test;

namespace {

class PlainTextBox : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        trigger("New");
        ASSERT_NE(active(), nullptr);
    }
    Texte* texte() const { return active()->texte(); }
    void load(const std::string& text, std::size_t anchor, std::size_t caret) {
        texte()->setWholeText(text);
        texte()->SendScintilla(QsciScintilla::SCI_SETSEL, static_cast<unsigned long>(anchor),
                               static_cast<long>(caret));
        // Up and Down keep the column the caret was last placed at.
        texte()->SendScintilla(QsciScintilla::SCI_CHOOSECARETX);
    }
    long anchor() const { return texte()->SendScintilla(QsciScintilla::SCI_GETANCHOR); }
    long caret() const { return texte()->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS); }
    long zoom() const { return texte()->SendScintilla(QsciScintilla::SCI_GETZOOM); }
};

struct Key {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};

// Bindings a plain text box does not have, several of which change the text,
// the clipboard or the font: after each, all three are as they were.
TEST_F(PlainTextBox, KeysOfNoPlainTextBoxDoNothing) {
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier,
                                alt = Qt::AltModifier;
    const std::vector<Key> removed = {
        {"Ctrl+L (line cut)", Qt::Key_L, ctrl},
        {"Ctrl+Shift+L (line delete)", Qt::Key_L, ctrl | shift},
        {"Ctrl+T (line swap)", Qt::Key_T, ctrl},
        {"Ctrl+Shift+T (line copy)", Qt::Key_T, ctrl | shift},
        {"Ctrl+D (duplicate)", Qt::Key_D, ctrl},
        {"Ctrl+U (lower case)", Qt::Key_U, ctrl},
        {"Ctrl+Shift+U (upper case)", Qt::Key_U, ctrl | shift},
        {"Shift+Tab (un-indent)", Qt::Key_Backtab, shift},
        {"Ctrl+Plus (zoom in)", Qt::Key_Plus, ctrl},
        {"Ctrl+Minus (zoom out)", Qt::Key_Minus, ctrl},
        {"Ctrl+keypad Plus", Qt::Key_Plus, ctrl | Qt::KeypadModifier},
        {"Ctrl+Backspace (word)", Qt::Key_Backspace, ctrl},
        {"Ctrl+Delete (word)", Qt::Key_Delete, ctrl},
        {"Ctrl+Shift+Backspace (line start)", Qt::Key_Backspace, ctrl | shift},
        {"Ctrl+Shift+Delete (line end)", Qt::Key_Delete, ctrl | shift},
        {"Shift+Delete (cut)", Qt::Key_Delete, shift},
        {"Shift+Insert (paste)", Qt::Key_Insert, shift},
        {"Ctrl+Insert (copy)", Qt::Key_Insert, ctrl},
        {"Alt+Backspace (undo)", Qt::Key_Backspace, alt},
        {"Ctrl+Shift+Z (redo)", Qt::Key_Z, ctrl | shift},
        {"Alt+Shift+Down (column select)", Qt::Key_Down, alt | shift},
        {"Alt+A", Qt::Key_A, alt},
        {"Escape", Qt::Key_Escape, Qt::NoModifier},
    };
    const std::string text = "one\r\n  two\r\nthree";
    for (const Key& k : removed) {
        SCOPED_TRACE(k.name);
        load(text, 7, 9); // "tw" selected
        QApplication::clipboard()->setText(QStringLiteral("clip"));
        QTest::keyClick(texte(), k.key, k.modifiers);
        EXPECT_EQ(std::string(texte()->buffer()), text);
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("clip"));
        EXPECT_EQ(zoom(), 0);
        EXPECT_DOUBLE_EQ(texte()->font().pointSizeF(), 9.75);
    }

    // Insert no longer switches to overtype: a character still goes in between.
    load("ab", 1, 1);
    QTest::keyClick(texte(), Qt::Key_Insert);
    QTest::keyClicks(texte(), QStringLiteral("x"));
    EXPECT_EQ(std::string(texte()->buffer()), "axb");
}

// The keys of a plain text box, each with its effect.
TEST_F(PlainTextBox, PlainKeysKeepTheirEffect) {
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
    struct Case {
        Key key;
        std::string before;
        std::size_t anchor, caret;
        std::string after;
        long wantAnchor, wantCaret;
    };
    const std::vector<Case> cases = {
        {{"Enter", Qt::Key_Return, Qt::NoModifier}, "ab", 1, 1, "a\r\nb", 3, 3},
        {{"Shift+Enter", Qt::Key_Return, shift}, "ab", 1, 1, "a\r\nb", 3, 3},
        {{"Tab over lines", Qt::Key_Tab, Qt::NoModifier},
         "one\r\ntwo\r\nx",
         1,
         8,
         "o\t\r\nx",
         2,
         2},
        {{"Tab", Qt::Key_Tab, Qt::NoModifier}, "ab", 1, 1, "a\tb", 2, 2},
        {{"Backspace", Qt::Key_Backspace, Qt::NoModifier}, "abc", 2, 2, "ac", 1, 1},
        {{"Shift+Backspace", Qt::Key_Backspace, shift}, "abc", 2, 2, "ac", 1, 1},
        {{"Delete", Qt::Key_Delete, Qt::NoModifier}, "abc", 1, 1, "ac", 1, 1},
        {{"Delete selection", Qt::Key_Delete, Qt::NoModifier}, "abcd", 1, 3, "ad", 1, 1},
        {{"Left", Qt::Key_Left, Qt::NoModifier}, "abc", 2, 2, "abc", 1, 1},
        {{"Shift+Left", Qt::Key_Left, shift}, "abc", 2, 2, "abc", 2, 1},
        {{"Right", Qt::Key_Right, Qt::NoModifier}, "abc", 1, 1, "abc", 2, 2},
        {{"Ctrl+Right", Qt::Key_Right, ctrl}, "ab cd", 0, 0, "ab cd", 3, 3},
        {{"Ctrl+Shift+Left", Qt::Key_Left, ctrl | shift}, "ab cd", 5, 5, "ab cd", 5, 3},
        {{"Down", Qt::Key_Down, Qt::NoModifier}, "ab\r\ncd", 1, 1, "ab\r\ncd", 5, 5},
        {{"Shift+Up", Qt::Key_Up, shift}, "ab\r\ncd", 5, 5, "ab\r\ncd", 5, 1},
        {{"Home to column 0", Qt::Key_Home, Qt::NoModifier}, "x\r\n  ab", 7, 7, "x\r\n  ab", 3, 3},
        {{"Shift+Home", Qt::Key_Home, shift}, "  ab", 4, 4, "  ab", 4, 0},
        {{"End", Qt::Key_End, Qt::NoModifier}, "ab\r\ncd", 0, 0, "ab\r\ncd", 2, 2},
        {{"Ctrl+Home", Qt::Key_Home, ctrl}, "ab\r\ncd", 6, 6, "ab\r\ncd", 0, 0},
        {{"Ctrl+Shift+End", Qt::Key_End, ctrl | shift}, "ab\r\ncd", 1, 1, "ab\r\ncd", 1, 6},
        {{"Page Down", Qt::Key_PageDown, Qt::NoModifier}, "a\r\nb", 0, 0, "a\r\nb", 4, 4},
        {{"Ctrl+A", Qt::Key_A, ctrl}, "ab\r\ncd", 1, 1, "ab\r\ncd", 6, 0},
        {{"character over a selection", Qt::Key_Z, Qt::NoModifier}, "abc", 0, 2, "zc", 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key.name);
        load(c.before, c.anchor, c.caret);
        QTest::keyClick(texte(), c.key.key, c.key.modifiers);
        EXPECT_EQ(std::string(texte()->buffer()), c.after);
        EXPECT_EQ(anchor(), c.wantAnchor);
        EXPECT_EQ(caret(), c.wantCaret);
    }
}

TEST_F(PlainTextBox, ClipboardAndUndoKeysOfTheTextBox) {
    QClipboard* clipboard = QApplication::clipboard();
    load("a\rb\r\nc", 0, 6);
    QTest::keyClick(texte(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("a\rb\r\nc"));
    QTest::keyClick(texte(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(texte()->buffer().empty());
    EXPECT_EQ(clipboard->text(), QStringLiteral("a\rb\r\nc"));

    clipboard->setText(QStringLiteral("x\ny\rz"));
    QTest::keyClick(texte(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(std::string(texte()->buffer()), "x\ny\rz"); // line ends as they came
    QTest::keyClick(texte(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(texte()->buffer().empty());
    QTest::keyClick(texte(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(std::string(texte()->buffer()), "x\ny\rz");
    // The menu commands keep no shortcut of their own.
    for (const char* name : {"Copy", "Cut", "Paste", "Record", "New"})
        EXPECT_TRUE(action(name)->shortcut().isEmpty()) << name;
}

TEST_F(PlainTextBox, NoZoomWhateverAsksForIt) {
    load("ab", 0, 0);
    for (const int delta : {120, -120, 240}) {
        QWheelEvent wheel(QPointF(10, 10), texte()->viewport()->mapToGlobal(QPointF(10, 10)),
                          QPoint(), QPoint(0, delta), Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(texte()->viewport(), &wheel);
        EXPECT_EQ(zoom(), 0) << delta;
    }
    // Even the text box's own command comes back to no zoom.
    texte()->zoomIn(3);
    EXPECT_EQ(zoom(), 0);
    EXPECT_DOUBLE_EQ(texte()->font().pointSizeF(), 9.75);
}

TEST_F(PlainTextBox, SelectedTextCannotBeDraggedOrDropped) {
    load("hello world", 0, 5);
    // A press inside the selection starts a new selection there, as in a
    // plain text box, instead of picking the text up.
    const long x = texte()->SendScintilla(QsciScintilla::SCI_POINTXFROMPOSITION, 0UL, 2L);
    const long y = texte()->SendScintilla(QsciScintilla::SCI_POINTYFROMPOSITION, 0UL, 2L);
    const QPoint inside(static_cast<int>(x) + 1, static_cast<int>(y) + 2);
    QTest::mousePress(texte()->viewport(), Qt::LeftButton, Qt::NoModifier, inside);
    EXPECT_EQ(anchor(), caret());
    QTest::mouseRelease(texte()->viewport(), Qt::LeftButton, Qt::NoModifier, inside);
    EXPECT_EQ(std::string(texte()->buffer()), "hello world");

    // Nothing is dropped in from elsewhere either.
    EXPECT_FALSE(texte()->viewport()->acceptDrops());
    QMimeData data;
    data.setText(QStringLiteral("dropped"));
    QDropEvent drop(QPointF(inside), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(texte()->viewport(), &drop);
    EXPECT_EQ(std::string(texte()->buffer()), "hello world");
}

} // namespace
