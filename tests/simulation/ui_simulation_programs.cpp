// Whole programs in the simulation window: a new image offered after an
// assembly, a watchpoint asked from the memory pane, a chip that has no room
// for the program, real time, and BUFFALO talking in the window's terminal.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>

#include "fakes/program_dir.h"
#include "simulation/debug_model.h"
#include "simulation/memory_pane.h"
#include "simulation/simulation_texts.h"
#include "simulation_fixture.h"
#include "terminal/terminal_widget.h"

using namespace kavrel;
using namespace kavrel::test;
using simulation::RegistersPane;
using simulation::SimulationWindow;

namespace {

const std::vector<std::string> kLoad = {
    "        ORG   $0100",
    "START   LDAA  #$12",
    "        STAA  $0080",
    "DONE    BRA   DONE",
};

} // namespace

#ifdef KAVREL_TEST_ASSEMBLER
TEST_F(SimulationTest, AnAssemblyOffersTheNewImageToTheWindowOnThatSource) {
    ASSERT_TRUE(QFile::copy(QStringLiteral(KAVREL_TEST_ASSEMBLER),
                            programDir.filePath(QString::fromLatin1(platform::kAssemblerName))));
    Editeur* editor = open(QStringLiteral("charge.asc"), kLoad);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(stopped(window, [&] { trigger("Step"); }));
    EXPECT_EQ(reg(window, RegistersPane::A), QStringLiteral("12"));

    // The source changed and assembled again: saved first, then offered.
    editor->texte()->setWholeText(" ORG $0100\r\nSTART LDAA #$55\r\n STAA $0080\r\nDONE BRA DONE");
    editor->setText_Changed(true);
    principal->activateEditor(editor);
    boxes->answers = {app::BoxAnswer::Yes, app::BoxAnswer::Yes};
    ASSERT_TRUE(stopped(window, [&] { trigger("AssembleToS19"); }));
    ASSERT_EQ(boxes->shown.size(), 2u);
    EXPECT_EQ(boxes->shown[1].title, QStringLiteral("Simulation"));
    EXPECT_TRUE(boxes->shown[1].text.endsWith(window->windowTitle()));
    EXPECT_EQ(reg(window, RegistersPane::PC), QStringLiteral("0100"));
    EXPECT_EQ(window->stateText(), QString::fromUtf8(simulation::texts::kReloaded));
    principal->activateSubWindow(window);
    ASSERT_TRUE(stopped(window, [&] { trigger("Step"); }));
    EXPECT_EQ(reg(window, RegistersPane::A), QStringLiteral("55"));

    // Said no to: the window keeps what it runs.
    principal->activateEditor(editor);
    boxes->answers = {app::BoxAnswer::No};
    trigger("AssembleToS19");
    ASSERT_EQ(boxes->shown.size(), 3u);
    EXPECT_EQ(reg(window, RegistersPane::PC), QStringLiteral("0102"));
}
#endif

TEST_F(SimulationTest, AWatchpointFromTheMemoryPaneStopsAfterTheWrite) {
    open(QStringLiteral("surveille.asc"), kLoad);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    simulation::MemoryPane* memory = window->memoryPane();
    memory->goToAddress(0x0080);
    memory->findChild<QAction*>(QStringLiteral("WatchWrite"))->trigger();
    ASSERT_TRUE(stopped(window, [&] { trigger("Run"); }));
    EXPECT_EQ(window->stateText(),
              QStringLiteral("Arrêté : le programme a accédé à l'adresse surveillée $0080."));
    EXPECT_EQ(window->snapshot()->memory[0x80], 0x12);
    EXPECT_EQ(window->sourcePane()->markedLine(), 4);

    // Cleared, it no longer stops the program: reset, and the run goes on
    // past the write until it is stopped by hand.
    memory->findChild<QAction*>(QStringLiteral("Unwatch"))->trigger();
    ASSERT_TRUE(stopped(window, [&] { trigger("Reset"); }));
    trigger("Run");
    ASSERT_TRUE(waitFor([&] { return window->snapshot()->memory[0x80] == 0x12; }));
    QTest::qWait(100);
    ASSERT_TRUE(stopped(window, [&] { trigger("Stop"); }));
    EXPECT_EQ(window->stateText(), QStringLiteral("Arrêté à la demande."));
    EXPECT_EQ(window->sourcePane()->markedLine(), 4); // in DONE's loop

    // And all at once.
    window->debugModel()->watch(0x0080, sim11::Access::Write);
    memory->findChild<QAction*>(QStringLiteral("UnwatchAll"))->trigger();
    ASSERT_TRUE(stopped(window, [&] { trigger("Reset"); }));
    trigger("Run");
    QTest::qWait(100);
    ASSERT_TRUE(stopped(window, [&] { trigger("Stop"); }));
    EXPECT_EQ(window->stateText(), QStringLiteral("Arrêté à la demande."));
}

