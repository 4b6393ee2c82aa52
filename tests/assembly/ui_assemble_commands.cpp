#include <QApplication>
#include <QFile>

#include "fakes/program_dir.h"
#include "fakes/ui_fixture.h"

using namespace kavrel;
using namespace kavrel::test;

namespace {

const QString kPromptStart =
    QString::fromUtf8("Enregistrer le contenu de la feuille avant l'assemblage : \r\n");

class AssembleCommands : public UiTest {
protected:
    QString programDirPath() const override { return QString::fromStdString(fake.path()); }

    // An editor on a real file holding `text` (saved, unmodified).
    Editeur* openDocument(const QString& name, const std::string& text) {
        writeBytes(docPath(name), text + "\r\n");
        dialogs->answers.push_back(docPath(name));
        trigger("Open_General");
        return active();
    }
    static std::string path(const Editeur* editor) { return editor->caption().toStdString(); }

    ProgramDir fake;
};

TEST_F(AssembleCommands, OffersToSaveEachModifiedEditorInOpeningOrderThenAssemblesTheActiveOne) {
    Editeur* first = openDocument(QStringLiteral("un.asc"), "un");
    Editeur* second = openDocument(QStringLiteral("deux.asc"), "deux");
    Editeur* third = openDocument(QStringLiteral("trois.asc"), "trois");
    first->texte()->setWholeText("un modifié");
    third->texte()->setWholeText("trois modifié");
    principal->activateEditor(second);

    boxes->answers = {app::BoxAnswer::Yes, app::BoxAnswer::No};
    trigger("AssembleToS19");

    ASSERT_EQ(boxes->shown.size(), 2u);
    for (const ShownBox& box : boxes->shown) {
        EXPECT_EQ(box.title, QString::fromUtf8("Enregistrement des données..."));
        EXPECT_EQ(box.icon, app::BoxIcon::Warning);
        EXPECT_EQ(box.buttons, app::BoxButtons::YesNo);
    }
    EXPECT_EQ(boxes->shown[0].text, kPromptStart + first->caption());
    EXPECT_EQ(boxes->shown[1].text, kPromptStart + third->caption());
    EXPECT_EQ(readBytes(first->caption()), "un modifi\xE9\r\n"); // in the code page
    EXPECT_FALSE(first->Text_Changed());
    EXPECT_EQ(readBytes(third->caption()), "trois\r\n");
    EXPECT_TRUE(third->Text_Changed());

    // The direct start has ended when the command returns.
    const auto runs = fake.runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].args, (std::vector<std::string>{fake.assembler(), path(second)}));
    EXPECT_EQ(runs[0].cwd, fake.path());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(AssembleCommands, NothingModifiedAssemblesAtOnce) {
    Editeur* editor = openDocument(QStringLiteral("prog.txt"), "abc");
    trigger("AssembleToS19");
    EXPECT_TRUE(boxes->shown.empty());
    ASSERT_EQ(fake.runs().size(), 1u);
    EXPECT_EQ(fake.runs()[0].args.at(1), path(editor)); // a .txt is assembled all the same
}

TEST_F(AssembleCommands, NewProgramSavedOnYesIsAssembledFromItsProvisionalPath) {
    trigger("New");
    type(QStringLiteral("\tNOP"));
    boxes->answers = {app::BoxAnswer::Yes};
    trigger("AssembleToS19");
    EXPECT_EQ(readBytes(active()->caption()), "\tNOP\r\n");
    ASSERT_EQ(fake.runs().size(), 1u);
    EXPECT_EQ(fake.runs()[0].args.at(1), path(active()));
}

TEST_F(AssembleCommands, BatchModeStartsTheLauncherForS19ButBooStaysDirect) {
    Editeur* editor = openDocument(QStringLiteral("clignote.asc"), "\tNOP");
    trigger("Batch_mode");
    fake.launcherSleep(0.5);

    trigger("AssembleToS19");
    EXPECT_TRUE(fake.runs().empty()); // not the assembler itself
    // Back while the script (half a second of sleep) still runs: looked at
    // as soon as the command returns, so a slow machine proves nothing wrong.
    const auto atReturn = fake.launcherLog();
    EXPECT_EQ(std::count(atReturn.begin(), atReturn.end(), "done"), 0)
        << "returned before the script ended";
    const auto lines = fake.waitForLauncherLines(2);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], fake.path());
    EXPECT_EQ(lines[1], path(editor));
    // The script ends before the next job starts: two programs starting at
    // once under Wine have been seen to hang the second one.
    fake.waitForLauncherLines(lines.size() + 1, std::chrono::seconds(5));

    trigger("AssembleToBOO");
    const auto runs = fake.runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].args.at(1), docPath(QStringLiteral("Test;b")).toStdString());
    for (const char* ext : {".BOO", ".LST", ".S19"})
        EXPECT_NE(readBytes(docPath(QStringLiteral("clignote") + QLatin1String(ext))), "<missing>")
            << ext;
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(AssembleCommands, FailuresAreShownAndTheProgramGoesOn) {
    // A new program never saved: the BOO job cannot stage it.
    trigger("New");
    if (QFile::exists(active()->caption()))
        GTEST_SKIP() << "a file already bears the new program's name";
    trigger("AssembleToBOO");
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, QLatin1String("Erreur :"));
    EXPECT_TRUE(boxes->shown[0].text.contains(active()->caption()));
    EXPECT_TRUE(fake.runs().empty());

    // The assembler missing from the program directory.
    std::filesystem::remove(u8Path(fake.assembler()));
    openDocument(QStringLiteral("a.asc"), "x");
    boxes->shown.clear();
    trigger("AssembleToS19");
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, QLatin1String("Erreur :"));
    EXPECT_TRUE(boxes->shown[0].text.contains(QString::fromStdString(fake.assembler())));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(principal->openWindowCount(), 3);
}

} // namespace
