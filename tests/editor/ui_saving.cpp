// Saving documents, the Save As filter, the close-time prompt, and what a
// failed save must leave intact.
#ifdef __linux__
#include <sys/mount.h>
#include <unistd.h>
#endif

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <iostream>
#include <vector>

#include "app/app_texts.h"
#include "editor/editor_texts.h"
#include "fakes/ui_fixture.h"
#include "platform/files.h"

using namespace kavrel;
using namespace kavrel::test;
namespace texts = kavrel::editor::texts;

namespace {

class Saving : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        // The filter is chosen from the whole caption: the temporary folder
        // must not bring a match of its own.
        const QString base = docs.path().toUpper();
        for (const char* word : {"ASC", "LST", "TXT"})
            ASSERT_FALSE(base.contains(QLatin1String(word))) << base.toStdString();
    }
    // An editor for an existing file, opened as a user would, then changed.
    Editeur* openChanged(const QString& path, const std::string& bytes, const QString& typed) {
        QDir().mkpath(QFileInfo(path).path());
        writeBytes(path, bytes);
        dialogs->answers.push_back(path);
        trigger("Open_General");
        dialogs->calls.clear();
        type(typed);
        return active();
    }
    const ShownBox* errorBox() const {
        for (const ShownBox& box : boxes->shown)
            if (box.title == app::texts::kErrorTitle)
                return &box;
        return nullptr;
    }
};

TEST_F(Saving, SaveAsFilterComesFromTheWholeCaption) {
    struct Case {
        const char* caption; // below the documents folder
        QString filter;
    };
    const QString asc = QStringLiteral("Fichiers assembleur  (*.asc)");
    const QString lst = QStringLiteral("Fichiers listing  (*.lst)");
    const QString txt = QStringLiteral("Fichiers texte  (*.txt)");
    const std::vector<Case> cases = {
        {"x/prog.asc", asc},      {"x/PROG.ASC", asc}, {"txt/prog.asc", txt},
        {"lst/prog.asc", lst},    {"x/prog.lst", lst}, {"x/notes.doc", {}},
        {"x/a.lst.txt.asc", txt}, {"x/basculer", asc}, {"lst/txt/asc/f", txt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        Editeur* editor = openChanged(docPath(QString::fromLatin1(c.caption)), "", {});
        trigger("Record_as");
        ASSERT_EQ(dialogs->calls.size(), 1u);
        EXPECT_EQ(dialogs->calls[0].mode, QStringLiteral("save"));
        EXPECT_EQ(dialogs->calls[0].filter, c.filter);
        EXPECT_EQ(dialogs->calls[0].title,
                  QStringLiteral("Enregistrer ") + editor->caption() + QStringLiteral(" sous..."));
        editor->close();
    }
}

TEST_F(Saving, SaveAsWritesTheNewFileAndLeavesTheOldOne) {
    const QString old = docPath(QStringLiteral("old.asc"));
    Editeur* editor = openChanged(old, "one\r\n", {});
    editor->texte()->insert(QStringLiteral("é"));
    const QString target = docPath(QStringLiteral("new"));
    dialogs->answers.push_back(target);
    trigger("Record_as");
    EXPECT_EQ(editor->caption(), target);
    EXPECT_FALSE(editor->Text_Changed());
    // No extension is added; the text goes in the code page, then CR LF.
    EXPECT_EQ(readBytes(target), "\xE9one\r\n");
    EXPECT_EQ(readBytes(old), "one\r\n");
    EXPECT_TRUE(boxes->shown.empty());
    // A character the code page lacks becomes "?", once the user agrees.
    editor->texte()->insert(QStringLiteral("\u20AC\u4E2D"));
    boxes->answers.push_back(app::BoxAnswer::Yes);
    trigger("Record");
    EXPECT_EQ(readBytes(target), "\x80?\xE9one\r\n"); // inserted before the caret
    EXPECT_TRUE(dialogs->calls.size() == 1u);
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->unscripted, 0);
}

TEST_F(Saving, RecordWritesANewProgramStraightToItsCaption) {
    trigger("New");
    type(QStringLiteral("ldaa #1"));
    const QString caption = active()->caption();
    ASSERT_TRUE(caption.endsWith(QStringLiteral("Prog_1.asc")));
    QFile::remove(caption);
    trigger("Record");
    EXPECT_TRUE(dialogs->calls.empty());
    EXPECT_EQ(readBytes(caption), "ldaa #1\r\n");
    EXPECT_EQ(active()->caption(), caption);
    EXPECT_FALSE(active()->Text_Changed());
    // Saved and unchanged since: closing asks nothing.
    EXPECT_TRUE(active()->close());
    EXPECT_TRUE(boxes->shown.empty());
    // An empty text is saved as CR LF alone.
    trigger("New");
    trigger("Record");
    EXPECT_EQ(readBytes(caption), "\r\n");
}

