#include <QDir>
#include <QTest>

#include "app/app_texts.h"
#include "fakes/ui_fixture.h"

using namespace kavrel;
using namespace kavrel::test;

namespace {

class LaunchModeQuitHelp : public UiTest {
protected:
    // {Batch_mode checked, Normal_mode checked}
    std::pair<bool, bool> marks() const {
        return {action("Batch_mode")->isChecked(), action("Normal_mode")->isChecked()};
    }

    Editeur* editorWith(const QString& name, const std::string& bytes, bool modified) {
        Editeur* editor = principal->createEditor(docPath(name));
        editor->texte()->setWholeText(bytes);
        editor->setText_Changed(modified);
        return editor;
    }

    QString helpPath(const QString& name) const {
        return QDir::toNativeSeparators(programDir.path()) + QDir::separator() + name;
    }
};

using Marks = std::pair<bool, bool>;
const Marks kBatch{true, false};
const Marks kNormal{false, true};

TEST_F(LaunchModeQuitHelp, ModeCommandsMoveBothMarks) {
    EXPECT_EQ(marks(), kNormal);
    EXPECT_FALSE(principal->batchMode());

    trigger("Batch_mode");
    EXPECT_EQ(marks(), kBatch);
    EXPECT_TRUE(principal->batchMode());
    // Choosing the marked item again changes nothing; a checkable action
    // would otherwise toggle its own mark off.
    trigger("Batch_mode");
    EXPECT_EQ(marks(), kBatch);
    EXPECT_TRUE(principal->batchMode());

    trigger("Normal_mode");
    EXPECT_EQ(marks(), kNormal);
    trigger("Normal_mode");
    EXPECT_EQ(marks(), kNormal);
    EXPECT_FALSE(principal->batchMode());
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(LaunchModeQuitHelp, ModeOutlivesTheEditorsAndNotTheProgram) {
    trigger("New");
    trigger("New");
    trigger("Batch_mode");
    for (Editeur* editor : principal->editors())
        editor->close();
    QTRY_VERIFY(principal->editors().isEmpty());
    EXPECT_EQ(marks(), kBatch);

    // A program started again begins in normal mode.
    auto again = Main(programDir.path(), std::make_unique<ScriptedMessageBoxes>(),
                      std::make_unique<ScriptedCommonDialog>());
    auto* batch = again->findChild<QAction*>(QStringLiteral("Batch_mode"));
    auto* normal = again->findChild<QAction*>(QStringLiteral("Normal_mode"));
    EXPECT_FALSE(batch->isChecked());
    EXPECT_TRUE(normal->isChecked());
    EXPECT_FALSE(again->batchMode());
    again->close();
    EXPECT_EQ(marks(), kBatch);
}

TEST_F(LaunchModeQuitHelp, QuitPromptsForEachModifiedEditorInOpeningOrderThenEnds) {
    editorWith(QStringLiteral("un.asc"), "UN", true);
    editorWith(QStringLiteral("deux.asc"), "DEUX", false);
    editorWith(QStringLiteral("trois.asc"), "TROIS", true);
    principal->activateEditor(principal->editors()[1]);
    boxes->answers = {app::BoxAnswer::Yes, app::BoxAnswer::No};

    trigger("Quit");

    ASSERT_EQ(boxes->shown.size(), 2u);
    const QString prompt = QStringLiteral("Enregistrer le contenu de la feuille : \r\n");
    EXPECT_EQ(boxes->shown[0].text, prompt + docPath(QStringLiteral("un.asc")));
    EXPECT_EQ(boxes->shown[1].text, prompt + docPath(QStringLiteral("trois.asc")));
    for (const ShownBox& box : boxes->shown) {
        EXPECT_EQ(box.title, QStringLiteral("Enregistrement des données..."));
        EXPECT_EQ(box.buttons, app::BoxButtons::YesNo);
        EXPECT_EQ(box.icon, app::BoxIcon::Warning);
    }
    EXPECT_EQ(boxes->unscripted, 0);
    // Yes saved the first, No dropped the third; neither kept the program open.
    EXPECT_EQ(readBytes(docPath(QStringLiteral("un.asc"))).substr(0, 2), "UN");
    EXPECT_EQ(readBytes(docPath(QStringLiteral("trois.asc"))), "<missing>");
    EXPECT_EQ(readBytes(docPath(QStringLiteral("deux.asc"))), "<missing>");
    EXPECT_FALSE(principal->isVisible());
    QTRY_VERIFY(principal->editors().isEmpty());
}

TEST_F(LaunchModeQuitHelp, QuitWithNoEditorEndsAtOnceWithoutABox) {
    trigger("Quit");
    EXPECT_TRUE(boxes->shown.empty());
    EXPECT_FALSE(principal->isVisible());
}

TEST_F(LaunchModeQuitHelp, HelpCommandsOpenTheirFileEachTime) {
    struct Case {
        const char* command;
        const char* file;
    };
    for (const Case& c : {Case{"Help_Kavrel", "Kavrel.hlp"}, Case{"Help_asmhc11", "asmhc11.hlp"}}) {
        SCOPED_TRACE(c.command);
        // Windows-1252 with CR LF, as the help files are shipped.
        writeBytes(helpPath(QLatin1String(c.file)), "Aide\r\nA\xE9ronef \x80\r\nFIN\r\n");
        trigger(c.command);
        trigger(c.command);
        const QList<Editeur*> editors = principal->editors();
        ASSERT_EQ(editors.size(), 2);
        for (Editeur* editor : editors) {
            EXPECT_EQ(editor->caption(), helpPath(QLatin1String(c.file)));
            const std::string loaded = "Aide\r\nAéronef €\r\nFIN";
            EXPECT_EQ(text(editor).substr(0, loaded.size()), loaded);
            EXPECT_FALSE(editor->Text_Changed());
        }
        EXPECT_EQ(active(), editors[1]);
        EXPECT_TRUE(boxes->shown.empty());
        for (Editeur* editor : editors)
            editor->close();
        QTRY_VERIFY(principal->editors().isEmpty());
    }
}

TEST_F(LaunchModeQuitHelp, MissingHelpFileIsReportedAndLeavesNoWindow) {
    trigger("Help_Kavrel");
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, QStringLiteral("Erreur :"));
    EXPECT_TRUE(boxes->shown[0].text.contains(helpPath(QStringLiteral("Kavrel.hlp"))));
    QTRY_VERIFY(principal->editors().isEmpty());
    EXPECT_TRUE(principal->isVisible());
}

} // namespace
