// "Simuler" and the simulation window, as a user drives them: the report
// when the source has errors, the window on the first line, steps and
// breakpoints, a run stopped, reset, the serial line, and windows that do not
// share a machine.
#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextBlock>

#include "assembly/assembly_report.h"
#include "simulation/debug_model.h"
#include "simulation/ports_pane.h"
#include "simulation/simulation_texts.h"
#include "simulation/snapshot.h"
#include "simulation_fixture.h"
#include "terminal/terminal_widget.h"

using namespace kavrel;
using namespace kavrel::test;
using simulation::RegistersPane;
using simulation::SimulationWindow;

namespace {

// Port B shows port E, for ever.
const std::vector<std::string> kPorts = {
    "PORTB   EQU   $1004", "PORTE   EQU   $100A", "        ORG   $0100", "        LDAA  #$A5",
    "        STAA  PORTB", "COPY    LDAA  PORTE", "        STAA  PORTB", "        BRA   COPY",
};

// Sends back every byte it receives, at 9600 bauds.
const std::vector<std::string> kEcho = {
    "BAUD    EQU   $102B", "SCCR2   EQU   $102D",  "SCSR    EQU   $102E", "SCDR    EQU   $102F",
    "        ORG   $0100", "        LDAA  #$30",   "        STAA  BAUD",  "        LDAA  #$0C",
    "        STAA  SCCR2", "WAITRX  LDAA  SCSR",   "        ANDA  #$20",  "        BEQ   WAITRX",
    "        LDAA  SCDR",  "WAITTX  LDAB  SCSR",   "        ANDB  #$80",  "        BEQ   WAITTX",
    "        STAA  SCDR",  "        BRA   WAITRX",
};

} // namespace

TEST_F(SimulationTest, WithErrorsNoWindowOpensAndTheReportSaysWhy) {
    // No editor: the guard of the assemble commands.
    trigger("Simulate");
    ASSERT_EQ(boxes->shown.size(), 1u);
    EXPECT_EQ(boxes->shown[0].title, QStringLiteral("Message :"));
    EXPECT_TRUE(simulations().isEmpty());

    Editeur* editor = open(QStringLiteral("faux.asc"), {" ORG $100", " LDZ #2", " END"});
    const QString path = editor->caption();
    // A modified editor is offered a save first, as before an assembly.
    QTest::keyClicks(editor->texte(), QStringLiteral("*"));
    boxes->answers = {app::BoxAnswer::No};
    trigger("Simulate");
    ASSERT_EQ(boxes->shown.size(), 2u);
    EXPECT_EQ(boxes->shown[1].title, QStringLiteral("Enregistrement des données..."));
    EXPECT_TRUE(simulations().isEmpty());
    auto* report = principal->findChild<assembly::AssemblyReport*>();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
    EXPECT_EQ(report->verdict(), QStringLiteral("Assemblage terminé avec 1 erreur"));
    ASSERT_EQ(report->rows()->count(), 1);
    EXPECT_TRUE(report->rows()->item(0)->text().startsWith(path + QStringLiteral(":2: erreur : ")));
    EXPECT_TRUE(editor->texte()->hasErrorMark(1));
    // The editor stays active, and the run commands have nothing to act on.
    EXPECT_EQ(active(), editor);
    action("Execution")->menu()->aboutToShow();
    EXPECT_FALSE(action("Run")->isEnabled());
}

