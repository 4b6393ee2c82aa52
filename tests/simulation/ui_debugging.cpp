// The debugging state as one model: a breakpoint marked in one pane is the
// one the machine stops on and is cleared from another; breakpoints follow
// their lines into a new image; a memory edit the machine refuses is said;
// the caret stays where the user put it until the PC moves; the source shown
// is the one the assembler read.
#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTextBlock>

#include "common/hex_text.h"
#include "simulation/debug_model.h"
#include "simulation/memory_pane.h"
#include "simulation/ports_pane.h"
#include "simulation/snapshot.h"
#include "simulation_fixture.h"

using namespace kavrel;
using namespace kavrel::test;
using simulation::DebugModel;
using simulation::RegistersPane;
using simulation::SimulationWindow;

namespace {

int caretLine(simulation::SourcePane* source) {
    int line = 0, index = 0;
    source->texte()->getCursorPosition(&line, &index);
    return line + 1;
}

// Puts the disassembly's caret on the instruction at `address`.
bool placeDisassemblyCaret(QPlainTextEdit* disassembly, std::uint16_t address) {
    const QString wanted = QString::fromStdString(hex::digits(address, 4));
    for (QTextBlock block = disassembly->document()->begin(); block.isValid(); block = block.next())
        if (block.text().mid(3, 4) == wanted) {
            disassembly->setTextCursor(QTextCursor(block));
            return true;
        }
    return false;
}

} // namespace

// Set in the source, shown in the disassembly, cleared there: the machine
// stops on what the panes show, no more.
TEST_F(SimulationTest, TheBreakpointMarkedIsTheOneTheMachineStopsOn) {
    open(QStringLiteral("octets.asc"), {" ORG $0100", "START LDS #$01FF", "LOOP JSR $0180",
                                        " BRA LOOP", " ORG $0180", " FCB $4C,$01,$39", " END"});
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    simulation::SourcePane* source = window->sourcePane();
    DebugModel* debug = window->debugModel();

    source->setCursorLine(6); // the routine's bytes, from $0180
    QTest::keyClick(source->texte(), Qt::Key_F9);
    EXPECT_EQ(debug->breakpointAddresses(), std::vector<std::uint16_t>{0x0180});
    ASSERT_TRUE(stopped(window, [&] { trigger("Run"); }));
    EXPECT_EQ(window->stateText(), QStringLiteral("Arrêté sur un point d'arrêt."));
    EXPECT_EQ(reg(window, RegistersPane::PC), QStringLiteral("0180"));
    EXPECT_EQ(source->markedLine(), 6);

    // One step on, inside the line: the disassembly shows the same breakpoint.
    ASSERT_TRUE(stopped(window, [&] { trigger("Step"); }));
    ASSERT_TRUE(source->showsDisassembly());
    QPlainTextEdit* disassembly = source->disassembly();
    ASSERT_TRUE(placeDisassemblyCaret(disassembly, 0x0180));
    EXPECT_TRUE(disassembly->textCursor().block().text().startsWith(QStringLiteral("\u25CF")));
    // Cleared there: gone from the source's margin too, and from the machine.
    QTest::keyClick(disassembly, Qt::Key_F9);
    EXPECT_TRUE(debug->breakpointAddresses().empty());
    EXPECT_FALSE(disassembly->textCursor().block().text().startsWith(QStringLiteral("\u25CF")));
    EXPECT_FALSE(source->texte()->markersAtLine(5) & 1);
    // One set on the RTS, after the cleared one: were $0180 still set in
    // the machine, the next round would stop there first.
    ASSERT_TRUE(placeDisassemblyCaret(disassembly, 0x0182));
    QTest::keyClick(disassembly, Qt::Key_F9);
    EXPECT_EQ(debug->breakpointAddresses(), std::vector<std::uint16_t>{0x0182});
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(stopped(window, [&] { trigger("Run"); }));
        EXPECT_EQ(window->stateText(), QStringLiteral("Arrêté sur un point d'arrêt."));
        EXPECT_EQ(reg(window, RegistersPane::PC), QStringLiteral("0182")) << round;
    }
}