TEST_F(Saving, ClosePromptSavesOnYesAndDropsOnNo) {
    for (const app::BoxAnswer answer : {app::BoxAnswer::Yes, app::BoxAnswer::No}) {
        SCOPED_TRACE(answer == app::BoxAnswer::Yes ? "Yes" : "No");
        boxes->shown.clear();
        const QString path = docPath(QStringLiteral("prompt.asc"));
        Editeur* editor = openChanged(path, "a\r\n", QStringLiteral("b"));
        boxes->answers.push_back(answer);
        EXPECT_TRUE(editor->close());
        ASSERT_EQ(boxes->shown.size(), 1u);
        const ShownBox& box = boxes->shown[0];
        EXPECT_EQ(box.title, QStringLiteral("Enregistrement des données..."));
        EXPECT_EQ(box.text, QStringLiteral("Enregistrer le contenu de la feuille : \r\n") + path);
        EXPECT_EQ(box.icon, app::BoxIcon::Warning);
        EXPECT_EQ(box.buttons, app::BoxButtons::YesNo);
        EXPECT_EQ(readBytes(path), answer == app::BoxAnswer::Yes ? "ba\r\n" : "a\r\n");
        EXPECT_TRUE(principal->editors().isEmpty());
        EXPECT_EQ(principal->posXY(), texts::kPosClosed);
    }
    EXPECT_TRUE(dialogs->calls.empty());
}

TEST_F(Saving, QuittingAsksForEachModifiedEditorInTurn) {
    Editeur* first = openChanged(docPath(QStringLiteral("a.asc")), "", QStringLiteral("1"));
    openChanged(docPath(QStringLiteral("b.asc")), "", {});
    Editeur* third = openChanged(docPath(QStringLiteral("c.asc")), "", QStringLiteral("3"));
    const QString firstCaption = first->caption(), thirdCaption = third->caption();
    boxes->answers = {app::BoxAnswer::No, app::BoxAnswer::Yes};
    trigger("Quit");
    ASSERT_EQ(boxes->shown.size(), 2u);
    EXPECT_TRUE(boxes->shown[0].text.endsWith(firstCaption));
    EXPECT_TRUE(boxes->shown[1].text.endsWith(thirdCaption));
    EXPECT_EQ(readBytes(firstCaption), "");
    EXPECT_EQ(readBytes(thirdCaption), "3\r\n");
    EXPECT_TRUE(principal->editors().isEmpty());
    EXPECT_FALSE(principal->isVisible());
}

// Characters the code page lacks: every way a document is saved asks first,
// and a No leaves everything as a failed save does, without an error box.
TEST_F(Saving, CharactersTheCodePageLacksAreWrittenOnlyOnYes) {
    const QString lossyText =
        QStringLiteral("2 caractères du texte n'existent pas dans la page de code du fichier :\r\n"
                       "ils seront enregistrés comme '?' (le premier à la ligne 2).\r\n"
                       "Enregistrer quand même ?");
    // "é" and "€" exist in the code page; "✓" and "→" do not.
    const QString typed = QStringLiteral("é€\r\n✓x→");
    const std::string written = "\xE9\x80\r\n?x?a\r\n";

    struct Case {
        const char* name;
        std::function<void(Editeur*)> save; // the step that asks
        bool saveAs;
    };
    const std::vector<Case> cases = {
        {"Record", [this](Editeur*) { trigger("Record"); }, false},
        {"Record_as", [this](Editeur*) { trigger("Record_as"); }, true},
        {"close prompt",
         [this](Editeur* e) {
             boxes->answers.push_front(app::BoxAnswer::Yes); // save the changes? yes
             e->close();
         },
         false},
        {"assembly",
         [this](Editeur*) {
             boxes->answers.push_front(app::BoxAnswer::Yes); // save before assembling? yes
             trigger("AssembleToS19");
         },
         false},
    };
    for (const Case& c : cases) {
        for (const app::BoxAnswer answer : {app::BoxAnswer::No, app::BoxAnswer::Yes}) {
            const bool yes = answer == app::BoxAnswer::Yes;
            SCOPED_TRACE(std::string(c.name) + (yes ? " / Oui" : " / Non"));
            const QString path = docPath(QStringLiteral("lossy.asc"));
            const QString other = docPath(QStringLiteral("lossy-as.asc"));
            QFile::remove(other);
            Editeur* editor = openChanged(path, "a\r\n", {});
            editor->texte()->insert(typed);
            boxes->shown.clear();
            boxes->unscripted = 0;
            boxes->answers = {answer};
            if (c.saveAs)
                dialogs->answers.push_back(other);
            c.save(editor);

            const ShownBox* lossy = nullptr;
            for (const ShownBox& box : boxes->shown)
                if (box.text.contains(QStringLiteral("page de code")))
                    lossy = &box;
            ASSERT_NE(lossy, nullptr);
            const QString target = c.saveAs ? other : path;
            EXPECT_EQ(lossy->title, QStringLiteral("Enregistrement des données..."));
            EXPECT_EQ(lossy->text, target + QStringLiteral("\r\n") + lossyText);
            EXPECT_EQ(lossy->icon, app::BoxIcon::Warning);
            EXPECT_EQ(lossy->buttons, app::BoxButtons::YesNo);
            // (The assembly itself may fail afterwards: no assembler here.)
            if (!yes) {
                EXPECT_EQ(errorBox(), nullptr);
            }
            EXPECT_EQ(boxes->unscripted, 0);
            EXPECT_EQ(readBytes(target), yes ? written : (c.saveAs ? "<missing>" : "a\r\n"));
            if (yes) {
                if (principal->editors().contains(editor))
                    editor->close();
                continue;
            }
            // No: the editor stays open, modified, under its old caption.
            ASSERT_TRUE(principal->editors().contains(editor));
            EXPECT_TRUE(editor->Text_Changed());
            EXPECT_EQ(editor->caption(), path);
            editor->setText_Changed(false);
            editor->close();
        }
    }
}