TEST_F(SimulationTest, OpensOnTheFirstLineAndF11StepsWithTheRegistersShown) {
    Editeur* editor = open(QStringLiteral("pas.asc"), kSteps);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(boxes->shown.empty());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Simulation : ") + editor->caption());
    EXPECT_EQ(principal->editors().size(), 1); // not an editor
    EXPECT_EQ(principal->openWindowCount(), 2);
    EXPECT_EQ(principal->activeEditor(), editor); // what the assemble commands act on
    EXPECT_EQ(window->sourcePane()->shownFile(), 0);
    EXPECT_EQ(window->sourcePane()->markedLine(), 3);
    EXPECT_EQ(reg(window, RegistersPane::PC), QStringLiteral("0100"));

    // F11 in the window: one instruction, the changed register drawn apart.
    QWidget* keys = window->sourcePane()->texte();
    auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        return stopped(window, [&] { QTest::keyClick(keys, key, modifiers); });
    };
    ASSERT_TRUE(press(Qt::Key_F11)); // LDS
    ASSERT_TRUE(press(Qt::Key_F11)); // LDAA
    EXPECT_EQ(reg(window, RegistersPane::A), QStringLiteral("12"));
    EXPECT_EQ(reg(window, RegistersPane::PC), QStringLiteral("0105"));
    EXPECT_EQ(window->sourcePane()->markedLine(), 5);
    EXPECT_TRUE(window->registersPane()->field(RegistersPane::A)->property("changed").toBool());
    EXPECT_FALSE(window->registersPane()->field(RegistersPane::B)->property("changed").toBool());
    // A switch thrown while stopped is no new stop: the marks stay.
    QTest::mouseClick(window->portsPane()->pin(simulation::Port::E, 0), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return (window->snapshot()->ports[4].pins & 1) == 1; }));
    EXPECT_TRUE(window->registersPane()->field(RegistersPane::A)->property("changed").toBool());
    ASSERT_TRUE(press(Qt::Key_F11)); // LDAB
    EXPECT_EQ(reg(window, RegistersPane::B), QStringLiteral("34"));
    EXPECT_EQ(reg(window, RegistersPane::D), QStringLiteral("1234"));
    EXPECT_FALSE(window->registersPane()->field(RegistersPane::A)->property("changed").toBool());
    EXPECT_EQ(window->registersPane()->cyclesText(), QStringLiteral("7"));

    // F10 runs the call through, Shift+F11 leaves it.
    ASSERT_TRUE(press(Qt::Key_F11)); // LDX
    ASSERT_TRUE(press(Qt::Key_F11)); // INCA
    ASSERT_TRUE(press(Qt::Key_F10)); // BSR TWICE, run through
    EXPECT_EQ(window->sourcePane()->markedLine(), 9);
    EXPECT_EQ(reg(window, RegistersPane::B), QStringLiteral("36"));
    ASSERT_TRUE(press(Qt::Key_F11)); // BRA
    ASSERT_TRUE(press(Qt::Key_F11)); // INCA
    ASSERT_TRUE(press(Qt::Key_F11)); // BSR, into TWICE
    EXPECT_EQ(window->sourcePane()->markedLine(), 10);
    ASSERT_TRUE(press(Qt::Key_F11, Qt::ShiftModifier));
    EXPECT_EQ(window->sourcePane()->markedLine(), 9);
    EXPECT_EQ(reg(window, RegistersPane::B), QStringLiteral("38"));
    EXPECT_EQ(window->stateText(), QStringLiteral("Sorti de la routine."));

    // The editor's own keys are its own: F11 there moves no machine.
    principal->activateEditor(editor);
    const QString pc = reg(window, RegistersPane::PC);
    QTest::keyClick(editor->texte(), Qt::Key_F11);
    QTest::keyClick(editor->texte(), Qt::Key_F5);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window->isRunning());
    EXPECT_EQ(reg(window, RegistersPane::PC), pc);
    EXPECT_FALSE(editor->Text_Changed());
}

TEST_F(SimulationTest, RegistersEditedWhileStoppedReachTheMachine) {
    open(QStringLiteral("reg.asc"), kSteps);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    QLineEdit* x = window->registersPane()->field(RegistersPane::X);
    x->setFocus();
    x->selectAll();
    QTest::keyClicks(x, QStringLiteral("beef"));
    QTest::keyClick(x, Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return window->snapshot()->regs.x == 0xBEEF; }));
    // The carry flag by its letter.
    QCheckBox* carry = window->registersPane()->flag(0);
    EXPECT_EQ(carry->text(), QStringLiteral("C"));
    carry->click();
    ASSERT_TRUE(waitFor([&] { return (window->snapshot()->regs.ccr & 1) == 1; }));
    EXPECT_EQ(window->snapshot()->regs.x, 0xBEEF);
}

