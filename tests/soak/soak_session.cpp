// A long session through the real widgets: forty editors, thousands of typed
// keys, copies and pastes between editors, assemblies in both modes, saves
// that fail in a folder the user cannot write, and two quits. Every file must
// end up holding exactly what was typed, and closing the editors must give
// their memory back.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTest>
#include <Qsci/qsciscintilla.h>
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/principal.h"
#include "editor/caret_position.h"
#include "editor/document_format.h"
#include "editor/editeur.h"
#include "fakes/program_dir.h"
#include "fakes/scripted_dialogs.h"
#include "soak/memory.h"

namespace kavrel::test {
namespace {

using Box = app::BoxAnswer;

constexpr int kEditors = 40;
constexpr int kKeystrokes = 5000;
constexpr std::size_t kFileBytes = 60000;

// The few characters beyond ASCII the files hold, in UTF-8 and in the
// Windows-1252 byte the file stores: the expected file bytes are worked out
// from this table alone, never by the code under test.
struct Accent {
    const char* utf8;
    char ansi;
};
constexpr Accent kAccents[] = {
    {"\xC3\xA9", '\xE9'},     {"\xC3\xA8", '\xE8'}, {"\xC3\xA0", '\xE0'}, {"\xC3\xA7", '\xE7'},
    {"\xE2\x82\xAC", '\x80'}, {"\xC5\x93", '\x9C'}, {"\xC2\x81", '\x81'},
};

std::string expectedFileBytes(const std::string& utf8) {
    std::string bytes;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            bytes += utf8[i++];
            continue;
        }
        bool known = false;
        for (const Accent& accent : kAccents) {
            if (utf8.compare(i, std::char_traits<char>::length(accent.utf8), accent.utf8) == 0) {
                bytes += accent.ansi;
                i += std::char_traits<char>::length(accent.utf8);
                known = true;
                break;
            }
        }
        if (!known)
            throw std::logic_error("unexpected character in a soak text");
    }
    return bytes + "\r\n";
}

// A 60,000-byte assembler source in Windows-1252: CR LF lines, a few lone LF
// and lone CR, accented comments; and the same text as the editor holds it.
struct Source {
    std::string fileBytes;
    std::string text;
};

Source makeSource(std::mt19937& random) {
    static const char* const mnemonics[] = {"LDAA", "STAA", "LDX", "BNE", "JSR", "DECA", "BRA"};
    Source source;
    while (source.fileBytes.size() < kFileBytes - 80) {
        const std::string op = mnemonics[random() % 7];
        std::string ansi = "\t" + op + "\t$" + std::to_string(random() % 9000 + 1000) + "\t; ";
        std::string utf8 = ansi;
        for (int k = 0; k < 3; ++k) {
            const Accent& accent = kAccents[random() % std::size(kAccents)];
            ansi += "mot";
            utf8 += "mot";
            ansi += accent.ansi;
            utf8 += accent.utf8;
            ansi += ' ';
            utf8 += ' ';
        }
        const char* const ends[] = {"\r\n", "\r\n", "\r\n", "\r\n", "\r\n", "\n", "\r"};
        const char* end = ends[random() % 7];
        source.fileBytes += ansi + end;
        source.text += utf8 + end;
    }
    // Padding to the exact size, then the final CR LF the text does not hold.
    const std::size_t pad = kFileBytes - 2 - source.fileBytes.size();
    source.fileBytes += std::string(pad, 'x') + "\r\n";
    source.text += std::string(pad, 'x');
    return source;
}

// Equal bytes, or where they first differ: a 60,000-byte dump helps nobody.
::testing::AssertionResult sameBytes(const std::string& actual, const std::string& expected) {
    if (actual == expected)
        return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure()
           << actual.size() << " bytes instead of " << expected.size() << ", first difference at "
           << at << ": \"" << actual.substr(at, 20) << "\" instead of \"" << expected.substr(at, 20)
           << "\"";
}

enum class Place { Writable, Locked, Home };

