// "Charger dans la carte (.BOO)..." and "Terminal série" from the menu, with
// the real assembler in the program directory and, on Linux, sim11 in
// bootstrap mode behind a pseudo-terminal as the board.
#include "assembly/assembly_report.h"
#include "board/board_commands.h"
#include "board/board_texts.h"
#include "board/download_dialog.h"
#include "board/serial_terminal.h"
#include "fakes/ui_fixture.h"
#include "platform/native.h"
#include "terminal/terminal_widget.h"

#ifdef __linux__
#include "board/sim11_pty.h"
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <functional>

#ifndef KAVREL_TEST_ASSEMBLER
#error "KAVREL_TEST_ASSEMBLER names the built assembler"
#endif

using namespace kavrel;
using namespace kavrel::test;

namespace {

// Qt's QTRY macros report to Qt Test, not to GoogleTest: wait, then assert.
bool waitFor(const std::function<bool()>& done, int ms) {
    return QTest::qWaitFor(done, ms);
}

// Says who it is once loaded, then answers each key K with "<K>" (so an
// answer is not a loop-back of the key), at the loader's speed.
const std::string kGreeter = R"(REGS    EQU $1000
SCSR    EQU $2E
SCDR    EQU $2F
        ORG $0000
DEBUT   LDS #$01FF
        LDX #REGS
        LDY #SALUT
DIRE    LDAA 0,Y
        BEQ ATTENDRE
        BSR EMET
        INY
        BRA DIRE
ATTENDRE BRCLR SCSR,X,#$20,ATTENDRE
        LDAB SCDR,X
        LDAA #'<'
        BSR EMET
        TBA
        BSR EMET
        LDAA #'>'
        BSR EMET
        BRA ATTENDRE
EMET    BRCLR SCSR,X,#$80,EMET
        STAA SCDR,X
        RTS
SALUT   FCC "Kavrel dit bonjour"
        FCB 13,10,0
)";

const QString kAssembler = QString::fromLatin1(platform::kAssemblerName);

class BoardCommands : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(KAVREL_TEST_ASSEMBLER), programDir.filePath(kAssembler)));
    }
    Editeur* open(const QString& name, const std::string& text) {
        std::string crlf;
        for (char c : text) {
            if (c == '\n')
                crlf += '\r';
            crlf += c;
        }
        writeBytes(docPath(name), crlf);
        dialogs->answers.push_back(docPath(name));
        trigger("Open_General");
        return active();
    }
    board::DownloadDialog* dialog() { return board::downloadDialog(*principal); }
    QList<board::SerialTerminalWindow*> terminals() const {
        QList<board::SerialTerminalWindow*> found;
        for (QMdiSubWindow* window : principal->subWindows())
            if (auto* terminal = qobject_cast<board::SerialTerminalWindow*>(window))
                found << terminal;
        return found;
    }
};

TEST_F(BoardCommands, WithoutAProgramOpenOnlyTheGuardSpeaks) {
    trigger("LoadIntoBoard");
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, QStringLiteral("Message :"));
    EXPECT_EQ(dialog(), nullptr);
    EXPECT_TRUE(terminals().isEmpty());
}

TEST_F(BoardCommands, AProgramWithErrorsIsNeverOffered) {
    open(QStringLiteral("faux.asc"), " ORG $0000\n LDZ #2\n END\n");
    // A stale image of an earlier, sound assembly must not be sent either.
    writeBytes(docPath(QStringLiteral("faux.BOO")), "\xFF\x01");
    trigger("LoadIntoBoard");
    EXPECT_EQ(dialog(), nullptr);
    EXPECT_TRUE(terminals().isEmpty());
    // The report tells of the error, as after "Assembler -> .BOO".
    auto* report = principal->findChild<assembly::AssemblyReport*>();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
    EXPECT_TRUE(report->verdict().contains(QStringLiteral("erreur")))
        << report->verdict().toStdString();
}

