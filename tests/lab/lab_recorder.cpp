// The timing recorder: a 1 kHz square wave from an output compare measured
// to the cycle, chunks joined into a trace, a control line sampled, and
// what a recorder keeps when a signal changes too often.
#include "lab/keypad.h"
#include "lab/recorder.h"
#include "sim_support.h"

#include <gtest/gtest.h>

namespace {

using lab::Edge;
using lab::Pin;
using lab::Recorder;
using lab::Trace;
using sim11::Port;

// OC3 toggles PA5 each 1000 cycles: 500 µs high, 500 µs low at 2 MHz.
const char* const tone = R"(
 LDAA #$10
 STAA $1020
 LDD $100E
 ADDD #1000
 STD $101A
LOOP LDAA #$20
WT BITA $1023
 BEQ WT
 STAA $1023
 LDD $101A
 ADDD #1000
 STD $101A
 BRA LOOP
)";

Trace traceOf(const lab::RecordedChunk& chunk, std::size_t signal, Trace trace = {}) {
    trace.append(chunk.startLevels.at(signal), chunk.from, chunk.until, chunk.edges.at(signal));
    return trace;
}

TEST(Recorder, AnOutputCompareAt1kHzMeasuresToTheCycle) {
    auto m = sim11::test::program(tone);
    lab::PinDrivers drivers;
    Recorder recorder({Pin::portPin(Port::A, 5), Pin::portPin(Port::A, 6)});
    recorder.attach(*m, drivers);
    m->run(20'000);
    const lab::RecordedChunk first = recorder.take();
    m->run(41'000);
    const lab::RecordedChunk second = recorder.take();
    EXPECT_EQ(first.from, 0u);
    EXPECT_EQ(second.from, first.until);
    EXPECT_TRUE(first.edges.at(1).empty()); // PA6 never moves

    const Trace trace = traceOf(second, 0, traceOf(first, 0));
    EXPECT_NEAR(static_cast<double>(trace.edges.size()), 40, 1);
    for (std::size_t k = 1; k < trace.edges.size(); ++k) {
        EXPECT_EQ(trace.edges[k].cycle - trace.edges[k - 1].cycle, 1000u) << k;
        EXPECT_NE(trace.edges[k].level, trace.edges[k - 1].level);
    }
    // Around the join of the two chunks, and within each.
    for (const std::uint64_t at : {std::uint64_t{5'000}, first.until, std::uint64_t{33'333}}) {
        const auto measured = lab::measureAround(trace, at, 2e6);
        ASSERT_TRUE(measured) << at;
        EXPECT_EQ(measured->periodCycles, 2000u);
        EXPECT_EQ(measured->highCycles, 1000u);
        EXPECT_DOUBLE_EQ(measured->periodSeconds, 0.001);
        EXPECT_DOUBLE_EQ(measured->frequency, 1000.0);
        EXPECT_DOUBLE_EQ(measured->duty, 0.5);
    }
    // Before the first rising edge, or past the last full period: nothing.
    EXPECT_FALSE(lab::measureAround(trace, 0, 2e6));
    EXPECT_FALSE(lab::measureAround(trace, trace.until, 2e6));
    recorder.detach();
}

TEST(Recorder, TraceLevelsAndADutyCycleOfAQuarter) {
    Trace trace;
    trace.append(false, 100, 200, {{110, true}, {120, false}, {150, true}, {160, false}});
    trace.append(false, 200, 300, {{210, true}, {220, false}});
    trace.append(true, 300, 400, {}); // a chunk starting high: its level holds
    EXPECT_EQ(trace.from, 100u);
    EXPECT_EQ(trace.until, 400u);
    const struct {
        std::uint64_t cycle;
        bool level;
    } levels[] = {{0, false},  {109, false}, {110, true}, {119, true}, {120, false},
                  {215, true}, {299, false}, {300, true}, {1000, true}};
    for (const auto& l : levels)
        EXPECT_EQ(trace.levelAt(l.cycle), l.level) << l.cycle;
    const auto m = lab::measureAround(trace, 155, 1e6);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->periodCycles, 60u); // 150 to 210
    EXPECT_EQ(m->highCycles, 10u);
    EXPECT_NEAR(m->duty, 1.0 / 6, 1e-12);
    EXPECT_DOUBLE_EQ(lab::secondsBetween(300, 100, 1e6), 200e-6);
}

TEST(Recorder, ControlLinesAreSampledAndTooManyEdgesKeepTheLatest) {
    auto m = sim11::test::program(tone);
    lab::PinDrivers drivers;
    Recorder recorder({Pin{Pin::Kind::Irq}, Pin::portPin(Port::A, 5)}, 8);
    recorder.attach(*m, drivers);
    EXPECT_EQ(recorder.take().startLevels, (std::vector<bool>{true, false}));
    m->run(5'000);
    m->setSignal(sim11::Signal::Irq, true); // IRQ pulled low between two runs
    const std::uint64_t pulled = m->cycles();
    const lab::RecordedChunk chunk = recorder.take();
    ASSERT_EQ(chunk.edges[0].size(), 1u);
    EXPECT_EQ(chunk.edges[0][0].cycle, pulled);
    EXPECT_FALSE(chunk.edges[0][0].level);
    // Released after a take, as a window does between two slices: the edge
    // bears the cycle of the release, not that of the next pin change.
    m->run(m->cycles() + 2'000);
    EXPECT_TRUE(recorder.take().edges[0].empty());
    m->setSignal(sim11::Signal::Irq, false);
    const std::uint64_t released = m->cycles();
    m->run(released + 3'000);
    const lab::RecordedChunk later = recorder.take();
    ASSERT_EQ(later.edges[0].size(), 1u);
    EXPECT_EQ(later.edges[0][0].cycle, released);
    EXPECT_TRUE(later.edges[0][0].level);

    m->run(m->cycles() + 40'000); // 40 edges on PA5, 8 kept at most
    const lab::RecordedChunk busy = recorder.take();
    ASSERT_LE(busy.edges[1].size(), 8u);
    ASSERT_GE(busy.edges[1].size(), 4u);
    EXPECT_EQ(busy.edges[1].back().cycle + 1000 > busy.until, true); // the latest kept
    // The chunk's start level is the one before the edges it kept.
    EXPECT_NE(busy.startLevels[1], busy.edges[1].front().level);
    recorder.clear();
    EXPECT_TRUE(recorder.take().edges[1].empty());
}

TEST(Recorder, ARowPulledInAnswerToItsColumnOnTheSamePort) {
    // A keypad wholly on port C: columns PC4-PC7 driven, rows PC0-PC3 read.
    auto m = sim11::test::program(R"(
 LDAA #$F0
 STAA $1007
 LDAA #$E0
 STAA $1003
 NOP
 LDAA #$F0
 STAA $1003
 NOP
 LDAA #$E0
 STAA $1003
 STOP
)");
    lab::PinDrivers drivers;
    drivers.attach(m.get());
    lab::KeypadWiring wiring;
    for (unsigned k = 0; k < 4; ++k) {
        wiring.rowPins.push_back(Pin::portPin(Port::C, k));
        wiring.columnPins.push_back(Pin::portPin(Port::C, 4 + k));
    }
    lab::Keypad keypad(wiring);
    keypad.attach(*m, drivers);
    Recorder recorder({Pin::portPin(Port::C, 0)});
    recorder.attach(*m, drivers);
    keypad.press(0, true);
    sim11::test::runToStop(*m);
    // PC0 pulled low with PC4, released with it, pulled again: each change
    // once, and the trace ends where the pin is.
    const Trace trace = traceOf(recorder.take(), 0);
    EXPECT_EQ(m->pins(Port::C) & 0x11, 0x00);
    ASSERT_EQ(trace.edges.size(), 3u);
    EXPECT_FALSE(trace.edges[0].level);
    EXPECT_TRUE(trace.edges[1].level);
    EXPECT_FALSE(trace.edges[2].level);
}

} // namespace
