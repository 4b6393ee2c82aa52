// "Charger par le moniteur (S19)..." from the menu, with the real assembler
// in the program directory and BUFFALO (from the test data, skipped where
// absent) as the board's monitor: on the simulated evaluation board in
// memory, and on Linux in sim11 behind a pseudo-terminal.
#include "assembly/assembly_report.h"
#include "board/board_commands.h"
#include "board/board_texts.h"
#include "board/monitor_dialog.h"
#include "board/serial_terminal.h"
#include "buffalo_board.h"
#include "fakes/ui_fixture.h"
#include "platform/native.h"
#include "terminal/terminal_widget.h"

#ifdef __linux__
#include "board/sim11_pty.h"
#endif

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>

#include <functional>

using namespace kavrel;
using namespace kavrel::test;

namespace {

bool waitFor(const std::function<bool()>& done, int ms) {
    return QTest::qWaitFor(done, ms);
}

const QString kAssembler = QString::fromLatin1(platform::kAssemblerName);

// At $0100 of the E9's RAM, clear of the monitor's variables: says BONJOUR.
const std::string kGreeter = R"(        ORG $0100
DEBUT   LDX #TEXTE
ENVOI   LDAA 0,X
        BEQ FIN
ATTEND  LDAB $102E
        BPL ATTEND
        STAA $102F
        INX
        BRA ENVOI
FIN     BRA FIN
TEXTE   FCC "BONJOUR"
        FCB 13,10,0
        END DEBUT
)";

class MonitorCommand : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(KAVREL_TEST_ASSEMBLER), programDir.filePath(kAssembler)));
    }
    void open(const QString& name, const std::string& text) {
        std::string crlf;
        for (char c : text) {
            if (c == '\n')
                crlf += '\r';
            crlf += c;
        }
        writeBytes(docPath(name), crlf);
        dialogs->answers.push_back(docPath(name));
        trigger("Open_General");
    }
    board::MonitorDialog* dialog() { return board::monitorDialog(*principal); }
    QList<board::SerialTerminalWindow*> terminals() const {
        QList<board::SerialTerminalWindow*> found;
        for (QMdiSubWindow* window : principal->subWindows())
            if (auto* terminal = qobject_cast<board::SerialTerminalWindow*>(window))
                found << terminal;
        return found;
    }
    // The dialog on the evaluation board in memory, at `speed`.
    board::MonitorDialog* onEvaluationBoard(const QString& speed) {
        board::MonitorDialog* load = dialog();
        if (!load)
            return nullptr;
        load->setTransportFactory([] { return board::test::evaluationBoard(); });
        load->findChild<QComboBox*>(QStringLiteral("port"))->setEditText(QStringLiteral("carte"));
        load->findChild<QComboBox*>(QStringLiteral("speed"))->setEditText(speed);
        return load;
    }
    void send(board::MonitorDialog* load) {
        QTest::mouseClick(load->findChild<QPushButton*>(QStringLiteral("send")), Qt::LeftButton);
    }
};

TEST_F(MonitorCommand, WithoutAProgramOpenOnlyTheGuardSpeaks) {
    trigger("LoadThroughMonitor");
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, QStringLiteral("Message :"));
    EXPECT_EQ(dialog(), nullptr);
}

TEST_F(MonitorCommand, AProgramWithErrorsIsNeverOffered) {
    open(QStringLiteral("faux.asc"), " ORG $0100\n LDZ #2\n END\n");
    writeBytes(docPath(QStringLiteral("faux.S19")), "S1070100864120FC14\r\n");
    trigger("LoadThroughMonitor");
    EXPECT_EQ(dialog(), nullptr);
    auto* report = principal->findChild<assembly::AssemblyReport*>();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
}

TEST_F(MonitorCommand, LoadedThenStartedWithGTheProgramAnswersInTheTerminal) {
    if (board::test::buffaloRom().empty())
        GTEST_SKIP() << "BUFFALO absent";
    open(QStringLiteral("salut.asc"), kGreeter);
    trigger("LoadThroughMonitor");
    board::MonitorDialog* load = onEvaluationBoard(QStringLiteral("9600"));
    ASSERT_NE(load, nullptr);
    EXPECT_EQ(load->windowTitle(), QStringLiteral("Charger par le moniteur"));
    EXPECT_EQ(load->findChild<QLabel*>(QStringLiteral("file"))->text(),
              docPath(QStringLiteral("salut.S19")));
    EXPECT_EQ(load->findChild<QLineEdit*>(QStringLiteral("command"))->text(),
              QStringLiteral("LOAD T"));
    boxes->answers.push_back(app::BoxAnswer::Yes);
    send(load);

    ASSERT_TRUE(waitFor([&] { return dialog() == nullptr; }, 30000))
        << (dialog() ? dialog()->statusText().toStdString() : std::string());
    ASSERT_FALSE(boxes->shown.empty());
    const ShownBox& asked = boxes->shown.back();
    EXPECT_EQ(asked.title, QStringLiteral("Lancer le programme"));
    EXPECT_EQ(asked.text, QStringLiteral("Le programme est chargé. Le lancer maintenant (G 0100) "
                                         "et ouvrir le terminal sur carte ?"));
    EXPECT_EQ(asked.buttons, app::BoxButtons::YesNo);
    ASSERT_EQ(terminals().size(), 1);
    board::SerialTerminalWindow* window = terminals()[0];
    EXPECT_TRUE(window->isOpen());
    EXPECT_EQ(principal->activeSubWindow(), window);
    // The monitor's "done", then G typed for the user, then the program.
    ASSERT_TRUE(waitFor(
        [&] { return window->terminal()->text().contains(QStringLiteral("BONJOUR")); }, 10000))
        << window->terminal()->text().toStdString();
    const QString text = window->terminal()->text();
    EXPECT_LT(text.indexOf(QStringLiteral("done")), text.indexOf(QStringLiteral("G 0100")));
    EXPECT_LT(text.indexOf(QStringLiteral("G 0100")), text.indexOf(QStringLiteral("BONJOUR")));
}