// What one editor must hold, kept beside it as the keys go in.
struct Doc {
    Editeur* editor = nullptr;
    QString caption;
    Place place = Place::Writable;
    std::string text;      // UTF-8, as the editor must hold it
    std::size_t caret = 0; // byte offset
    std::string onDisk;    // what its file must hold; empty when never written
};

bool continues(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// A byte offset where the caret can stand: not inside a character, not
// between the CR and the LF of one line end.
std::size_t caretStop(const std::string& text, std::size_t at) {
    at = std::min(at, text.size());
    while (at > 0 && at < text.size() &&
           (continues(text[at]) || (text[at - 1] == '\r' && text[at] == '\n')))
        --at;
    return at;
}

// A folder the user cannot write. Root ignores permission bits, so as root the
// folder is made immutable (chattr +i) or, where the file system refuses that,
// swapped for a regular file of the same name (every save into it then fails
// as it would in a folder one may not write), and swapped back to unlock.
class LockableFolder {
public:
    explicit LockableFolder(std::string path) : path_(std::move(path)) {}

    void lock() {
        if (::geteuid() != 0) {
            ::chmod(path_.c_str(), 0555);
            method_ = "chmod";
        } else if (QProcess::execute(QStringLiteral("chattr"),
                                     {QStringLiteral("+i"), QString::fromStdString(path_)}) == 0) {
            method_ = "chattr";
        } else {
            std::filesystem::rename(path_, path_ + ".away");
            writeFileBytes(path_, "not a folder\n");
            method_ = "swap";
        }
        used_ = method_;
        ASSERT_FALSE(canWrite()) << "the locked folder still takes new files (" << method_ << ")";
    }

    void unlock() {
        if (method_ == "chmod") {
            ::chmod(path_.c_str(), 0755);
        } else if (method_ == "chattr") {
            QProcess::execute(QStringLiteral("chattr"),
                              {QStringLiteral("-i"), QString::fromStdString(path_)});
        } else if (method_ == "swap") {
            std::filesystem::remove(path_);
            std::filesystem::rename(path_ + ".away", path_);
        }
        method_.clear();
        ASSERT_TRUE(canWrite());
    }

    const std::string& method() const { return used_; }

    ~LockableFolder() {
        if (!method_.empty())
            unlock();
    }

private:
    bool canWrite() const {
        const std::string probe = path_ + "/.probe";
        FILE* file = std::fopen(probe.c_str(), "w");
        if (!file)
            return false;
        std::fclose(file);
        std::remove(probe.c_str());
        return true;
    }

    std::string path_;
    std::string method_;
    std::string used_;
};

class SoakSession : public ::testing::Test {
protected:
    void SetUp() override {
        auto messageBoxes = std::make_unique<ScriptedMessageBoxes>();
        auto commonDialog = std::make_unique<ScriptedCommonDialog>();
        boxes = messageBoxes.get();
        dialogs = commonDialog.get();
        principal = Main(QString::fromStdString(programDir.path()), std::move(messageBoxes),
                         std::move(commonDialog));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(principal.get()));
        programDir.launcherSleep(0);
        std::filesystem::create_directories(u8Path(writable()));
        std::filesystem::create_directories(u8Path(lockedPath()));
    }

    void TearDown() override {
        if (principal) {
            for (Editeur* editor : principal->editors())
                editor->setText_Changed(false);
            principal->close();
            principal.reset();
        }
    }

    std::string writable() const { return docs.path() + "/ecriture"; }
    std::string lockedPath() const { return docs.path() + "/lecture seule"; }

    void trigger(const char* name) {
        QAction* item = principal->findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(item, nullptr) << name;
        item->trigger();
    }

    std::string bufferOf(const Doc& doc) const {
        return std::string(doc.editor->texte()->buffer());
    }

    void activate(Doc& doc) {
        principal->activateEditor(doc.editor);
        ASSERT_EQ(principal->activeEditor(), doc.editor);
    }

    // Opens a file through the Open command, as a user would.
    void open(Doc& doc, const std::string& path, const Source& source) {
        writeFileBytes(path, source.fileBytes);
        dialogs->answers.push_back(QString::fromStdString(path));
        trigger("Open");
        doc.editor = principal->activeEditor();
        ASSERT_NE(doc.editor, nullptr);
        doc.caption = doc.editor->caption();
        ASSERT_EQ(doc.caption.toStdString(), path);
        doc.text = source.text;
        doc.onDisk = source.fileBytes;
        ASSERT_EQ(bufferOf(doc), doc.text);
    }

    // One key into the active editor, mirrored in `doc`.
    void press(Doc& doc, std::mt19937& random) {
        Texte* texte = doc.editor->texte();
        const unsigned pick = random() % 100;
        if (pick < 3) {
            QTest::keyClick(texte, Qt::Key_End, Qt::ControlModifier);
            doc.caret = doc.text.size();
        } else if (pick < 5) {
            QTest::keyClick(texte, Qt::Key_Home, Qt::ControlModifier);
            doc.caret = 0;
        } else if (pick < 12) {
            QTest::keyClick(texte, Qt::Key_Return);
            doc.text.insert(doc.caret, "\r\n");
            doc.caret += 2;
        } else if (pick < 20 && doc.caret > 0 && doc.text[doc.caret - 1] >= ' ' &&
                   doc.text[doc.caret - 1] < 0x7F) {
            QTest::keyClick(texte, Qt::Key_Backspace);
            doc.text.erase(--doc.caret, 1);
        } else if (pick < 23) {
            // QTest's char overloads know ASCII only: the key goes with its text.
            QTest::sendKeyEvent(QTest::Click, texte, Qt::Key_Eacute, QStringLiteral("\u00E9"),
                                Qt::NoModifier);
            doc.text.insert(doc.caret, "\xC3\xA9");
            doc.caret += 2;
        } else {
            static const char keys[] =
                "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ;$#,";
            const char key = keys[random() % (sizeof keys - 1)];
            QTest::keyClick(texte, key);
            doc.text.insert(doc.caret, 1, key);
            doc.caret += 1;
        }
        ++keystrokes;
    }

    void typeBurst(Doc& doc, int count, std::mt19937& random) {
        activate(doc);
        Texte* texte = doc.editor->texte();
        ASSERT_EQ(texte->selectionStart(), doc.caret);
        ASSERT_EQ(texte->selectionEnd(), doc.caret);
        for (int k = 0; k < count; ++k)
            press(doc, random);
        ASSERT_EQ(bufferOf(doc), doc.text) << doc.caption.toStdString();
        ASSERT_TRUE(doc.editor->Text_Changed());
        // The indicator follows the caret of the editor typed into.
        ASSERT_EQ(principal->posXY().toStdString(),
                  editor::caretPanelText(editor::caretPosition(doc.text, doc.caret)));
    }

    void select(Doc& doc, std::size_t from, std::size_t to) {
        doc.editor->texte()->SendScintilla(QsciScintillaBase::SCI_SETSEL, from,
                                           static_cast<long>(to));
        ASSERT_EQ(doc.editor->texte()->selectionStart(), from);
        ASSERT_EQ(doc.editor->texte()->selectionEnd(), to);
    }

    // Copy (or Cut) a piece of `from`, then Paste it into `to`, over a
    // selection half of the time.
    void copyAndPaste(Doc& from, Doc& to, bool cut, std::mt19937& random) {
        activate(from);
        const std::size_t start = caretStop(from.text, random() % (from.text.size() + 1));
        const std::size_t end = caretStop(from.text, start + random() % 300);
        if (end <= start)
            return;
        select(from, start, end);
        const std::string piece = from.text.substr(start, end - start);
        trigger(cut ? "Cut" : "Copy");
        if (cut) {
            from.text.erase(start, end - start);
            from.caret = start;
        } else {
            // Back to an empty selection, so later keys do not type over it.
            from.editor->texte()->SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION, end);
            from.caret = end;
        }
        ASSERT_EQ(bufferOf(from), from.text);

        activate(to);
        std::size_t at = to.caret;
        std::size_t over = to.caret;
        if (random() % 2) {
            at = caretStop(to.text, random() % (to.text.size() + 1));
            over = caretStop(to.text, at + random() % 100);
            if (over < at)
                over = at;
        }
        select(to, at, over);
        trigger("Paste");
        to.text.replace(at, over - at, piece);
        to.caret = at + piece.size();
        ASSERT_EQ(bufferOf(to), to.text);
        ASSERT_EQ(to.editor->texte()->selectionStart(), to.caret);
        ++pastes;
    }

    // Queues the answers to the save offers an assembly or a quit makes, in
    // opening order: Yes where `yes` says so. Returns the docs a Yes saves.
    template <typename Yes> std::vector<Doc*> answerSaveOffers(std::vector<Doc>& all, Yes yes) {
        boxes->answers.clear();
        std::vector<Doc*> saved;
        for (Doc& doc : all) {
            if (!doc.editor || !doc.editor->Text_Changed())
                continue;
            const bool save = yes(doc);
            boxes->answers.push_back(save ? Box::Yes : Box::No);
            if (save)
                saved.push_back(&doc);
        }
        return saved;
    }

    void assemble(std::vector<Doc>& all, Doc& active, bool batch, bool boo) {
        trigger(batch ? "Batch_mode" : "Normal_mode");
        activate(active);
        const std::vector<Doc*> saved =
            answerSaveOffers(all, [](const Doc& doc) { return doc.place != Place::Locked; });
        const std::size_t offers = boxes->answers.size();
        const std::size_t boxesBefore = boxes->shown.size();
        trigger(boo ? "AssembleToBOO" : "AssembleToS19");
        ASSERT_TRUE(boxes->answers.empty());
        // Only the save offers were shown: no failure.
        ASSERT_EQ(boxes->shown.size() - boxesBefore, offers);
        for (Doc* doc : saved) {
            doc->onDisk = expectedFileBytes(doc->text);
            ASSERT_FALSE(doc->editor->Text_Changed());
        }
        const std::string source = active.caption.toStdString();
        const std::string base = source.substr(0, source.size() - 4);
        if (boo) {
            // Staged as Test.asc, assembled there, copied back under the base name.
            ASSERT_TRUE(sameBytes(readFileBytes(base + ".BOO"), "BOO\n" + active.onDisk));
            ASSERT_TRUE(sameBytes(readFileBytes(base + ".S19"), "S19\n" + active.onDisk));
        } else if (!batch) {
            ASSERT_TRUE(sameBytes(readFileBytes(base + ".S19"), "S19\n" + active.onDisk));
            ASSERT_TRUE(sameBytes(readFileBytes(base + ".LST"), "LST\n" + active.onDisk));
        } else {
            launched.push_back(source);
        }
        ++assemblies;
    }

    // Files of the locked folder are checked once it is unlocked: replaced by
    // a plain file, the folder hides them.
    void expectWritableFilesAsSaved(const std::vector<Doc>& all) {
        for (const Doc& doc : all) {
            if (!doc.onDisk.empty() && doc.place != Place::Locked) {
                ASSERT_TRUE(sameBytes(readFileBytes(doc.caption.toStdString()), doc.onDisk))
                    << doc.caption.toStdString();
            }
        }
    }

    ProgramDir programDir;
    TempDir docs{"documents"};
    ScriptedMessageBoxes* boxes = nullptr;
    ScriptedCommonDialog* dialogs = nullptr;
    std::unique_ptr<Principal> principal;
    int keystrokes = 0;
    int pastes = 0;
    int assemblies = 0;
    std::vector<std::string> launched;
};

