// The assembly report through the menu, with the real assembler: the rows,
// the verdict, the marks on the lines in error, and the way to each line.
#include <QAccessible>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include "asmhc11/diagnostic_format.h"
#include "assembly/assembly_report.h"
#include "fakes/program_dir.h"
#include "fakes/ui_fixture.h"
#include "platform/process.h"

#ifndef KAVREL_TEST_ASSEMBLER
#error "KAVREL_TEST_ASSEMBLER names the built assembler"
#endif

using namespace kavrel;
using namespace kavrel::test;

namespace {

// Two errors, on lines 3 and 4.
const std::string kFaulty = " ORG $100\r\n LDAA #1\r\n LDZ #2\r\n BRA nowhere\r\n END";
const std::string kSound = " ORG $100\r\n LDAA #1\r\n END";

const QString kAssembler = QString::fromLatin1(platform::kAssemblerName);

class AssemblyReportTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        const QString assembler = programDir.filePath(kAssembler);
        ASSERT_TRUE(QFile::copy(QStringLiteral(KAVREL_TEST_ASSEMBLER), assembler));
    }
    Editeur* open(const QString& name, const std::string& text) {
        writeBytes(docPath(name), text + "\r\n");
        dialogs->answers.push_back(docPath(name));
        trigger("Open_General");
        return active();
    }
    assembly::AssemblyReport* report() const {
        return principal->findChild<assembly::AssemblyReport*>();
    }
    QStringList rows() const {
        QStringList texts;
        for (int i = 0; i < report()->rows()->count(); ++i)
            texts << report()->rows()->item(i)->text();
        return texts;
    }
    const ShownBox* errorBox() const {
        for (const ShownBox& box : boxes->shown)
            if (box.title == QLatin1String("Erreur :"))
                return &box;
        return nullptr;
    }
};

TEST_F(AssemblyReportTest, ErrorsAreRowsVerdictAndMarksAndEachRowLeadsToItsLine) {
    EXPECT_EQ(report(), nullptr); // not there at start-up
    Editeur* editor = open(QStringLiteral("faux.asc"), kFaulty);
    const QString path = editor->caption();
    trigger("AssembleToS19");

    ASSERT_NE(report(), nullptr);
    EXPECT_TRUE(report()->isVisible());
    EXPECT_EQ(report()->windowTitle(), QStringLiteral("Compte rendu d'assemblage"));
    EXPECT_EQ(principal->dockWidgetArea(report()), Qt::BottomDockWidgetArea);
    EXPECT_EQ(report()->verdict(), QStringLiteral("Assemblage terminé avec 2 erreurs"));
    EXPECT_EQ(rows(),
              (QStringList{path + QStringLiteral(":3: erreur : instruction inconnue : LDZ"),
                           path + QStringLiteral(":4: erreur : symbole non défini : nowhere")}));
    const auto* output = report()->findChild<QPlainTextEdit*>(QStringLiteral("Output"));
    EXPECT_TRUE(output->toPlainText().contains(QStringLiteral("asmhc11 : 2 erreurs")));
    const auto* command = report()->findChild<QLabel*>(QStringLiteral("Command"));
#ifdef _WIN32
    const QString assembler = QStringLiteral("asmhc11.exe ");
#else
    const QString assembler = QStringLiteral("asmhc11 ");
#endif
    EXPECT_TRUE(command->text().endsWith(assembler + path)) << command->text().toStdString();
    EXPECT_TRUE(boxes->shown.empty());

    // Lines 3 and 4 are marked, the others not.
    Texte* texte = editor->texte();
    EXPECT_EQ((std::vector<bool>{texte->hasErrorMark(0), texte->hasErrorMark(1),
                                 texte->hasErrorMark(2), texte->hasErrorMark(3)}),
              (std::vector<bool>{false, false, true, true}));

    // Enter on the second row: its line selected, caret at its start.
    trigger("New"); // another editor is active
    report()->rows()->setCurrentRow(1);
    report()->rows()->setFocus();
    QTest::keyClick(report()->rows(), Qt::Key_Return);
    EXPECT_EQ(active(), editor);
    EXPECT_EQ(texte->selectedBytes(), " BRA nowhere");
    EXPECT_EQ(texte->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS),
              texte->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, 3UL));
    EXPECT_EQ(principal->posXY(), QStringLiteral("Ligne : 4 Colonne : 0"));

    // Editing a marked line takes its mark away, and only its own.
    QTest::keyClicks(texte, QStringLiteral("x"));
    EXPECT_FALSE(texte->hasErrorMark(3));
    EXPECT_TRUE(texte->hasErrorMark(2));

    // The panel can be closed, and comes back with the next assembly, which
    // starts with fresh marks.
    report()->close();
    EXPECT_FALSE(report()->isVisible());
    editor->texte()->setWholeText(kSound);
    boxes->answers = {app::BoxAnswer::Yes}; // save before assembling
    principal->activateEditor(editor);
    trigger("AssembleToS19");
    EXPECT_TRUE(report()->isVisible());
    EXPECT_EQ(report()->verdict(), QStringLiteral("Assemblage réussi : 0 erreur"));
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_FALSE(texte->hasErrorMark(2));
}