TEST_F(Saving, OneLostCharacterIsNamedWithItsLine) {
    Editeur* editor = openChanged(docPath(QStringLiteral("one.asc")), "", {});
    editor->texte()->insert(QStringLiteral("a\r\nb\r\n\U0001F600"));
    boxes->answers = {app::BoxAnswer::Yes};
    trigger("Record");
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].text,
              editor->caption() +
                  QStringLiteral(
                      "\r\n1 caractère du texte n'existe pas dans la page de code du fichier :\r\n"
                      "il sera enregistré comme '?' (ligne 3).\r\n"
                      "Enregistrer quand même ?"));
    EXPECT_EQ(readBytes(editor->caption()), "a\r\nb\r\n?\r\n");
}

TEST_F(Saving, QuitStopsAtALossySaveTheUserDeclines) {
    Editeur* first = openChanged(docPath(QStringLiteral("q1.asc")), "", QStringLiteral("1"));
    first->texte()->insert(QStringLiteral("✓"));
    Editeur* second = openChanged(docPath(QStringLiteral("q2.asc")), "", QStringLiteral("2"));
    // Save the first? yes; with a '?'? no. The quit stops there.
    boxes->answers = {app::BoxAnswer::Yes, app::BoxAnswer::No};
    trigger("Quit");
    EXPECT_EQ(boxes->shown.size(), 2u);
    EXPECT_EQ(principal->editors(), (QList<Editeur*>{first, second}));
    EXPECT_TRUE(principal->isVisible());
    EXPECT_EQ(readBytes(first->caption()), "");
    EXPECT_EQ(errorBox(), nullptr);
    first->setText_Changed(false);
    second->setText_Changed(false);
}

// Where a save can fail; `old` is the target's previous contents, if any.
struct Target {
    const char* name;
    QString path;
    const char* reason;
    std::string old = "<missing>";
};

