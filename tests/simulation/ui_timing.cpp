// The "Chronogramme" pane: the TP board's recorded signals, a 1 kHz tone on
// PA5 measured at the cursor, the time between two cursors, the zoom, a
// reset that clears the traces, and the memory kept within bounds.
#include <QLabel>
#include <QWheelEvent>

#include "simulation/board_pane.h"
#include "simulation/timing_pane.h"
#include "simulation_fixture.h"

using namespace kavrel;
using namespace kavrel::test;
using simulation::SimulationWindow;
using simulation::TimingPane;

namespace {

// OC3 toggles PA5 every 1000 E cycles: 1 kHz at 2 MHz, half high.
const std::vector<std::string> kTone = {
    "        ORG   $2000",
    "DEBUT   LDAA  #$10",
    "        STAA  $1020      TCTL1 : OC3 bascule PA5",
    "        LDD   $100E",
    "        ADDD  #1000",
    "        STD   $101A",
    "LOOP    LDAA  $1023",
    "        ANDA  #$20",
    "        BEQ   LOOP",
    "        LDAA  #$20",
    "        STAA  $1023",
    "        LDD   $101A",
    "        ADDD  #1000",
    "        STD   $101A",
    "        BRA   LOOP",
    "        END   DEBUT",
};

TEST_F(SimulationTest, TheTimingViewMeasuresAOneKilohertzTone) {
    open(QStringLiteral("note.asc"), kTone);
    SimulationWindow* window = simulate();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(stopped(window, [&] { window->selectBoard(QStringLiteral("tp")); }));
    TimingPane* timing = window->timingPane();
    EXPECT_EQ(timing->signalNames(), (QStringList{QStringLiteral("PA5"), QStringLiteral("PD2"),
                                                  QStringLiteral("PD3"), QStringLiteral("PD4")}));
    window->showTimingTab();
    trigger("Run");
    ASSERT_TRUE(waitFor([&] { return window->snapshot()->seconds > 0.03; }));
    ASSERT_TRUE(stopped(window, [&] { trigger("Stop"); }));
    ASSERT_EQ(timing->traces().size(), 4u);
    const lab::Trace& pa5 = timing->traces()[0];
    ASSERT_GE(pa5.edges.size(), 40u);
    // The buzzer is told its note.
    EXPECT_EQ(window->boardPane()->buzzer(0)->text(), QStringLiteral("Buzzer : 1000 Hz"));

    // A click on PA5's row in the middle of the recording.
    timing->zoomAll();
    simulation::TimingView* view = timing->view();
    const int x = view->plotLeft() + view->plotWidth() / 2;
    int y = 0;
    while (y < view->height() && view->signalAt(y) != 0)
        ++y;
    y += 4;
    ASSERT_EQ(view->signalAt(y), 0);
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(x, y));
    ASSERT_TRUE(timing->cursor().has_value());
    EXPECT_TRUE(timing->readout().contains(
        QStringLiteral("PA5 : Période : 1,000 ms  Fréquence : 1000 Hz  Rapport cyclique : 50 %")))
        << timing->readout().toStdString();
    EXPECT_TRUE(timing->readout().startsWith(QStringLiteral("Curseur : ")))
        << timing->readout().toStdString();
    // A second cursor a known time away: Shift+click, 500 µs later.
    const std::uint64_t first = *timing->cursor();
    timing->placeSecondCursor(first + 1000);
    EXPECT_TRUE(timing->readout().contains(QStringLiteral("Écart entre les curseurs : 500,0 µs")))
        << timing->readout().toStdString();
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, QPoint(x + 10, y));
    EXPECT_EQ(*timing->cursor(), first);
    EXPECT_TRUE(timing->readout().contains(QStringLiteral("Écart entre les curseurs")))
        << timing->readout().toStdString();
    // A row without a period says so.
    int quiet = y;
    while (quiet < view->height() && view->signalAt(quiet) != 1)
        ++quiet;
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(x, quiet + 4));
    EXPECT_TRUE(timing->readout().contains(QStringLiteral("PD2 : pas de période mesurable")))
        << timing->readout().toStdString();

    // Zoom: by the buttons and Ctrl+wheel.
    const double scale = timing->cyclesPerPixel();
    timing->zoomIn();
    EXPECT_DOUBLE_EQ(timing->cyclesPerPixel(), scale / 2);
    timing->zoomOut();
    EXPECT_DOUBLE_EQ(timing->cyclesPerPixel(), scale);
    QWheelEvent wheel(QPointF(x, y), view->mapToGlobal(QPointF(x, y)), {}, QPoint(0, 120),
                      Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view, &wheel);
    EXPECT_DOUBLE_EQ(timing->cyclesPerPixel(), scale / 2);

    // A reset: time starts again, the traces with it.
    ASSERT_TRUE(stopped(window, [&] { trigger("Reset"); }));
    EXPECT_TRUE(timing->traces()[0].edges.empty());
    EXPECT_FALSE(timing->cursor().has_value());
}