TEST_F(SoakSession, FortyEditorsLoseNothingAndGiveTheirMemoryBack) {
    std::mt19937 random(20240611);
    QApplication::processEvents();
    const std::size_t memoryBefore = residentBytesAfterTrim();

    // Opening order: editors 0-24 in a writable folder or new programs in the
    // home folder; from 25 on, ten files in the folder to be locked among five
    // writable ones. The quit then saves a good part before the first failure.
    std::vector<Doc> all(kEditors);
    int writableFiles = 0;
    int lockedFiles = 0;
    for (int i = 0; i < kEditors; ++i) {
        Doc& doc = all[static_cast<std::size_t>(i)];
        if (i < 25 && i % 3 == 2) {
            doc.place = Place::Home;
            trigger("New");
            doc.editor = principal->activeEditor();
            ASSERT_NE(doc.editor, nullptr);
            doc.caption = doc.editor->caption();
            ASSERT_TRUE(doc.caption.endsWith(QStringLiteral(".asc")));
            continue;
        }
        const bool locked = i >= 25 && i % 3 != 0;
        doc.place = locked ? Place::Locked : Place::Writable;
        const std::string folder = locked ? lockedPath() : writable();
        const std::string name =
            "source_" + std::to_string(locked ? lockedFiles++ : writableFiles++);
        open(doc, folder + "/" + name + ".asc", makeSource(random));
        if (HasFatalFailure())
            return;
    }
    ASSERT_EQ(principal->editors().size(), kEditors);
    ASSERT_EQ(lockedFiles, 10);

    LockableFolder locked(lockedPath());
    locked.lock();
    if (HasFatalFailure())
        return;

    // Every editor gets some keys first, so that every one is modified; the
    // rest go to editors chosen at random, with copies, pastes and assemblies
    // in between.
    for (Doc& doc : all) {
        typeBurst(doc, 20, random);
        if (HasFatalFailure())
            return;
    }
    const auto pickDoc = [&]() -> Doc& { return all[random() % all.size()]; };
    const auto pickUnlocked = [&]() -> Doc& {
        for (;;) {
            Doc& doc = pickDoc();
            if (doc.place != Place::Locked)
                return doc;
        }
    };
    int round = 0;
    while (keystrokes < kKeystrokes) {
        ++round;
        typeBurst(pickDoc(),
                  std::min(5 + static_cast<int>(random() % 40), kKeystrokes - keystrokes), random);
        if (HasFatalFailure())
            return;
        if (round % 2 == 0) {
            Doc& from = pickDoc();
            Doc& to = pickDoc();
            if (&from != &to)
                copyAndPaste(from, to, round % 10 == 0, random);
        }
        if (round % 25 == 0) {
            const int kind = round / 25 % 4;
            assemble(all, pickUnlocked(), kind >= 2, kind % 2 == 1);
        }
        if (HasFatalFailure())
            return;
    }
    ASSERT_GE(pastes, 40);
    ASSERT_GE(assemblies, 4);
    expectWritableFilesAsSaved(all);

    // An assembly whose save offers all get Yes stops at the first locked
    // editor: its failure is shown, and it stays modified with its text.
    {
        Doc* firstLocked = nullptr;
        for (Doc& doc : all)
            if (doc.place == Place::Locked && doc.editor->Text_Changed() && !firstLocked)
                firstLocked = &doc;
        ASSERT_NE(firstLocked, nullptr);
        activate(pickUnlocked());
        answerSaveOffers(all, [](const Doc&) { return true; });
        const std::size_t runsBefore = programDir.runs().size();
        trigger("AssembleToS19");
        ASSERT_EQ(boxes->shown.back().title, QStringLiteral("Erreur :"));
        ASSERT_TRUE(boxes->shown.back().text.contains(firstLocked->caption));
        ASSERT_TRUE(firstLocked->editor->Text_Changed());
        ASSERT_EQ(bufferOf(*firstLocked), firstLocked->text);
        ASSERT_EQ(programDir.runs().size(), runsBefore);
        // Those before it were saved.
        for (Doc& doc : all) {
            if (&doc == firstLocked)
                break;
            if (doc.place != Place::Locked && !doc.editor->Text_Changed())
                doc.onDisk = expectedFileBytes(doc.text);
        }
        expectWritableFilesAsSaved(all);
    }

    // First quit, Yes to every prompt: the editors are saved and closed in
    // opening order until the first save that fails; that editor and those
    // after it stay open with their text, and so does the program.
    std::size_t firstFailing = all.size();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].editor->Text_Changed() && all[i].place == Place::Locked) {
            firstFailing = i;
            break;
        }
    }
    ASSERT_LT(firstFailing, all.size());
    for (std::size_t i = 0; i < firstFailing; ++i)
        if (all[i].editor->Text_Changed())
            all[i].onDisk = expectedFileBytes(all[i].text);
    boxes->answers.assign(200, Box::Yes);
    trigger("Quit");
    QApplication::processEvents();
    ASSERT_TRUE(principal->isVisible());
    ASSERT_EQ(boxes->shown.back().title, QStringLiteral("Erreur :"));
    ASSERT_TRUE(boxes->shown.back().text.contains(all[firstFailing].caption));
    const QList<Editeur*> open = principal->editors();
    ASSERT_EQ(static_cast<std::size_t>(open.size()), all.size() - firstFailing);
    for (std::size_t i = firstFailing; i < all.size(); ++i) {
        ASSERT_EQ(open[static_cast<int>(i - firstFailing)], all[i].editor);
        ASSERT_EQ(bufferOf(all[i]), all[i].text) << all[i].caption.toStdString();
    }
    ASSERT_TRUE(all[firstFailing].editor->Text_Changed());
    expectWritableFilesAsSaved(all);

    // The folder can be written again: the second quit saves the rest and ends.
    locked.unlock();
    if (HasFatalFailure())
        return;
    for (std::size_t i = firstFailing; i < all.size(); ++i)
        if (all[i].editor->Text_Changed())
            all[i].onDisk = expectedFileBytes(all[i].text);
    boxes->answers.assign(200, Box::Yes);
    trigger("Quit");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
    ASSERT_FALSE(principal->isVisible());
    ASSERT_TRUE(principal->editors().isEmpty());
    ASSERT_EQ(boxes->unscripted, 0);

    // Every file holds exactly what was typed into it, every one was saved.
    for (const Doc& doc : all) {
        ASSERT_FALSE(doc.onDisk.empty()) << doc.caption.toStdString();
        ASSERT_TRUE(
            sameBytes(readFileBytes(doc.caption.toStdString()), expectedFileBytes(doc.text)))
            << doc.caption.toStdString();
    }

    // The launcher ran, detached, once per assembly in batch mode.
    const auto lines = programDir.waitForLauncherLines(4 * launched.size());
    ASSERT_EQ(lines.size(), 4 * launched.size());
    for (std::size_t i = 0; i < launched.size(); ++i) {
        ASSERT_EQ(lines[4 * i + 1], launched[i]);
    }

    std::printf("soak: %d keys, %d pastes, %d assemblies (%zu batch), %zu editors closed by the "
                "first quit, folder locked by %s\n",
                keystrokes, pastes, assemblies, launched.size(), firstFailing,
                locked.method().c_str());

    // Closing the editors gave their memory back. Under AddressSanitizer freed
    // memory is held in quarantine on purpose, so the figure means nothing there.
#if !defined(__SANITIZE_ADDRESS__)
    const std::size_t memoryAfter = residentBytesAfterTrim();
    const double growthMb =
        (static_cast<double>(memoryAfter) - static_cast<double>(memoryBefore)) / (1024.0 * 1024.0);
    RecordProperty("memory_growth_kb", static_cast<int>(growthMb * 1024));
    std::printf("soak: resident memory %.1f MB before the editors, %.1f MB after closing them\n",
                static_cast<double>(memoryBefore) / 1048576.0,
                static_cast<double>(memoryAfter) / 1048576.0);
    EXPECT_LT(growthMb, 20.0) << "before " << memoryBefore << " bytes, after " << memoryAfter;
#else
    (void)memoryBefore;
#endif
}

} // namespace
} // namespace kavrel::test