TEST_F(SimulationTest, BreakpointStopsBeforeItsLineAndRunToCursorToo) {
    open(QStringLiteral("arret.asc"), kSteps);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    simulation::SourcePane* source = window->sourcePane();
    // F9 on a line that emits nothing sets nothing; on TWICE it does.
    source->setCursorLine(1);
    QTest::keyClick(source->texte(), Qt::Key_F9);
    EXPECT_TRUE(window->debugModel()->breakpointAddresses().empty());
    source->setCursorLine(10);
    QTest::keyClick(source->texte(), Qt::Key_F9);
    EXPECT_EQ(window->debugModel()->breakpointAddresses(), std::vector<std::uint16_t>{0x010F});

    ASSERT_TRUE(stopped(window, [&] { QTest::keyClick(source->texte(), Qt::Key_F5); }));
    EXPECT_EQ(window->stateText(), QStringLiteral("Arrêté sur un point d'arrêt."));
    EXPECT_EQ(source->markedLine(), 10);
    EXPECT_EQ(reg(window, RegistersPane::PC), QStringLiteral("010F"));
    EXPECT_EQ(reg(window, RegistersPane::B), QStringLiteral("34")); // INCB not run yet
    // Again: the loop comes round to it once more.
    ASSERT_TRUE(stopped(window, [&] { QTest::keyClick(source->texte(), Qt::Key_F5); }));
    EXPECT_EQ(source->markedLine(), 10);
    EXPECT_EQ(reg(window, RegistersPane::B), QStringLiteral("36"));
    EXPECT_EQ(reg(window, RegistersPane::A), QStringLiteral("14"));

    // Cleared, then "Exécuter jusqu'au curseur" on the RTS.
    source->setCursorLine(10);
    QTest::keyClick(source->texte(), Qt::Key_F9);
    EXPECT_TRUE(window->debugModel()->breakpointAddresses().empty());
    source->setCursorLine(12);
    ASSERT_TRUE(stopped(window, [&] { trigger("Run_to_cursor"); }));
    EXPECT_EQ(source->markedLine(), 12);
    EXPECT_EQ(window->stateText(), QStringLiteral("Arrêté au curseur."));
}

// The breakpoints' margin is there to be seen and clicked: a click in it
// beside TWICE sets the breakpoint, a second one clears it.
TEST_F(SimulationTest, AClickInTheMarginSetsAndClearsABreakpoint) {
    open(QStringLiteral("marge.asc"), kSteps);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    simulation::SourcePane* source = window->sourcePane();
    QsciScintilla* text = source->texte();
    const int width = text->marginWidth(1);
    ASSERT_GT(width, 0);
    EXPECT_EQ(text->marginWidth(0), 0);
    const long at = text->positionFromLineIndex(9, 0);
    const int y =
        static_cast<int>(text->SendScintilla(QsciScintilla::SCI_POINTYFROMPOSITION, 0L, at));
    const int height = static_cast<int>(text->SendScintilla(QsciScintilla::SCI_TEXTHEIGHT, 9L));
    const QPoint inMargin(width / 2, y + height / 2);
    QTest::mouseClick(text->viewport(), Qt::LeftButton, {}, inMargin);
    EXPECT_EQ(window->debugModel()->breakpointAddresses(), std::vector<std::uint16_t>{0x010F});
    EXPECT_TRUE(text->markersAtLine(9) & 1) << "the breakpoint's mark";
    QTest::mouseClick(text->viewport(), Qt::LeftButton, {}, inMargin);
    EXPECT_TRUE(window->debugModel()->breakpointAddresses().empty());
}