TEST_F(SimulationTest, TheChipModeAndBoardAreTheWindowsOwn) {
    open(QStringLiteral("puce.asc"), {"        ORG   $0180", "        LDAA  #1", "        END"});
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->machine().chip, sim11::Chip::E9);
    EXPECT_EQ(window->machine().mode, sim11::Mode::SingleChip);
    // An A1 has 256 bytes of RAM: the program does not fit, and says so.
    ASSERT_TRUE(stopped(window, [&] {
        window->setMachine({sim11::Chip::A1, sim11::Mode::SingleChip, sim11::Board::Chip});
    }));
    EXPECT_TRUE(window->stateText().startsWith(QString::fromUtf8(simulation::texts::kLoadFailed)))
        << window->stateText().toStdString();
    EXPECT_EQ(window->snapshot()->chip, sim11::Chip::A1);
    ASSERT_TRUE(stopped(window, [&] {
        window->setMachine({sim11::Chip::E1, sim11::Mode::Expanded, sim11::Board::Evb});
    }));
    EXPECT_EQ(window->snapshot()->mode, sim11::Mode::Expanded);
    EXPECT_EQ(reg(window, RegistersPane::PC), QStringLiteral("0180"));
}

TEST_F(SimulationTest, RealTimeKeepsToTheEClock) {
    open(QStringLiteral("lent.asc"), {"        ORG   $0100", "LOOP    BRA   LOOP"});
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    trigger("Real_time");
    EXPECT_TRUE(window->realTime());
    trigger("Run");
    ASSERT_TRUE(waitFor([&] { return window->snapshot()->running; }));
    // A fifth of a second at 2 MHz is 400,000 E cycles: far fewer than at full
    // speed, however slow the machine running the test.
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitFor([&] { return window->snapshot()->cycles > 200'000; }));
    ASSERT_TRUE(stopped(window, [&] { trigger("Stop"); }));
    const double simulated = window->snapshot()->seconds;
    EXPECT_LE(simulated, clock.elapsed() / 1000.0 + 0.1);
}

TEST_F(SimulationTest, BuffaloAnswersInTheWindowsTerminal) {
    const QString buffalo =
        QDir(QStringLiteral(KAVREL_TESTDATA_DIR)).filePath(QStringLiteral("buffalo-34.asm"));
    if (!QFile::exists(buffalo))
        GTEST_SKIP() << "absent : " << buffalo.toStdString();
    // Too long for an editor: a source of two lines includes it.
    ASSERT_TRUE(QFile::copy(buffalo, docs.filePath(QStringLiteral("buffalo-34.asm"))));
    open(QStringLiteral("moniteur.asc"),
         {"* BUFFALO dans la ROM de l'E9", " INCLUDE \"buffalo-34.asm\""});
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    terminal::TerminalWidget* terminal = window->terminal();
    trigger("Run");
    EXPECT_TRUE(
        waitFor([&] { return terminal->text().contains(QStringLiteral("BUFFALO 3.4")); }, 20000))
        << terminal->text().toStdString();
    QTest::keyClick(terminal->display(), Qt::Key_Return);
    EXPECT_TRUE(waitFor([&] { return terminal->text().endsWith(QLatin1Char('>')); }, 20000))
        << terminal->text().toStdString();
    // Typed as a user types, one key at a time.
    for (const QChar c : QStringLiteral("MD E000 E00F")) {
        const qsizetype before = terminal->text().size();
        QTest::keyClicks(terminal->display(), QString(c));
        ASSERT_TRUE(waitFor([&] { return terminal->text().size() > before; }, 20000));
    }
    QTest::keyClick(terminal->display(), Qt::Key_Return);
    EXPECT_TRUE(waitFor(
        [&] {
            return terminal->text().contains(
                QStringLiteral("E000 CE 10 0A 1F 00 01 03 7E B6 00 86 93 B7 10 39 86"));
        },
        20000))
        << terminal->text().toStdString();
    // Stopped inside the monitor, its own file is shown at the current line.
    ASSERT_TRUE(stopped(window, [&] { trigger("Stop"); }));
    EXPECT_EQ(window->sourcePane()->shownFile(), 1);
    EXPECT_GT(window->sourcePane()->markedLine(), 0);
}