class SaveFailures : public Saving {
protected:
    std::vector<Target> targets() {
        QDir dir(docs.path());
        dir.mkdir(QStringLiteral("folder"));
        std::vector<Target> list = {
            {"missing folder", docPath(QStringLiteral("absent/prog.asc")),
             platform::kReasonNoFolder},
            {"a directory", docPath(QStringLiteral("folder")), platform::kReasonIsFolder},
        };
        dir.mkdir(QStringLiteral("locked"));
        const QString locked = docPath(QStringLiteral("locked/prog.asc"));
        writeBytes(locked, "previous\r\n");
        QFile::setPermissions(docPath(QStringLiteral("locked")),
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (QFile(docPath(QStringLiteral("locked/probe"))).open(QIODevice::WriteOnly))
            std::cout
                << "[ SKIPPED  ] read-only folder: permissions are not enforced for this user\n";
        else
            list.push_back(
                {"read-only folder", locked, platform::kReasonAccessDenied, "previous\r\n"});
        return list;
    }
    void TearDown() override {
        QFile::setPermissions(docPath(QStringLiteral("locked")), QFileDevice::ReadOwner |
                                                                     QFileDevice::WriteOwner |
                                                                     QFileDevice::ExeOwner);
        Saving::TearDown();
    }
    // The error names the file; nothing of the editor is lost.
    void expectIntact(const Target& t, Editeur* editor, const QString& caption) {
        const ShownBox* box = errorBox();
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->text.contains(t.path)) << box->text.toStdString();
        EXPECT_TRUE(box->text.contains(QString::fromUtf8(t.reason))) << box->text.toStdString();
        EXPECT_EQ(readBytes(t.path), t.old);
        EXPECT_EQ(editor->caption(), caption);
        EXPECT_EQ(text(editor), "edited");
        EXPECT_TRUE(editor->Text_Changed());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
};

TEST_F(SaveFailures, FailedSaveAsRestoresTheCaption) {
    for (const Target& t : targets()) {
        SCOPED_TRACE(t.name);
        boxes->shown.clear();
        Editeur* editor =
            openChanged(docPath(QStringLiteral("start.asc")), "", QStringLiteral("edited"));
        dialogs->answers.push_back(t.path);
        trigger("Record_as");
        expectIntact(t, editor, docPath(QStringLiteral("start.asc")));
        EXPECT_EQ(readBytes(docPath(QStringLiteral("start.asc"))), "");
        editor->setText_Changed(false);
        editor->close();
    }
}

TEST_F(SaveFailures, FailedRecordKeepsTheEditorModified) {
    for (const Target& t : targets()) {
        SCOPED_TRACE(t.name);
        boxes->shown.clear();
        Editeur* editor = principal->createEditor(t.path);
        type(QStringLiteral("edited"));
        trigger("Record");
        expectIntact(t, editor, t.path);
        editor->setText_Changed(false);
        editor->close();
    }
}

TEST_F(SaveFailures, FailedSaveInTheClosePromptKeepsTheWindowAndStopsQuitting) {
    for (const Target& t : targets()) {
        SCOPED_TRACE(t.name);
        boxes->shown.clear();
        Editeur* saved = openChanged(docPath(QStringLiteral("fine.asc")), "", QStringLiteral("ok"));
        Editeur* editor = principal->createEditor(t.path);
        type(QStringLiteral("edited"));
        boxes->answers = {app::BoxAnswer::Yes, app::BoxAnswer::Yes};
        EXPECT_FALSE(editor->close());
        expectIntact(t, editor, t.path);
        ASSERT_EQ(principal->editors().size(), 2);
        // Quitting: the first editor is saved and closes, the failing one stays
        // and the program with it.
        boxes->shown.clear();
        boxes->answers = {app::BoxAnswer::Yes, app::BoxAnswer::Yes};
        trigger("Quit");
        EXPECT_EQ(readBytes(docPath(QStringLiteral("fine.asc"))), "ok\r\n");
        EXPECT_EQ(principal->editors(), QList<Editeur*>{editor});
        EXPECT_TRUE(principal->isVisible());
        expectIntact(t, editor, t.path);
        (void)saved;
        editor->setText_Changed(false);
        editor->close();
    }
}

// A disk that fills up during the save: a small tmpfs, mounted for the test.
TEST_F(SaveFailures, FullDiskLeavesThePreviousFileWhole) {
#ifndef __linux__
    GTEST_SKIP() << "a small disk to fill is made with a Linux tmpfs";
#else
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    QTemporaryDir mountPoint;
    const QByteArray where = mountPoint.path().toLocal8Bit();
    if (mount("tmpfs", where.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        QByteArray where;
        ~Unmount() { umount(where.constData()); }
    } unmount{where};

    const QString path = QDir::toNativeSeparators(mountPoint.filePath(QStringLiteral("prog.asc")));
    writeBytes(path, "previous\r\n");
    {
        QFile filler(mountPoint.filePath(QStringLiteral("filler")));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    Editeur* editor = principal->createEditor(path);
    editor->texte()->setWholeText(std::string(40000, 'e'));
    trigger("Record");
    const ShownBox* box = errorBox();
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text.contains(path));
    EXPECT_TRUE(box->text.contains(QString::fromUtf8(platform::kReasonDiskFull)));
    EXPECT_EQ(readBytes(path), "previous\r\n");
    EXPECT_TRUE(editor->Text_Changed());
    EXPECT_EQ(text(editor).size(), 40000u);
    // No temporary file is left behind to fill the disk further.
    EXPECT_EQ(QDir(mountPoint.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("filler"), QStringLiteral("prog.asc")}));
    editor->setText_Changed(false);
    editor->close();
#endif
}

} // namespace