TEST_F(SimulationTest, ArreterStopsARunningLoopAndResetStartsAgain) {
    open(QStringLiteral("boucle.asc"), kSteps);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    action("Execution")->menu()->aboutToShow();
    EXPECT_TRUE(action("Run")->isEnabled());
    trigger("Run");
    ASSERT_TRUE(waitFor([&] { return window->isRunning() && window->snapshot()->running; }));
    EXPECT_EQ(window->stateText(), QStringLiteral("En cours d'exécution..."));
    // While running the registers cannot be edited.
    EXPECT_TRUE(window->registersPane()->field(RegistersPane::A)->isReadOnly());
    ASSERT_TRUE(stopped(window, [&] { trigger("Stop"); }));
    EXPECT_EQ(window->stateText(), QStringLiteral("Arrêté à la demande."));
    EXPECT_GT(window->snapshot()->cycles, 1000u);
    EXPECT_FALSE(window->registersPane()->field(RegistersPane::A)->isReadOnly());
    // Every pane shows the machine where it stopped.
    EXPECT_EQ(
        reg(window, RegistersPane::PC),
        QStringLiteral("%1").arg(window->snapshot()->regs.pc, 4, 16, QLatin1Char('0')).toUpper());
    EXPECT_GT(window->sourcePane()->markedLine(), 6);

    ASSERT_TRUE(stopped(window, [&] { trigger("Reset"); }));
    EXPECT_EQ(reg(window, RegistersPane::PC), QStringLiteral("0100"));
    EXPECT_EQ(window->snapshot()->cycles, 0u);
    EXPECT_EQ(window->sourcePane()->markedLine(), 3);
}

TEST_F(SimulationTest, PortBLightsItsLedsAndASwitchOnPortEIsRead) {
    open(QStringLiteral("ports.asc"), kPorts);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    using simulation::Port;
    simulation::PortsPane* ports = window->portsPane();
    auto leds = [&](Port port) {
        int lit = 0;
        for (int bit = 0; bit < 8; ++bit) {
            simulation::PinButton* pin = ports->pin(port, bit);
            EXPECT_TRUE(port != Port::B || pin->isOutput()) << bit;
            lit |= pin->level() ? 1 << bit : 0;
        }
        return lit;
    };
    EXPECT_EQ(leds(Port::B), 0x00);
    ASSERT_TRUE(stopped(window, [&] { trigger("Step"); }));
    ASSERT_TRUE(stopped(window, [&] { trigger("Step"); }));
    EXPECT_EQ(leds(Port::B), 0xA5);
    EXPECT_TRUE(ports->pin(Port::B, 0)->changed());
    EXPECT_FALSE(ports->pin(Port::B, 1)->changed());

    // Two switches thrown on port E while the program runs: it copies them
    // to port B.
    trigger("Run");
    ASSERT_TRUE(waitFor([&] { return window->snapshot()->running; }));
    ASSERT_TRUE(ports->pin(Port::E, 2)->isInput());
    QTest::mouseClick(ports->pin(Port::E, 2), Qt::LeftButton);
    QTest::mouseClick(ports->pin(Port::E, 6), Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return window->snapshot()->ports[int(Port::B)].pins == 0x44; }));
    ASSERT_TRUE(stopped(window, [&] { trigger("Stop"); }));
    EXPECT_EQ(leds(Port::B), 0x44);
    EXPECT_EQ(leds(Port::E), 0x44);
}

TEST_F(SimulationTest, TypedCharactersReachAProgramThatEchoesThem) {
    open(QStringLiteral("echo.asc"), kEcho);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    terminal::TerminalWidget* terminal = window->terminal();
    terminal->setLocalEcho(false);
    trigger("Run");
    ASSERT_TRUE(waitFor([&] { return window->snapshot()->running; }));
    QTest::keyClicks(terminal->display(), QStringLiteral("Salut"));
    EXPECT_TRUE(waitFor([&] { return terminal->text().contains(QStringLiteral("Salut")); }))
        << terminal->text().toStdString();
    ASSERT_TRUE(stopped(window, [&] { trigger("Stop"); }));
}