TEST_F(MonitorCommand, AnsweredNoTheDialogSaysLoadedAndNoTerminalOpens) {
    if (board::test::buffaloRom().empty())
        GTEST_SKIP() << "BUFFALO absent";
    open(QStringLiteral("salut.asc"), kGreeter);
    trigger("LoadThroughMonitor");
    board::MonitorDialog* load = onEvaluationBoard(QStringLiteral("9600"));
    ASSERT_NE(load, nullptr);
    boxes->answers.push_back(app::BoxAnswer::No);
    send(load);
    ASSERT_TRUE(waitFor([&] { return !boxes->shown.empty(); }, 30000))
        << load->statusText().toStdString();
    EXPECT_EQ(dialog(), load);
    EXPECT_FALSE(load->sending());
    EXPECT_TRUE(load->statusText().startsWith(QStringLiteral("Programme chargé par le moniteur")))
        << load->statusText().toStdString();
    EXPECT_TRUE(terminals().isEmpty());
}

TEST_F(MonitorCommand, AtAnotherSpeedNoPromptIsSaidAndNothingIsAsked) {
    if (board::test::buffaloRom().empty())
        GTEST_SKIP() << "BUFFALO absent";
    open(QStringLiteral("salut.asc"), kGreeter);
    trigger("LoadThroughMonitor");
    board::MonitorDialog* load = onEvaluationBoard(QStringLiteral("1200"));
    ASSERT_NE(load, nullptr);
    send(load);
    ASSERT_TRUE(waitFor([&] { return !load->sending(); }, 30000));
    EXPECT_TRUE(load->statusText().startsWith(
        QStringLiteral("Aucun moniteur ne répond sur carte à 1200 bauds")))
        << load->statusText().toStdString();
    EXPECT_TRUE(boxes->shown.empty());
    EXPECT_TRUE(terminals().isEmpty());
    // The choices stay for the next try; a bad crystal is refused before anything goes.
    load->findChild<QComboBox*>(QStringLiteral("crystal"))->setEditText(QStringLiteral("huit"));
    send(load);
    EXPECT_FALSE(load->sending());
    EXPECT_TRUE(load->statusText().startsWith(QStringLiteral("Le quartz doit être")));
}

#if defined(__linux__) && defined(KAVREL_TEST_SIM11)
// The whole road as a user takes it: sim11 runs the evaluation board with
// BUFFALO on a pseudo-terminal; the system's serial port talks to it.
TEST_F(MonitorCommand, ThroughBuffaloInSim11OnAPseudoTerminal) {
    if (board::test::buffaloRom().empty())
        GTEST_SKIP() << "BUFFALO absent";
    const QString rom = docPath(QStringLiteral("buffalo.S19"));
    {
        std::ifstream in(std::filesystem::path(KAVREL_TESTDATA_DIR) / "buffalo-34.asm",
                         std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        writeBytes(rom, asmhc11::assembleSource(text.str(), asmhc11::Mode::S19).s19);
    }
    board::test::Sim11OnPty sim(KAVREL_TEST_SIM11,
                                {"--board", "evb", "--mode", "expanded", rom.toStdString()},
                                board::test::Sim11OnPty::Start::Program);
    ASSERT_FALSE(sim.path().empty()) << sim.said();
    open(QStringLiteral("salut.asc"), kGreeter);
    trigger("LoadThroughMonitor");
    board::MonitorDialog* load = dialog();
    ASSERT_NE(load, nullptr);
    load->findChild<QComboBox*>(QStringLiteral("port"))
        ->setEditText(QString::fromStdString(sim.path()));
    boxes->answers.push_back(app::BoxAnswer::Yes);
    send(load);
    ASSERT_TRUE(waitFor([&] { return dialog() == nullptr; }, 30000))
        << (dialog() ? dialog()->statusText().toStdString() : std::string()) << sim.said();
    ASSERT_EQ(terminals().size(), 1);
    board::SerialTerminalWindow* window = terminals()[0];
    ASSERT_TRUE(waitFor(
        [&] { return window->terminal()->text().contains(QStringLiteral("BONJOUR")); }, 10000))
        << window->terminal()->text().toStdString();
}
#endif

} // namespace
