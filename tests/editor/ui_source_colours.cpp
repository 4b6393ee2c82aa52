// 68HC11 sources in colour: each kind of token in its style, only for the
// captions of sources, and nothing else of the text box changes.
#include <QApplication>
#include <QTest>
#include <algorithm>
#include <vector>

#include "editor/document_format.h"
#include "editor/source_colours.h"
#include "fakes/ui_fixture.h"

using namespace kavrel;
using namespace kavrel::test;
using editor::SourceStyle;

namespace {

class SourceColours : public UiTest {
protected:
    Editeur* editorFor(const QString& name) { return principal->createEditor(docPath(name)); }

    // The styles of the whole text, one letter a byte: . plain, c comment,
    // l label, m mnemonic, d directive, n number, s string, # hash. Blanks,
    // which show no ink in any style, show as a space.
    static std::string styles(Texte* texte) {
        texte->SendScintilla(QsciScintilla::SCI_COLOURISE, 0UL, -1L);
        const std::size_t length = texte->buffer().size();
        std::string letters;
        for (std::size_t at = 0; at < length; ++at) {
            if (texte->buffer()[at] == ' ' || texte->buffer()[at] == '\t') {
                letters += ' ';
                continue;
            }
            const long style =
                texte->SendScintilla(QsciScintilla::SCI_GETSTYLEAT, static_cast<unsigned long>(at));
            letters += style >= 0 && style < 8 ? ".clmdns#"[style] : '?';
        }
        return letters;
    }