TEST_F(SimulationTest, ARunawayProgramStopsWithAMessage) {
    open(QStringLiteral("perdu.asc"), {" ORG $0100", " JMP $4000", " END"});
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(stopped(window, [&] { trigger("Run"); }));
    EXPECT_TRUE(window->stateText().contains(QStringLiteral("égaré")))
        << window->stateText().toStdString();
    EXPECT_FALSE(window->isRunning());
    // Outside the program the disassembly stands in for the source.
    EXPECT_TRUE(window->sourcePane()->showsDisassembly());
}

// F9 in the disassembly: a routine given as bytes has no line of its own
// past its first byte, and still gets a breakpoint, marked and obeyed.
TEST_F(SimulationTest, F9InTheDisassemblySetsABreakpointOnItsInstruction) {
    open(QStringLiteral("octets.asc"), {" ORG $0100", "START LDS #$01FF", "LOOP JSR $0180",
                                        " BRA LOOP", " ORG $0180", " FCB $4C,$39", " END"});
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    simulation::SourcePane* source = window->sourcePane();
    for (int step = 0; step < 3; ++step) // LDS, JSR, INCA: at the RTS
        ASSERT_TRUE(stopped(window, [&] { trigger("Step"); }));
    ASSERT_TRUE(source->showsDisassembly());
    ASSERT_EQ(source->cursorAddress(), std::optional<std::uint16_t>(0x0181));
    QTest::keyClick(source->disassembly(), Qt::Key_F9);
    EXPECT_EQ(window->debugModel()->breakpointAddresses(), std::vector<std::uint16_t>{0x0181});
    const QString line = source->disassembly()->textCursor().block().text();
    EXPECT_TRUE(line.startsWith(QStringLiteral("\u25CF> 0181"))) << line.toStdString();

    ASSERT_TRUE(stopped(window, [&] { trigger("Run"); }));
    EXPECT_EQ(window->stateText(), QStringLiteral("Arrêté sur un point d'arrêt."));
    EXPECT_EQ(reg(window, RegistersPane::PC), QStringLiteral("0181"));
    EXPECT_EQ(reg(window, RegistersPane::A), QStringLiteral("02"));

    QTest::keyClick(source->disassembly(), Qt::Key_F9);
    EXPECT_TRUE(window->debugModel()->breakpointAddresses().empty());
    EXPECT_TRUE(source->disassembly()->textCursor().block().text().startsWith(
        QStringLiteral(" > 0181")));
}

TEST_F(SimulationTest, TwoWindowsOnTwoProgramsAreIndependent) {
    Editeur* first = open(QStringLiteral("un.asc"), kSteps);
    SimulationWindow* one = simulate();
    ASSERT_NE(one, nullptr);
    Editeur* second = open(QStringLiteral("deux.asc"), kPorts);
    SimulationWindow* two = simulate();
    ASSERT_NE(two, nullptr);
    ASSERT_NE(one, two);
    EXPECT_EQ(simulations().size(), 2);

    ASSERT_TRUE(stopped(two, [&] { trigger("Step"); }));
    EXPECT_EQ(two->snapshot()->regs.a, 0xA5);
    EXPECT_EQ(one->snapshot()->regs.a, 0x00);
    EXPECT_EQ(one->snapshot()->cycles, 0u);

    // Both are listed under "Fenêtre" with the editors, in opening order.
    QMenu* windows = principal->findChild<QMenu*>(QStringLiteral("Window"));
    windows->aboutToShow();
    QStringList titles;
    for (QAction* item : windows->actions())
        titles << item->text();
    EXPECT_EQ(titles, (QStringList{first->caption(), one->windowTitle(), second->caption(),
                                   two->windowTitle()}));
    // "Simuler" again on the first source comes back to its window.
    principal->activateEditor(first);
    EXPECT_EQ(simulate(), one);
    EXPECT_EQ(simulations().size(), 2);
}