TEST_F(AssemblyReportTest, ABooJobNamesTheUsersSourceAndAFileNotOpenIsOpened) {
    writeBytes(docPath(QStringLiteral("defs.inc")), "VAL EQU 1\r\n LDAA #RIEN\r\n");
    Editeur* editor = open(QStringLiteral("principal.asc"),
                           " ORG $100\r\n INCLUDE \"defs.inc\"\r\n LDY #1,2\r\n END");
    const QString path = editor->caption();
    const QString include = docPath(QStringLiteral("defs.inc"));
    trigger("AssembleToBOO");

    ASSERT_NE(report(), nullptr);
    const QStringList texts = rows();
    ASSERT_EQ(texts.size(), 2) << texts.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(texts[0].startsWith(include + QStringLiteral(":2: erreur : ")))
        << texts[0].toStdString();
    EXPECT_TRUE(texts[1].startsWith(path + QStringLiteral(":3: erreur : ")))
        << texts[1].toStdString();
    EXPECT_FALSE(texts.join(QString()).contains(QStringLiteral("Test.asc")));
    EXPECT_EQ(report()->verdict(), QStringLiteral("Assemblage terminé avec 2 erreurs"));
    EXPECT_TRUE(editor->texte()->hasErrorMark(2));
    // With errors there is no Test.BOO: the job still says so, as before.
    ASSERT_NE(errorBox(), nullptr);
    EXPECT_TRUE(errorBox()->text.contains(QStringLiteral("Test.BOO")));

    // A double-click on the row of the file not open opens it at its line.
    principal->resize(900, 700);
    QTRY_VERIFY(report()->rows()->viewport()->height() > 40);
    const QRect place = report()->rows()->visualItemRect(report()->rows()->item(0));
    // As a real double-click comes: a click, then the second press.
    QTest::mouseClick(report()->rows()->viewport(), Qt::LeftButton, Qt::NoModifier, place.center());
    QTest::mouseDClick(report()->rows()->viewport(), Qt::LeftButton, Qt::NoModifier,
                       place.center());
    ASSERT_NE(active(), editor);
    EXPECT_EQ(active()->caption(), include);
    EXPECT_EQ(active()->texte()->selectedBytes(), " LDAA #RIEN");
    EXPECT_TRUE(active()->texte()->hasErrorMark(1));
    EXPECT_EQ(principal->posXY(), QStringLiteral("Ligne : 2 Colonne : 0"));
}

