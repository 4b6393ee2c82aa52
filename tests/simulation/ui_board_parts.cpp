// The one-chip board's own inputs in the "Carte" pane: a push button held
// with the mouse read on its port pin, the potentiometer read by the A/D
// converter in volts, the LEDs told to a screen reader.
#include <QAbstractButton>
#include <QFile>
#include <QSlider>

#include "simulation/board_pane.h"
#include "simulation_fixture.h"

using namespace kavrel;
using namespace kavrel::test;
using simulation::SimulationWindow;

namespace {

// BP1 (PA0) into $0080, the converter's channel 0 (PE0) into $0081, PA4
// (the green LED) lit.
const std::vector<std::string> kInputs = {
    "        ORG   $0100",
    "DEBUT   LDAA  #$80",
    "        STAA  $1039      OPTION : convertisseur en marche",
    "        LDAA  #$10",
    "        STAA  $1000      PA4 : LED verte",
    "LOOP    LDAA  $1000",
    "        ANDA  #$01",
    "        STAA  $0080",
    "        CLR   $1030      une conversion de PE0",
    "WAIT    LDAA  $1030",
    "        BPL   WAIT",
    "        LDAA  $1031",
    "        STAA  $0081",
    "        BRA   LOOP",
    "        END   DEBUT",
};

TEST_F(SimulationTest, TheOneChipBoardsButtonAndPotentiometerReachTheProgram) {
    open(QStringLiteral("entrees.asc"), kInputs);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(
        stopped(window, [&] { EXPECT_TRUE(window->selectBoard(QStringLiteral("monopuce"))); }));
    EXPECT_EQ(window->machine().mode, sim11::Mode::SingleChip);
    simulation::BoardPane* pane = window->boardPane();
    auto byte = [&](std::uint16_t address) { return window->snapshot()->memory[address]; };
    trigger("Run");
    // Released, the button leaves its pin high; the pot starts at 2.5 V.
    ASSERT_TRUE(waitFor([&] { return byte(0x0080) == 0x01 && byte(0x0081) != 0; }));
    EXPECT_NEAR(byte(0x0081), 0x80, 2);
    QAbstractButton* bp1 = pane->button(0);
    ASSERT_NE(bp1, nullptr);
    EXPECT_EQ(bp1->accessibleName(), QStringLiteral("BP1"));
    QTest::mousePress(bp1, Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return byte(0x0080) == 0x00; }));
    QTest::mouseRelease(bp1, Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return byte(0x0080) == 0x01; }));
    // A click as quick as can be still lasts long enough to be read.
    int seenLow = 0;
    auto watch = QObject::connect(window, &SimulationWindow::shown, window,
                                  [&] { seenLow += byte(0x0080) == 0 ? 1 : 0; });
    QTest::mouseClick(bp1, Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] { return seenLow > 0; }));
    EXPECT_TRUE(waitFor([&] { return byte(0x0080) == 0x01; }));
    QObject::disconnect(watch);

    // The potentiometer in volts, 0 to 5 V over the converter's 0 to 255.
    QSlider* pot = pane->pot(0);
    ASSERT_NE(pot, nullptr);
    EXPECT_EQ(pot->accessibleName(), QStringLiteral("Potentiomètre"));
    pot->setValue(pot->maximum());
    EXPECT_TRUE(waitFor([&] { return byte(0x0081) == 0xFF; }));
    pot->setValue(pot->minimum());
    EXPECT_TRUE(waitFor([&] { return byte(0x0081) == 0x00; }));
    EXPECT_TRUE(waitFor([&] { return pane->view().pots.at(0).volts == 0.0; }));

    // The LEDs as a screen reader gives them.
    ASSERT_TRUE(waitFor([&] {
        return pane->led(0)->accessibleDescription() == QStringLiteral("allumée");
    })) << pane->led(0)->accessibleDescription().toStdString();
    EXPECT_EQ(pane->led(0)->accessibleName(), QStringLiteral("LED verte"));
    EXPECT_EQ(pane->led(1)->accessibleDescription(), QStringLiteral("éteinte"));
    ASSERT_TRUE(stopped(window, [&] { trigger("Stop"); }));
}

} // namespace