TEST_F(BoardCommands, AModifiedProgramIsOfferedToBeSavedFirstAsForTheBOOAssembly) {
    Editeur* editor = open(QStringLiteral("salut.asc"), kGreeter);
    editor->setText_Changed(true);
    boxes->answers.push_back(app::BoxAnswer::Yes);
    // The save offer comes with two editors or more, as for "Assembler -> .BOO".
    open(QStringLiteral("autre.asc"), " ORG $0000\n END\n");
    principal->activateEditor(editor);
    trigger("LoadIntoBoard");
    ASSERT_FALSE(boxes->shown.empty());
    EXPECT_EQ(boxes->shown[0].title, QStringLiteral("Enregistrement des données..."));
    EXPECT_FALSE(editor->Text_Changed());
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(dialog()->findChild<QLabel*>(QStringLiteral("file"))->text(),
              docPath(QStringLiteral("salut.BOO")));
}

TEST_F(BoardCommands, TheNextLoadOffersWhatTheLastOneWasSentWith) {
    open(QStringLiteral("salut.asc"), kGreeter);
    trigger("LoadIntoBoard");
    board::DownloadDialog* first = dialog();
    ASSERT_NE(first, nullptr);
    first->findChild<QComboBox*>(QStringLiteral("port"))
        ->setEditText(QStringLiteral("/dev/kavrel-pas-de-port"));
    first->findChild<QRadioButton*>(QStringLiteral("familyA"))->setChecked(true);
    first->findChild<QComboBox*>(QStringLiteral("speed"))->setEditText(QStringLiteral("7812"));
    first->findChild<QCheckBox*>(QStringLiteral("resetByLines"))->setChecked(true);
    // Sent, and refused: no such port. The choices are kept all the same.
    first->send();
    ASSERT_TRUE(waitFor([&] { return !first->sending(); }, 5000));
    EXPECT_TRUE(first->statusText().contains(QStringLiteral("n'existe pas")));
    first->reject();
    ASSERT_TRUE(waitFor([&] { return dialog() == nullptr; }, 5000));

    trigger("LoadIntoBoard");
    board::DownloadDialog* second = dialog();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->chosenPort(), QStringLiteral("/dev/kavrel-pas-de-port"));
    EXPECT_EQ(second->family(), board::Family::A);
    EXPECT_EQ(second->findChild<QComboBox*>(QStringLiteral("speed"))->currentText(),
              QStringLiteral("7812"));
    EXPECT_TRUE(second->findChild<QCheckBox*>(QStringLiteral("resetByLines"))->isChecked());
}

TEST_F(BoardCommands, TheTerminalAloneIsAWindowOfTheWorkspaceWithNoPortOpen) {
    trigger("Serial_terminal");
    ASSERT_EQ(terminals().size(), 1);
    board::SerialTerminalWindow* window = terminals()[0];
    EXPECT_EQ(principal->activeSubWindow(), window);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Terminal série"));
    EXPECT_FALSE(window->isOpen());
    EXPECT_FALSE(window->terminal()->inputEnabled());
    EXPECT_EQ(window->baud(), board::SerialTerminalWindow::kDefaultBaud);

    // A port that is not there says so in the board's own words.
    EXPECT_FALSE(window->openPort(QStringLiteral("/dev/kavrel-pas-de-port"), 9600));
    EXPECT_TRUE(window->statusText().startsWith(
        QStringLiteral("Le port /dev/kavrel-pas-de-port n'existe pas")))
        << window->statusText().toStdString();
    EXPECT_FALSE(window->isOpen());
    trigger("Serial_terminal");
    EXPECT_EQ(terminals().size(), 2);
}

#ifdef __linux__

// The master side of a pseudo-terminal, held by the test.
class Pty {
public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
            path_ = QString::fromLocal8Bit(::ptsname(master_));
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~Pty() { hangUp(); }
    const QString& path() const { return path_; }
    void send(const std::string& bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::string heard() {
        char buffer[256];
        for (;;) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            heard_.append(buffer, static_cast<std::size_t>(n));
        }
        return heard_;
    }
    void hangUp() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    QString path_;
    std::string heard_;
};

