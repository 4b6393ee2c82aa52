// "Exécution" > "Exemples": the shipped examples listed by title, each
// copied into the user's documents and opened from there, the copy simulated
// at once; a copy already there is the user's and is opened as it is.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QStandardPaths>

#include <filesystem>

#include "simulation/examples.h"
#include "simulation_fixture.h"

using namespace kavrel;
using namespace kavrel::test;

namespace {

// The examples as shipped, beside this test in the source tree.
QString shippedExamples() {
    const std::filesystem::path here(__FILE__);
    return QString::fromStdString(
        (here.parent_path().parent_path().parent_path() / "data" / "examples").string());
}

class ExamplesTest : public SimulationTest {
protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "the documents folder of Windows is not the test's to fill";
#endif
        // The documents folder is in the test's home (the fixture's `docs`),
        // whatever the user's folders file says.
        savedConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(docs.filePath(QStringLiteral(".config"))));
        // The examples installed beside the program.
        const QDir installed(simulation::installedExamplesFolder(programDir.path()));
        ASSERT_TRUE(QDir().mkpath(installed.path()));
        for (const simulation::Example& example : simulation::kExamples)
            ASSERT_TRUE(QFile::copy(QDir(shippedExamples()).filePath(example.file),
                                    installed.filePath(example.file)))
                << example.file;
        SimulationTest::SetUp();
    }
    void TearDown() override {
        if (IsSkipped())
            return;
        SimulationTest::TearDown();
        if (savedConfig_.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", savedConfig_);
    }

    QString copyOf(const char* file) const {
        return QDir::toNativeSeparators(
            docs.filePath(QStringLiteral("Documents/Kavrel/Exemples/") + file));
    }
    Editeur* editorOn(const QString& path) const {
        for (Editeur* editor : principal->editors())
            if (editor->caption() == path)
                return editor;
        return nullptr;
    }

    QByteArray savedConfig_;
};

TEST_F(ExamplesTest, TheMenuListsEveryExampleByItsTitle) {
    QAction* examples = action("Examples");
    ASSERT_NE(examples, nullptr);
    EXPECT_EQ(examples->text(), QStringLiteral("Exemples"));
    ASSERT_NE(examples->menu(), nullptr);
    QStringList titles;
    for (QAction* item : examples->menu()->actions())
        titles << item->text();
    EXPECT_EQ(titles, (QStringList{
                          QStringLiteral("LED clignotante au rythme du timer"),
                          QStringLiteral("Écho sur la liaison série"),
                          QStringLiteral("« BONJOUR » sur l'afficheur LCD"),
                          QStringLiteral("Touches du clavier sur l'afficheur LCD"),
                          QStringLiteral("Compteur sur les afficheurs 7 segments"),
                          QStringLiteral("Potentiomètre en barre de LED (convertisseur A/N)"),
                          QStringLiteral("Note de 1 kHz sur le buzzer"),
                          QStringLiteral("Écriture et relecture de l'EEPROM"),
                      }));
    // Every example is shipped, and each board is one Kavrel knows.
    for (const simulation::Example& example : simulation::kExamples) {
        EXPECT_TRUE(QFile::exists(QDir(shippedExamples()).filePath(example.file))) << example.file;
        EXPECT_TRUE(QStringList({"chip", "evb", "tp", "monopuce"}).contains(example.board));
    }
}

TEST_F(ExamplesTest, AnExampleIsCopiedIntoTheDocumentsOpenedAndSimulated) {
    ASSERT_FALSE(QDir(docs.filePath(QStringLiteral("Documents/Kavrel"))).exists());
    trigger("Example_echo");
    EXPECT_TRUE(boxes->shown.empty()) << boxes->shown.front().text.toStdString();

    // The folder made, the bytes copied as shipped.
    const QString copy = copyOf("echo.asm");
    EXPECT_EQ(readBytes(copy),
              readBytes(QDir(simulation::installedExamplesFolder(programDir.path()))
                            .filePath(QStringLiteral("echo.asm"))));
    // The editor is on the copy, never on the installed file.
    ASSERT_EQ(principal->editors().size(), 1);
    Editeur* editor = principal->editors().front();
    EXPECT_EQ(editor->caption(), copy);
    EXPECT_NE(text(editor).find("écho sur la liaison série"), std::string::npos);
    // The simulation of that copy is open.
    const QList<simulation::SimulationWindow*> windows = simulations();
    ASSERT_EQ(windows.size(), 1);
    EXPECT_TRUE(windows.front()->windowTitle().endsWith(copy)) << windows.front()->windowTitle().toStdString();
    EXPECT_TRUE(waitFor([&] { return windows.front()->snapshot() != nullptr; }));

    // Chosen again: the same editor, what was typed in it kept, the same window.
    editor->texte()->setWholeText("* modifié\r\n ORG $D000\r\nD BRA D\r\n ORG $FFFE\r\n FDB D");
    editor->setText_Changed(true);
    boxes->answers = {app::BoxAnswer::No}; // not saved before the simulation
    trigger("Example_echo");
    EXPECT_EQ(principal->editors().size(), 1);
    EXPECT_EQ(principal->activeEditor(), editor);
    EXPECT_EQ(text(editor).rfind("* modifié", 0), 0u);
    EXPECT_EQ(simulations().size(), 1);
}

TEST_F(ExamplesTest, EveryExampleOpensAndSimulatesWithoutAQuestion) {
    int opened = 0;
    for (const simulation::Example& example : simulation::kExamples) {
        trigger(example.name);
        ++opened;
        EXPECT_EQ(principal->editors().size(), opened) << example.file;
        EXPECT_NE(editorOn(copyOf(example.file)), nullptr) << example.file;
        EXPECT_EQ(simulations().size(), opened) << example.file;
    }
    EXPECT_TRUE(boxes->shown.empty()) << boxes->shown.front().text.toStdString();
}

TEST_F(ExamplesTest, TheUsersCopyIsOpenedAsItIsNeverOverwritten) {
    const QString copy = copyOf("eeprom.asm");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(copy).path()));
    const std::string mine = "* Ma version\r\n        ORG   $D000\r\nDEBUT   BRA   DEBUT\r\n"
                             "        ORG   $FFFE\r\n        FDB   DEBUT\r\n";
    writeBytes(copy, mine);
    trigger("Example_eeprom");
    EXPECT_EQ(readBytes(copy), mine);
    Editeur* editor = editorOn(copy);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(text(editor).rfind("* Ma version", 0), 0u);
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(ExamplesTest, AMissingExampleIsToldAndNothingOpens) {
    ASSERT_TRUE(QFile::remove(QDir(simulation::installedExamplesFolder(programDir.path()))
                                  .filePath(QStringLiteral("tonalite.asm"))));
    trigger("Example_tonalite");
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, QStringLiteral("Erreur :"));
    EXPECT_TRUE(boxes->shown[0].text.contains(QStringLiteral("introuvable")))
        << boxes->shown[0].text.toStdString();
    EXPECT_TRUE(principal->editors().isEmpty());
    EXPECT_FALSE(QFile::exists(copyOf("tonalite.asm")));

    // A documents folder that cannot be made (a file is in its way).
    writeBytes(docs.filePath(QStringLiteral("Documents")), "pas un dossier");
    trigger("Example_bonjour");
    ASSERT_EQ(boxes->shown.size(), 2u);
    EXPECT_TRUE(boxes->shown[1].text.contains(QStringLiteral("dossier des exemples")))
        << boxes->shown[1].text.toStdString();
    EXPECT_TRUE(principal->editors().isEmpty());
}

} // namespace