TEST_F(AssemblyReportTest, ScreenReadersReadThePanelAndItsRows) {
    open(QStringLiteral("lu.asc"), kFaulty);
    trigger("AssembleToS19");
    ASSERT_NE(report(), nullptr);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(report()->rows());
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->text(QAccessible::Name), QStringLiteral("Erreurs et avertissements"));
    ASSERT_GE(list->childCount(), 2);
    EXPECT_TRUE(list->child(0)->text(QAccessible::Name).contains(QStringLiteral(":3: erreur : ")));
    QAccessibleInterface* verdict = QAccessible::queryAccessibleInterface(
        report()->findChild<QLabel*>(QStringLiteral("Verdict")));
    EXPECT_EQ(verdict->text(QAccessible::Name),
              QStringLiteral("Assemblage terminé avec 2 erreurs"));
}

#ifdef _WIN32
// The assembler prints into a console window of its own, as it always did; the
// rows come from the copy it writes for us, and that copy leaves nothing in
// our environment or in the temporary folder.
TEST_F(AssemblyReportTest, OnWindowsTheRowsComeFromTheAssemblersCopy) {
    const TempDir temporary;
    const auto before = platform::setEnvironmentVariable("TMP", temporary.path());
    Editeur* editor = open(QStringLiteral("faux.asc"), kFaulty);
    trigger("AssembleToS19");
    platform::setEnvironmentVariable("TMP", before);

    ASSERT_NE(report(), nullptr);
    EXPECT_EQ(report()->verdict(), QStringLiteral("Assemblage terminé avec 2 erreurs"));
    EXPECT_EQ(rows().size(), 2);
    EXPECT_TRUE(editor->texte()->hasErrorMark(2));
    const auto* output = report()->findChild<QPlainTextEdit*>(QStringLiteral("Output"));
    EXPECT_TRUE(output->toPlainText().contains(QStringLiteral("asmhc11 : 2 erreurs")));
    EXPECT_EQ(platform::setEnvironmentVariable(asmhc11::kOutputCopyVariable, std::nullopt),
              std::nullopt);
    EXPECT_TRUE(QDir(QString::fromStdString(temporary.path())).isEmpty());

    open(QStringLiteral("juste.asc"), kSound);
    trigger("AssembleToS19");
    EXPECT_EQ(report()->verdict(), QStringLiteral("Assemblage réussi : 0 erreur"));
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_NE(readBytes(docPath(QStringLiteral("juste.S19"))), "<missing>");
}
#endif

TEST_F(AssemblyReportTest, AMissingAssemblerIsReportedAsBeforeAndABatchRunLeavesThePanelAlone) {
    open(QStringLiteral("seul.asc"), kSound);
    QFile::remove(programDir.filePath(kAssembler));
    trigger("AssembleToS19");
    ASSERT_NE(errorBox(), nullptr);
    EXPECT_TRUE(errorBox()->text.startsWith(QStringLiteral("Démarrage du programme")));
    EXPECT_EQ(report(), nullptr);

    boxes->shown.clear();
    trigger("Batch_mode");
    trigger("AssembleToS19"); // no launcher here: that failure, and no panel
    ASSERT_NE(errorBox(), nullptr);
    EXPECT_EQ(report(), nullptr);
}

// A fake assembler that prints far more than a pipe holds does not block.
class LongOutput : public UiTest {
protected:
    QString programDirPath() const override { return QString::fromStdString(fake.path()); }
    ProgramDir fake;
};

TEST_F(LongOutput, AMegabyteOfOutputIsReadWhileTheAssemblerRuns) {
    fake.control("print 1048576\n");
    writeBytes(docPath(QStringLiteral("long.asc")), "x\r\n");
    dialogs->answers.push_back(docPath(QStringLiteral("long.asc")));
    trigger("Open_General");
    trigger("AssembleToS19");
    auto* report = principal->findChild<assembly::AssemblyReport*>();
    ASSERT_NE(report, nullptr);
    EXPECT_EQ(report->verdict(), QStringLiteral("Assemblage réussi : 0 erreur"));
    const auto* output = report->findChild<QPlainTextEdit*>(QStringLiteral("Output"));
    EXPECT_EQ(output->toPlainText().size(), 1048576);
    EXPECT_EQ(fake.runs().size(), 1u);
}

} // namespace