TEST(TimingPane, KeepsItsNewestEdgesWithinBounds) {
    TimingPane pane;
    pane.setSignals({QStringLiteral("PA5")});
    lab::RecordedChunk chunk;
    chunk.from = 0;
    chunk.startLevels = {false};
    chunk.edges.resize(1);
    const std::size_t count = TimingPane::kMaxEdges + 1000;
    for (std::size_t k = 0; k < count; ++k)
        chunk.edges[0].push_back({10 + 2 * k, k % 2 == 0});
    chunk.until = 10 + 2 * count;
    pane.append(chunk, 2'000'000.0);
    const lab::Trace& trace = pane.traces()[0];
    EXPECT_LE(trace.edges.size(), TimingPane::kMaxEdges);
    // The newest edge kept, the trace's start where the kept ones begin.
    EXPECT_EQ(trace.edges.back().cycle, 10 + 2 * (count - 1));
    EXPECT_LT(trace.from, trace.edges.front().cycle);
    EXPECT_NE(trace.startLevel, trace.edges.front().level);
    EXPECT_EQ(trace.levelAt(trace.edges.front().cycle), trace.edges.front().level);
}

TEST(TimingPane, RecordedWhileHiddenItShowsTheLatestTimeOnceShown) {
    // The pane sits in a tab nobody opened while the program ran.
    TimingPane pane;
    pane.setSignals({QStringLiteral("PA5")});
    lab::RecordedChunk chunk;
    chunk.startLevels = {false};
    chunk.edges.resize(1);
    for (std::uint64_t k = 0; k < 1000; ++k)
        chunk.edges[0].push_back({1000 * (k + 1), k % 2 == 0});
    chunk.until = 1'000'500;
    pane.append(chunk, 2'000'000.0);
    pane.resize(800, 200);
    pane.show();
    QTest::qWait(20);
    // The view ends at the last cycle recorded, whatever width it has now.
    const std::uint64_t end = pane.viewStart() +
                              static_cast<std::uint64_t>(pane.cyclesPerPixel() * 700);
    EXPECT_GT(end, 1'000'500u - 20'000) << pane.viewStart();
    // And the view is filled up to there, not left empty past a few cycles.
    EXPECT_LT(static_cast<double>(pane.viewStart()), 1'000'500.0 - pane.cyclesPerPixel() * 500)
        << pane.viewStart();
}

TEST(TimingPane, TimesAreWrittenInTheirUnit) {
    EXPECT_EQ(simulation::timeText(0.001), QStringLiteral("1,000 ms"));
    EXPECT_EQ(simulation::timeText(0.0000125), QStringLiteral("12,5 µs"));
    EXPECT_EQ(simulation::timeText(2.0), QStringLiteral("2,000 s"));
}

} // namespace
