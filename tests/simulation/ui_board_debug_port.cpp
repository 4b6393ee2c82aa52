// "Déboguer sur la carte..." through the system's serial port: under Wine a
// board on a COM port (sim11 on a pseudo-terminal mapped by
// scripts/test-windows-qt), named by KAVREL_COM_TALKER; skipped without it.
// The registers read from the board, a breakpoint on a source line, an
// EEPROM byte written from the memory pane and read back.
#ifdef KAVREL_WITH_BOARD

#include <QPushButton>
#include <QTableView>

#include "simulation/board_debug_dialog.h"
#include "simulation/memory_pane.h"
#include "simulation/simulation_commands.h"
#include "simulation/snapshot.h"
#include "simulation_fixture.h"

namespace kavrel::test {
namespace {

using simulation::RegistersPane;
using simulation::SimulationWindow;

class BoardDebugOnAPort : public SimulationTest {};

TEST_F(BoardDebugOnAPort, StopsAtABreakpointAndProgramsAnEepromByte) {
    const QString port = qEnvironmentVariable("KAVREL_COM_TALKER");
    if (port.isEmpty())
        GTEST_SKIP() << "KAVREL_COM_TALKER absent";
    open(QStringLiteral("carte.asm"), {
                                          "        ORG   $0010",
                                          "START   LDAA  #$12", // 2
                                          "        LDAB  #$34", // 3
                                          "LOOP    INCA",       // 4
                                          "        BRA   LOOP", // 5
                                          "        END   START",
                                      });
    trigger("DebugOnBoard");
    auto* dialog = simulation::boardDebugDialog(*principal);
    ASSERT_NE(dialog, nullptr);
    simulation::BoardChoices choices = dialog->choices();
    choices.port = port;
    dialog->setChoices(choices);
    dialog->findChild<QPushButton*>(QStringLiteral("connect"))->click();
    SimulationWindow* window = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            for (SimulationWindow* open : simulations())
                if (open->drivesBoard() && open->snapshot())
                    window = open;
            return window != nullptr;
        },
        30000))
        << (simulation::boardDebugDialog(*principal)
                ? simulation::boardDebugDialog(*principal)->statusText().toStdString()
                : std::string());
    EXPECT_TRUE(waitFor([&] { return reg(window, RegistersPane::PC) == QStringLiteral("0010"); },
                        10000))
        << reg(window, RegistersPane::PC).toStdString() << " / "
        << window->stateText().toStdString();
    EXPECT_EQ(window->sourcePane()->markedLine(), 2);

    window->debugModel()->toggleLine(0, 4);
    ASSERT_TRUE(stopped(window, [&] { window->run(); }));
    EXPECT_EQ(window->sourcePane()->markedLine(), 4) << window->stateText().toStdString();
    EXPECT_EQ(reg(window, RegistersPane::A), QStringLiteral("12"));
    EXPECT_EQ(reg(window, RegistersPane::B), QStringLiteral("34"));

    window->memoryPane()->goToAddress(0xB600);
    QAbstractItemModel* model = window->memoryPane()->memoryView()->model();
    ASSERT_TRUE(model->setData(model->index(0xB600 / 16, 0), QStringLiteral("5A")));
    EXPECT_TRUE(waitFor([&] { return window->snapshot()->memory[0xB600] == 0x5A; }, 10000))
        << window->memoryPane()->statusText().toStdString();
}

} // namespace
} // namespace kavrel::test

#endif