// Line breakpoints move with their lines into a new image of the program;
// one on an instruction no line starts stays on its address.
TEST_F(SimulationTest, BreakpointsFollowTheirLinesIntoANewImage) {
    const QString path = docPath(QStringLiteral("version.asc"));
    writeBytes(path, " ORG $0100\r\n LDAA #1\r\n INCA\r\n NOP\r\n");
    DebugModel debug;
    debug.setProgram(simulation::Program::assemble(path.toStdString()));
    EXPECT_FALSE(debug.toggleLine(0, 1)); // ORG emits nothing
    EXPECT_TRUE(debug.toggleLine(0, 3));  // INCA at $0102
    EXPECT_TRUE(debug.toggleLine(0, 4));  // NOP at $0103
    debug.toggleAddress(0x0101);          // LDAA's operand: no line starts there
    debug.toggleAddress(0x0100);          // LDAA's line, set from the disassembly
    EXPECT_EQ(debug.breakpointLines(0), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(debug.breakpointAddresses(),
              (std::vector<std::uint16_t>{0x0100, 0x0101, 0x0102, 0x0103}));

    // Line 2 now takes three bytes; line 4 emits nothing.
    writeBytes(path, " ORG $0100\r\n LDX #1\r\n INCA\r\n* NOP\r\n");
    debug.setProgram(simulation::Program::assemble(path.toStdString()));
    EXPECT_EQ(debug.breakpointLines(0), (std::vector<int>{2, 3}));
    EXPECT_EQ(debug.breakpointAddresses(), (std::vector<std::uint16_t>{0x0100, 0x0101, 0x0103}));
    const simulation::DebugState state = debug.state();
    EXPECT_EQ(state.breakpoints, debug.breakpointAddresses());
}

TEST_F(SimulationTest, AMemoryEditTheMachineRefusesIsSaid) {
    open(QStringLiteral("refus.asc"), kSteps);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    simulation::MemoryPane* memory = window->memoryPane();
    QAbstractItemModel* cells = memory->memoryView()->model();
    auto cell = [&](std::uint16_t address) { return cells->index(address / 16, address % 16); };

    // $4000 is nothing on a single-chip E9.
    ASSERT_TRUE(cells->setData(cell(0x4000), QStringLiteral("5A")));
    ASSERT_TRUE(
        waitFor([&] { return memory->statusText().startsWith(QStringLiteral("Modification")); }));
    EXPECT_EQ(memory->statusText(), QStringLiteral("Modification refusée : aucune mémoire ne se "
                                                   "trouve à l'adresse $4000 sur ce circuit dans "
                                                   "ce mode."));
    const std::uint8_t really = window->snapshot()->memory[0x4000];
    EXPECT_NE(really, 0x5A);
    EXPECT_EQ(cell(0x4000).data().toString(), QString::fromStdString(hex::digits(really, 2)));

    // RAM takes it, and nothing is said against it.
    memory->goToAddress(0x0080);
    ASSERT_TRUE(cells->setData(cell(0x0080), QStringLiteral("5A")));
    ASSERT_TRUE(waitFor([&] { return window->snapshot()->memory[0x80] == 0x5A; }));
    EXPECT_FALSE(memory->statusText().startsWith(QStringLiteral("Modification")));
    EXPECT_EQ(cell(0x0080).data().toString(), QStringLiteral("5A"));
}

// A line picked for "Exécuter jusqu'au curseur" stays picked across a
// switch thrown and a byte edited; a step that moves the PC takes the caret.
TEST_F(SimulationTest, TheCaretStaysWhereTheUserPutItUntilThePcMoves) {
    open(QStringLiteral("curseur.asc"), kSteps);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    simulation::SourcePane* source = window->sourcePane();
    EXPECT_EQ(caretLine(source), 3);
    source->setCursorLine(12); // RTS

    ASSERT_TRUE(stopped(window, [&] {
        QTest::mouseClick(window->portsPane()->pin(simulation::Port::E, 0), Qt::LeftButton);
    }));
    EXPECT_EQ(window->snapshot()->ports[4].pins & 1, 1);
    EXPECT_EQ(caretLine(source), 12);
    EXPECT_EQ(source->markedLine(), 3);
    ASSERT_TRUE(stopped(window, [&] {
        window->memoryPane()->memoryView()->model()->setData(
            window->memoryPane()->memoryView()->model()->index(8, 0), QStringLiteral("01"));
    }));
    EXPECT_EQ(caretLine(source), 12);

    ASSERT_TRUE(stopped(window, [&] { trigger("Run_to_cursor"); }));
    EXPECT_EQ(window->stateText(), QStringLiteral("Arrêté au curseur."));
    EXPECT_EQ(source->markedLine(), 12);
    ASSERT_TRUE(stopped(window, [&] { trigger("Step"); })); // back from TWICE
    EXPECT_EQ(source->markedLine(), 9);
    EXPECT_EQ(caretLine(source), 9);
}

// An included file changed on disk after the assembly: the window shows the
// text the bytes came from.
TEST_F(SimulationTest, TheSourceShownIsTheOneTheAssemblerRead) {
    writeBytes(docPath(QStringLiteral("routine.inc")), "ICI     INCA\r\n        RTS\r\n");
    open(QStringLiteral("principal.asc"),
         {"        ORG   $0100", "        BSR   ICI", "        INCLUDE \"routine.inc\""});
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    writeBytes(docPath(QStringLiteral("routine.inc")), "* tout autre chose\r\n");
    simulation::SourcePane* source = window->sourcePane();
    source->showFile(1);
    EXPECT_TRUE(source->texte()->text().startsWith(QStringLiteral("ICI     INCA\r\n        RTS")))
        << source->texte()->text().toStdString();
}

// A step on a WAI waits for its interrupt without holding the window: the
// IRQ pressed meanwhile reaches the chip and the step ends in the handler.
TEST_F(SimulationTest, AStepOnAWaitEndsWhenTheUserRaisesIrq) {
    open(QStringLiteral("attente.asc"),
         {"        ORG   $0100", "START   LDS   #$01FF", "        CLI", "        WAI",
          "        NOP", "ICI     LDAB  #9", "        RTI", "        ORG   $FFF2",
          "        FDB   ICI", "        END   START"});
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    for (int k = 0; k < 3; ++k)
        ASSERT_TRUE(stopped(window, [&] { trigger("Step"); }));
    ASSERT_EQ(reg(window, RegistersPane::PC), QStringLiteral("0105")); // in WAI

    // "Arrêter" ends the wait, the chip still in it.
    trigger("Step");
    ASSERT_TRUE(waitFor([&] { return window->isRunning(); }));
    ASSERT_TRUE(stopped(window, [&] { trigger("Stop"); }));
    EXPECT_EQ(reg(window, RegistersPane::PC), QStringLiteral("0105"));

    trigger("Step");
    ASSERT_TRUE(waitFor([&] { return window->isRunning(); }));
    QTest::qWait(50);
    EXPECT_TRUE(window->isRunning()) << "still waiting for its interrupt";
    ASSERT_TRUE(stopped(
        window, [&] { QTest::mousePress(window->portsPane()->irqButton(), Qt::LeftButton); }));
    QTest::mouseRelease(window->portsPane()->irqButton(), Qt::LeftButton);
    EXPECT_EQ(reg(window, RegistersPane::PC), QStringLiteral("0106"));
    EXPECT_EQ(window->sourcePane()->markedLine(), 6);
}
