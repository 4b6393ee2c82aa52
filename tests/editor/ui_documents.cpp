// Opening documents, the dialogs each command asks for, and the byte-exact
// round trip through the real editor widgets.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QTimer>
#include <functional>
#include <vector>

#include "app/app_texts.h"
#include "editor/common_dialog.h"
#include "editor/document_format.h"
#include "editor/documents.h"
#include "editor/editor_texts.h"
#include "fakes/ui_fixture.h"
#include "platform/files.h"

using namespace kavrel;
using namespace kavrel::test;
namespace texts = kavrel::editor::texts;

namespace {

const QString kQtAsc = QStringLiteral("Fichiers assembleur  (*.asc)");
const QString kQtAll = QStringLiteral(
    "Fichiers texte  (*.txt);;Fichiers listing  (*.lst);;Fichiers assembleur  (*.asc)");

class Documents : public UiTest {
protected:
    // Opens `path` through "Ouvrir..." as a user would.
    void open(const QString& path) {
        dialogs->answers.push_back(path);
        trigger("Open_General");
    }
    QString file(const QString& name, const std::string& bytes) {
        const QString path = docPath(name);
        writeBytes(path, bytes);
        return path;
    }
};

std::string allBytes() {
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(static_cast<char>(value));
    return bytes;
}

TEST_F(Documents, OpenThenRecordGivesBackTheFile) {
    struct Case {
        const char* name;
        std::string bytes;
        std::string saved; // what Record writes back
    };
    const std::string crlf = "\r\n";
    const std::vector<Case> cases = {
        {"every byte value", allBytes() + crlf, allBytes() + crlf},
        {"every byte value, no final line end", allBytes(), allBytes() + crlf},
        {"CR only", "a\rb\rc\r", "a\rb\rc\r\r\n"},
        {"LF only", "a\nb\nc\n", "a\nb\nc\n\r\n"},
        {"mixed line ends", "a\r\nb\rc\nd\n\re\r\n", "a\r\nb\rc\nd\n\re\r\n"},
        {"empty file", "", crlf},
        {"CR LF alone", crlf, crlf},
        {"two CR LF", crlf + crlf, crlf + crlf},
        {"NUL inside", std::string("x\0y\r\n", 5), std::string("x\0y\r\n", 5)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = file(QStringLiteral("doc.asc"), c.bytes);
        open(path);
        ASSERT_NE(active(), nullptr);
        EXPECT_EQ(active()->caption(), path);
        EXPECT_FALSE(active()->Text_Changed());
        EXPECT_EQ(text(active()), editor::decodeDocument(c.bytes));
        trigger("Record");
        EXPECT_EQ(readBytes(path), c.saved);
        EXPECT_FALSE(active()->Text_Changed());
        active()->close();
    }
    EXPECT_TRUE(boxes->shown.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Documents, BytesAboveAsciiBecomeTheirCodePageCharacters) {
    open(file(QStringLiteral("accents.txt"), "\xE9t\xE9 \x80\r\n"));
    EXPECT_EQ(text(active()), "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC");
    // The empty file: an empty window bearing its path.
    const QString empty = file(QStringLiteral("empty.txt"), "");
    open(empty);
    EXPECT_EQ(active()->caption(), empty);
    EXPECT_EQ(text(active()), "");
    EXPECT_FALSE(active()->Text_Changed());
}

TEST_F(Documents, SixtyThousandBytesLoadAndOneMoreIsRefused) {
    const QString fits = file(QStringLiteral("fits.asc"), std::string(60000, 'x'));
    open(fits);
    ASSERT_NE(active(), nullptr);
    EXPECT_EQ(text(active()).size(), 60000u);
    EXPECT_TRUE(boxes->shown.empty());
    active()->close();

    const QString tooLarge = file(QStringLiteral("large.asc"), std::string(60001, 'x'));
    QString captionBehindBox;
    bool hourglassDuringBox = true;
    boxes->onShow = [&](const ShownBox&) {
        captionBehindBox = active() ? active()->caption() : QString();
        hourglassDuringBox = QApplication::overrideCursor() != nullptr;
    };
    principal->setPosXY(QStringLiteral("Ligne : 3 Colonne : 4"));
    open(tooLarge);
    ASSERT_EQ(boxes->shown.size(), 1u);
    const ShownBox& box = boxes->shown[0];
    EXPECT_EQ(box.title, QStringLiteral("Limitation à 32Ko de la taille de fichier..."));
    EXPECT_EQ(box.text, QStringLiteral("La taille du fichier que vous tentez d'ouvrir\r\n"
                                       "est supérieure à 32kO.\r\nOpération annulée..."));
    EXPECT_EQ(box.icon, app::BoxIcon::Warning);
    EXPECT_EQ(box.buttons, app::BoxButtons::Ok);
    EXPECT_EQ(captionBehindBox, tooLarge);
    EXPECT_FALSE(hourglassDuringBox);
    EXPECT_TRUE(principal->editors().isEmpty());
    EXPECT_EQ(principal->posXY(), texts::kPosClosed);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Documents, HourglassCoversTheFill) {
    Qt::CursorShape during = Qt::ArrowCursor;
    QObject::connect(principal->mdiArea(), &QMdiArea::subWindowActivated, principal.get(),
                     [&](QMdiSubWindow* window) {
                         auto* editor = qobject_cast<Editeur*>(window);
                         if (!editor)
                             return;
                         QObject::connect(
                             editor->texte(), &QsciScintilla::textChanged, editor, [&] {
                                 const QCursor* cursor = QApplication::overrideCursor();
                                 during = cursor ? cursor->shape() : Qt::ArrowCursor;
                             });
                     });
    open(file(QStringLiteral("a.asc"), "abc\r\n"));
    EXPECT_EQ(during, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Documents, OpeningTheSameFileTwiceGivesTwoCopies) {
    const QString path = file(QStringLiteral("twice.asc"), "abc\r\n");
    open(path);
    open(path);
    ASSERT_EQ(principal->editors().size(), 2);
    principal->editors()[0]->texte()->setWholeText("changed");
    EXPECT_EQ(text(principal->editors()[1]), "abc");
    EXPECT_EQ(principal->editors()[1]->caption(), path);
}

// A window that never got its file's text must not stay: saving it would
// overwrite that file with nothing.
TEST_F(Documents, UnreadableFileShowsTheErrorAndLeavesNoWindow) {
    QDir(docs.path()).mkdir(QStringLiteral("folder"));
    struct Case {
        const char* name;
        std::function<void()> act;
        QString path;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"missing file", [&] { open(docPath(QStringLiteral("nowhere.asc"))); },
         docPath(QStringLiteral("nowhere.asc")), platform::kReasonNoFile},
        {"a directory", [&] { open(docPath(QStringLiteral("folder"))); },
         docPath(QStringLiteral("folder")), platform::kReasonIsFolder},
        {"missing help file", [&] { trigger("Help_Kavrel"); },
         QDir::toNativeSeparators(programDir.filePath(QStringLiteral("Kavrel.hlp"))),
         platform::kReasonNoFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes->shown.clear();
        c.act();
        ASSERT_EQ(boxes->shown.size(), 1u);
        EXPECT_EQ(boxes->shown[0].title, app::texts::kErrorTitle);
        EXPECT_TRUE(boxes->shown[0].text.contains(c.path)) << boxes->shown[0].text.toStdString();
        EXPECT_TRUE(boxes->shown[0].text.contains(QString::fromUtf8(c.reason)));
        EXPECT_TRUE(principal->editors().isEmpty());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(Documents, UnreadableForItsPermissions) {
    const QString path = file(QStringLiteral("locked.asc"), "secret\r\n");
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    if (readBytes(path) != "<missing>")
        GTEST_SKIP() << "permissions are not enforced for this user";
    open(path);
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, app::texts::kErrorTitle);
    EXPECT_TRUE(principal->editors().isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Documents, EachCommandAsksItsOwnDialogAndCancelChangesNothing) {
    const QString path = file(QStringLiteral("prog.asc"), "x\r\n");
    open(path);
    active()->texte()->setWholeText("changed");
    const QString caption = active()->caption();
    dialogs->calls.clear();
    struct Case {
        const char* command;
        DialogCall call;
    };
    const std::vector<Case> cases = {
        {"Open", {QStringLiteral("open"), QStringLiteral("Charger un programme ..."), kQtAsc}},
        {"Open_General",
         {QStringLiteral("open"), QStringLiteral("Charger un fichier ..."), kQtAll}},
        {"Record_as",
         {QStringLiteral("save"),
          QStringLiteral("Enregistrer ") + caption + QStringLiteral(" sous..."), kQtAsc}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        dialogs->calls.clear();
        trigger(c.command); // no answer queued: cancelled
        ASSERT_EQ(dialogs->calls.size(), 1u);
        EXPECT_EQ(dialogs->calls[0].mode, c.call.mode);
        EXPECT_EQ(dialogs->calls[0].title, c.call.title);
        EXPECT_EQ(dialogs->calls[0].filter, c.call.filter);
        EXPECT_EQ(principal->editors().size(), 1);
        EXPECT_EQ(active()->caption(), caption);
        EXPECT_EQ(text(active()), "changed");
        EXPECT_TRUE(active()->Text_Changed());
        EXPECT_EQ(readBytes(path), "x\r\n");
    }
    EXPECT_EQ(QDir(docs.path()).entryList(QDir::Files), QStringList{QStringLiteral("prog.asc")});
    EXPECT_TRUE(boxes->shown.empty());
}

TEST_F(Documents, FileDialogModeIsExactAndCaseSensitive) {
    const QString filter = QStringLiteral("Fichiers listing  (*.lst)|*.lst");
    const QString qtFilter = QStringLiteral("Fichiers listing  (*.lst)");
    struct Case {
        QString mode;
        QString shown; // "" when no dialog may appear
    };
    const std::vector<Case> cases = {
        {QStringLiteral("Ouvrir"), QStringLiteral("open")},
        {QStringLiteral("Enregistrer"), QStringLiteral("save")},
        {QStringLiteral("ouvrir"), {}},
        {QStringLiteral("ENREGISTRER"), {}},
        {QStringLiteral("Ouvrir "), {}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode.toStdString());
        dialogs->calls.clear();
        dialogs->answers = {QStringLiteral("/chosen")};
        const QString result = editor::FileDialog(*principal, QStringLiteral("T"), filter, c.mode);
        if (c.shown.isEmpty()) {
            EXPECT_TRUE(dialogs->calls.empty());
            EXPECT_TRUE(result.isEmpty());
        } else {
            ASSERT_EQ(dialogs->calls.size(), 1u);
            EXPECT_EQ(dialogs->calls[0].mode, c.shown);
            EXPECT_EQ(dialogs->calls[0].title, QStringLiteral("T"));
            EXPECT_EQ(dialogs->calls[0].filter, qtFilter);
            EXPECT_EQ(result, QStringLiteral("/chosen"));
        }
    }
    // A cancel after a choice gives the empty text.
    dialogs->answers.clear();
    EXPECT_TRUE(
        editor::FileDialog(*principal, QStringLiteral("T"), {}, editor::kModeOpen).isEmpty());
    EXPECT_EQ(dialogs->calls.back().filter, QString());
}

// The real dialog, driven while it is open.
class QtDialog : public ::testing::Test {
protected:
    // Runs `inside` on the dialog once it is shown; returns the call's result.
    QString run(bool save, const QString& filter, std::function<void(QFileDialog&)> inside) {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            inside(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        editor::QtCommonDialog common;
        return save ? common.showSave(nullptr, QStringLiteral("Titre"), filter)
                    : common.showOpen(nullptr, QStringLiteral("Titre"), filter);
    }
    QTemporaryDir dir;
};

TEST_F(QtDialog, OpensFreshWithTheFirstFilterSelected) {
    for (bool save : {false, true}) {
        SCOPED_TRACE(save ? "save" : "open");
        const QString result = run(save, kQtAll, [&](QFileDialog& dialog) {
            EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Titre"));
            // Qt's own dialog collapses runs of blanks in the filter names.
            EXPECT_EQ(dialog.nameFilters(), kQtAll.simplified().split(QStringLiteral(";;")));
            EXPECT_EQ(dialog.selectedNameFilter(), QStringLiteral("Fichiers texte (*.txt)"));
            EXPECT_EQ(dialog.acceptMode(),
                      save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
            EXPECT_EQ(dialog.fileMode(), save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
            EXPECT_TRUE(dialog.defaultSuffix().isEmpty());
            dialog.selectNameFilter(QStringLiteral("Fichiers assembleur (*.asc)"));
        });
        EXPECT_TRUE(result.isEmpty());
    }
    // The choice of the previous dialog is forgotten.
    run(false, kQtAll, [&](QFileDialog& dialog) {
        EXPECT_EQ(dialog.selectedNameFilter(), QStringLiteral("Fichiers texte (*.txt)"));
    });
}

TEST_F(QtDialog, ReturnsTheChosenPathAndListsAllFilesWithoutAFilter) {
    const QString path = QDir::toNativeSeparators(dir.filePath(QStringLiteral("prog")));
    writeBytes(path, "x");
    const QString result = run(false, {}, [&](QFileDialog& dialog) {
        EXPECT_TRUE(dialog.selectedFiles().value(0).isEmpty() ||
                    QFileInfo(dialog.selectedFiles().value(0)).isDir());
        EXPECT_LE(dialog.nameFilters().size(), 1); // all files, no choice of type
        dialog.selectFile(path);
        static_cast<QDialog&>(dialog).accept(); // public in QDialog
    });
    EXPECT_EQ(result, path);
}

} // namespace