TEST_F(BoardCommands, TheTerminalShowsWhatComesAsItCameAndSendsEnterAsChosen) {
    Pty line;
    ASSERT_FALSE(line.path().isEmpty());
    trigger("Serial_terminal");
    board::SerialTerminalWindow* window = terminals().value(0);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->openPort(line.path(), 9600)) << window->statusText().toStdString();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Terminal série : ") + line.path());
    EXPECT_TRUE(window->terminal()->inputEnabled());

    // Windows-1252 and a control character shown, not swallowed.
    line.send("caf\xE9\x07\r\n");
    ASSERT_TRUE(waitFor(
        [&] { return window->terminal()->text().startsWith(QStringLiteral("café")); }, 5000));
    EXPECT_GT(window->terminal()->text().size(), 4);

    window->terminal()->setLineEnd(terminal::LineEnd::CrLf);
    QTest::keyClicks(window->terminal()->display(), QStringLiteral("ok"));
    QTest::keyClick(window->terminal()->display(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return line.heard() == "ok\r\n"; }, 5000)) << line.heard();

    // The far end gone: the port closes and says why, keys go nowhere.
    line.hangUp();
    ASSERT_TRUE(waitFor([&] { return !window->isOpen(); }, 5000));
    EXPECT_TRUE(window->statusText().contains(QStringLiteral("a disparu")))
        << window->statusText().toStdString();
    EXPECT_FALSE(window->terminal()->inputEnabled());
}

#ifdef KAVREL_TEST_SIM11
// The whole road: the source assembled, sent to the simulated chip's own
// loader on a pseudo-terminal chosen by its path, the terminal open on it.
TEST_F(BoardCommands, LoadsIntoTheSimulatedBoardThenTalksToTheProgram) {
    board::test::Sim11OnPty board(KAVREL_TEST_SIM11, "E9");
    ASSERT_FALSE(board.path().empty()) << board.said();
    open(QStringLiteral("salut.asc"), kGreeter);

    // A terminal already on that port lets it go for the load.
    trigger("Serial_terminal");
    board::SerialTerminalWindow* before = terminals().value(0);
    ASSERT_TRUE(before->openPort(QString::fromStdString(board.path()), 1200));
    principal->activateEditor(principal->editors().value(0));

    trigger("LoadIntoBoard");
    board::DownloadDialog* load = dialog();
    ASSERT_NE(load, nullptr);
    load->findChild<QComboBox*>(QStringLiteral("port"))
        ->setEditText(QString::fromStdString(board.path()));
    load->findChild<QRadioButton*>(QStringLiteral("familyE"))->setChecked(true);
    load->findChild<QComboBox*>(QStringLiteral("speed"))->setEditText(QStringLiteral("1200"));
    load->findChild<QComboBox*>(QStringLiteral("programSpeed"))
        ->setEditText(QStringLiteral("7812"));
    QTest::mouseClick(load->findChild<QPushButton*>(QStringLiteral("send")), Qt::LeftButton);
    EXPECT_FALSE(before->isOpen());

    // The dialog closes once the program is in, and the same terminal takes the port over.
    ASSERT_TRUE(waitFor([&] { return dialog() == nullptr; }, 30000))
        << (dialog() ? dialog()->statusText().toStdString() : std::string());
    ASSERT_EQ(terminals().size(), 1);
    board::SerialTerminalWindow* window = terminals()[0];
    EXPECT_TRUE(window->isOpen());
    EXPECT_EQ(window->baud(), 7812u);
    EXPECT_EQ(principal->activeSubWindow(), window);
    ASSERT_TRUE(waitFor(
        [&] { return window->terminal()->text().contains(QStringLiteral("Kavrel dit bonjour")); },
        10000));

    QTest::keyClicks(window->terminal()->display(), QStringLiteral("A"));
    ASSERT_TRUE(
        waitFor([&] { return window->terminal()->text().contains(QStringLiteral("<A>")); }, 10000))
        << window->terminal()->text().toStdString();
}
#endif

#endif

} // namespace