    struct StyleLook {
        std::string font;
        long size, weight, italic, underline, back;
        bool operator==(const StyleLook&) const = default;
    };
    static StyleLook look(Texte* texte, int style) {
        char font[128] = {};
        const auto s = static_cast<unsigned long>(style);
        texte->SendScintilla(QsciScintilla::SCI_STYLEGETFONT, static_cast<uintptr_t>(style), font);
        return {font,
                texte->SendScintilla(QsciScintilla::SCI_STYLEGETSIZEFRACTIONAL, s),
                texte->SendScintilla(QsciScintilla::SCI_STYLEGETWEIGHT, s),
                texte->SendScintilla(QsciScintilla::SCI_STYLEGETITALIC, s),
                texte->SendScintilla(QsciScintilla::SCI_STYLEGETUNDERLINE, s),
                texte->SendScintilla(QsciScintilla::SCI_STYLEGETBACK, s)};
    }
    static long ink(Texte* texte, int style) {
        return texte->SendScintilla(QsciScintilla::SCI_STYLEGETFORE,
                                    static_cast<unsigned long>(style));
    }
};

TEST_F(SourceColours, EachKindOfTokenHasItsStyle) {
    struct Case {
        const char* line;
        const char* want;
    };
    const std::vector<Case> cases = {
        {"* commentaire", "c ccccccccccc"},
        {"; note", "c cccc"},
        {"START LDAA #$1F  charge", "lllll mmmm #nnn  cccccc"},
        {"\tNOP ne fait rien", " mmm cc cccc cccc"},
        {"boucle: bne boucle ;retour", "lllllll mmm ...... ccccccc"},
        {"  fin: rts", "  llll mmm"},
        {"ICI ; seule", "lll c ccccc"},
        {"DEC", "lll"}, // a word in column 1 is a label, whatever it spells
        {"X:LDAA 2", "llmmmm n"},
        {" LDX #%1010,X", " mmm #nnnnn.."},
        {" ldaa @17+&10*2", " mmmm nnn.nnn.n"},
        {" anda #&12&$F0", " mmmm #nnn.nnn"},
        {" ldab #'A'", " mmmm #sss"},
        {" ldab #'a fin", " mmmm #ss ccc"},
        {" adda 0FFH", " mmmm nnnn"},
        {" ldaa 5, X suite", " mmmm n. . ccccc"},
        {" lsla", " mmmm"}, // an alias of the table
        {" jmp *+3", " mmm ..n"},
        {"\tBSET 0,X $80 marque", " mmmm n.. nnn cccccc"},
        {"\tBRCLR $10 $01 boucle encore", " mmmmm nnn nnn ...... cccccc"},
        {"\tbrset 0,y,#$01,ici ;", " mmmmm n...#nnn.... c"},
        {"VAL\tEQU\t$10+2\t; octets", "lll ddd nnn.n c cccccc"},
        {"T = 3", "l d n"},
        {" FCB 1,$2,'3' fin", " ddd n.nn.sss ccc"},
        {" FCC /Bonjour/,$0D texte", " ddd sssssssss.nnn ccccc"},
        {" FCC 'a b' reste", " ddd ss ss ccccc"},
        {" FCC /ouvert", " ddd sssssss"},
        {"#IF DEBUG == 1 ; essai", "ddd ..... .. n c ccccc"},
        {"\t#if X>2 commentaire", " ddd ..n ccccccccccc"},
        {"\tIFDEF DEBUG commentaire", " ddddd ..... ccccccccccc"},
        {"\tENDIF fin du bloc", " ddddd ccc cc cccc"},
        {" nam Mon programme", " ddd ccc ccccccccc"},
        {"\tINCLUDE \"defs.asm\" x", " ddddddd ssssssssss c"},
        {"\tORG\t$F800", " ddd nnnnn"},
        // An expression goes on across blanks; '*' after a blank is a comment.
        {"SCSR EQU RegBase + oSCSR registre", "llll ddd ....... . ..... cccccccc"},
        {"swi EQU * - 2", "lll ddd . . n"},
        {" ldx #$1000 * regs", " mmm #nnnnn c cccc"},
        {" ldaa #( 1 + 2 ) fin", " mmmm #. n . n . ccc"},
        {" ldaa #1 + 1ere", " mmmm #n c cccc"}, // no number, no symbol: a comment
        {"\tBIDON 12 x", " ..... nn c"},        // not an instruction: plain, its operand still read
        {"* \xC3\xA9t\xC3\xA9", "c ccccc"},
        {" rts ; d\xC3\xA9j\xC3\xA0", " mmm c cccccc"},
        {"", ""},
    };
    Editeur* editor = editorFor(QStringLiteral("essai.asc"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        ASSERT_EQ(std::string(c.line).size(), std::string(c.want).size());
        editor->texte()->setWholeText(c.line);
        EXPECT_EQ(styles(editor->texte()), c.want);
    }

    // Lines are styled each on its own, whatever their line ends.
    editor->texte()->setWholeText("* a\r\n NOP\r ldaa 1\n\nL rts");
    EXPECT_EQ(styles(editor->texte()), "c c.. mmm. mmmm n..l mmm");
}

TEST_F(SourceColours, OnlySourceCaptionsColour) {
    const auto check = [this](const char* name, bool coloured) {
        SCOPED_TRACE(name);
        Texte* texte = editorFor(QString::fromLatin1(name))->texte();
        EXPECT_EQ(editor::showsSourceColours(*texte), coloured);
        texte->setWholeText(" NOP");
        EXPECT_EQ(styles(texte), coloured ? " mmm" : " ...");
    };
    for (const char* name : {"a.asc", "B.ASC", "c.asm", "d.Asm", "e.s", "f.S"})
        check(name, true);
    for (const char* name :
         {"g.txt", "h.lst", "Kavrel.hlp", "i.asc.txt", "asc", "j.sx", "k.as", "l.s19", "m."})
        check(name, false);
    // A new program is a source.
    trigger("New");
    EXPECT_TRUE(editor::showsSourceColours(*active()->texte()));
}

TEST_F(SourceColours, SaveAsChangesTheColoursWithTheExtension) {
    trigger("New");
    Editeur* editor = active();
    Texte* texte = editor->texte();
    const StyleLook plainLook = look(editorFor(QStringLiteral("plain.txt"))->texte(), 0);
    principal->activateEditor(editor);
    texte->setWholeText("X ldaa #1 ; un");

    struct Step {
        const char* name;
        const char* want;
    };
    for (const Step& step :
         {Step{"copie.txt", ". .... .. . .."}, Step{"copie.ASM", "l mmmm #n c cc"},
          Step{"copie.s", "l mmmm #n c cc"}, Step{"copie.lst", ". .... .. . .."}}) {
        SCOPED_TRACE(step.name);
        dialogs->answers.push_back(docPath(QString::fromLatin1(step.name)));
        trigger("Record_as");
        ASSERT_EQ(editor->caption(), docPath(QString::fromLatin1(step.name)));
        EXPECT_EQ(styles(texte), step.want);
        EXPECT_EQ(readBytes(editor->caption()), "X ldaa #1 ; un\r\n");
        // Plain again, the text box looks as one that never had colours.
        for (const int style : {0, static_cast<int>(QsciScintilla::STYLE_DEFAULT)})
            EXPECT_EQ(look(texte, style), plainLook) << style;
    }
    EXPECT_DOUBLE_EQ(texte->font().pointSizeF(), 9.75);
}

TEST_F(SourceColours, OnlyTheInkDiffersFromAPlainTextBox) {
    Texte* plain = editorFor(QStringLiteral("plain.txt"))->texte();
    Texte* source = editorFor(QStringLiteral("source.asc"))->texte();
    const StyleLook plainLook = look(plain, 0);
    EXPECT_EQ(plainLook.font, "Courier");
    EXPECT_EQ(plainLook.size, 975);
    EXPECT_EQ(plainLook.italic, 0);
    EXPECT_EQ(look(plain, QsciScintilla::STYLE_DEFAULT), plainLook);
    EXPECT_EQ(look(source, QsciScintilla::STYLE_DEFAULT), plainLook);
    EXPECT_EQ(ink(source, 0), ink(plain, 0));
    std::vector<long> inks;
    for (int style = 0; style < editor::kSourceStyleCount; ++style) {
        SCOPED_TRACE(style);
        EXPECT_EQ(look(source, style), plainLook);
        inks.push_back(ink(source, style));
    }
    // Each kind of token, '#' aside, has an ink of its own.
    std::sort(inks.begin(), inks.end());
    EXPECT_EQ(std::unique(inks.begin(), inks.end()), inks.end());
    EXPECT_EQ(source->font(), plain->font());
}

// The same keys on a coloured and on a plain text box leave the same text,
// caret and selection: setting the colours kept the plain key map.
TEST_F(SourceColours, KeysAndTextAsInAPlainTextBox) {
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
    struct Key {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    const std::vector<Key> keys = {
        {Qt::Key_L, ctrl},       {Qt::Key_D, ctrl},        {Qt::Key_T, ctrl},
        {Qt::Key_U, ctrl},       {Qt::Key_Plus, ctrl},     {Qt::Key_Backspace, ctrl},
        {Qt::Key_Insert, shift}, {Qt::Key_Right, ctrl},    {Qt::Key_Left, ctrl | shift},
        {Qt::Key_Tab, {}},       {Qt::Key_Backtab, shift}, {Qt::Key_Return, {}},
        {Qt::Key_Home, {}},      {Qt::Key_End, shift},     {Qt::Key_Delete, {}},
        {Qt::Key_Z, ctrl},       {Qt::Key_Y, ctrl},        {Qt::Key_A, ctrl},
    };
    const std::string text = "ETIQ\tldaa #$1F ; \xC3\xA9t\xC3\xA9\r\n\tFCC /a b/\r\n";
    Texte* plain = editorFor(QStringLiteral("plain.txt"))->texte();
    Texte* source = editorFor(QStringLiteral("source.asc"))->texte();
    for (Texte* texte : {plain, source}) {
        texte->setWholeText(text);
        texte->SendScintilla(QsciScintilla::SCI_SETSEL, 7UL, 9L);
    }
    for (const Key& k : keys) {
        SCOPED_TRACE(QKeySequence(k.key | k.modifiers).toString().toStdString());
        for (Texte* texte : {plain, source})
            QTest::keyClick(texte, k.key, k.modifiers);
        EXPECT_EQ(std::string(source->buffer()), std::string(plain->buffer()));
        EXPECT_EQ(source->selectionStart(), plain->selectionStart());
        EXPECT_EQ(source->selectionEnd(), plain->selectionEnd());
        EXPECT_EQ(source->SendScintilla(QsciScintilla::SCI_GETZOOM), 0);
    }
}

// A change restyles the lines it touches, and only as the assembler reads them.
TEST_F(SourceColours, ChangesRestyleTheirLines) {
    trigger("New");
    Texte* texte = active()->texte();
    texte->setWholeText("\tldaa #1\r\n\tnop x");
    EXPECT_EQ(styles(texte), " mmmm #n.. mmm c");
    texte->SendScintilla(QsciScintilla::SCI_GOTOPOS, 0UL);
    type(QStringLiteral("*"));
    EXPECT_EQ(styles(texte), "c cccc cc.. mmm c");
    texte->SendScintilla(QsciScintilla::SCI_GOTOPOS, 15UL);
    type(QStringLiteral("a"));
    EXPECT_EQ(std::string(texte->buffer()), "*\tldaa #1\r\n\tnopa x");
    EXPECT_EQ(styles(texte), "c cccc cc.. .... .");
    QTest::keyClick(texte, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(styles(texte), "c cccc cc.. mmm c");
}

// A source of the largest size accepted loads exactly, through the menu, and
// styles to its end.
TEST_F(SourceColours, LargestSourceLoadsExactly) {
    std::string bytes;
    for (int i = 0; bytes.size() < editor::kMaxLoadBytes; ++i) {
        bytes += "L" + std::to_string(i) + "\tldaa\t#$1F\t; r\xE9p\xE8te\r\n";
        bytes += "\tFCC\t/\x80\x81\xFF/\r";
        bytes += "\tbrset\t0,x,$01,L0 \xA4\n";
    }
    bytes.resize(editor::kMaxLoadBytes - 6);
    bytes += "\r\n\tRTS";
    const QString path = docPath(QStringLiteral("grand.asc"));
    writeBytes(path, bytes);
    dialogs->answers.push_back(path);
    trigger("Open_General");
    ASSERT_NE(active(), nullptr);
    Texte* texte = active()->texte();
    ASSERT_TRUE(editor::showsSourceColours(*texte));
    const std::string letters = styles(texte);
    EXPECT_EQ(letters.substr(0, 4), "ll m");
    EXPECT_EQ(letters.substr(letters.size() - 4), " mmm");
    // Compared whole, without printing 60,000 bytes when they differ.
    EXPECT_TRUE(std::string(texte->buffer()) == editor::decodeDocument(bytes));
    dialogs->answers.push_back(docPath(QStringLiteral("copie.asc")));
    trigger("Record_as");
    EXPECT_TRUE(readBytes(docPath(QStringLiteral("copie.asc"))) == bytes + "\r\n");
}

} // namespace
