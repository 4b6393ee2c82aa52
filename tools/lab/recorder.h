// The timing view's recorder: chosen pins and control lines, each change
// stamped with the chip's cycle while the program runs; and what the view
// measures between two edges (time, frequency, duty cycle).
#pragma once

#include "lab/part.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace lab {

struct Edge {
    std::uint64_t cycle = 0;
    bool level = false; // the level from this cycle on
};

// What was recorded since the last take(): for each signal, its level when
// the chunk starts and the edges after it, up to `until` (the cycle of the take).
struct RecordedChunk {
    std::uint64_t from = 0, until = 0;
    std::vector<bool> startLevels;
    std::vector<std::vector<Edge>> edges;
};

class Recorder final : public Part {
public:
    // At most 8 signals: port pins, IRQ, XIRQ, RESET. A signal that changes
    // more than `maxEdges` times between two takes keeps its latest edges.
    explicit Recorder(std::vector<Pin> signals, std::size_t maxEdges = 1u << 16);
    const std::vector<Pin>& signals() const { return signals_; }
    void attach(Machine& machine, PinDrivers& drivers) override;
    void detach() override;
    // Everything since the last take (or the attach), and starts again.
    RecordedChunk take();
    // A new start (after a reset of the machine): what was recorded is dropped.
    void clear();

private:
    void record(std::size_t signal, bool level, std::uint64_t cycle);
    void sampleLines(std::uint64_t cycle);
    void watchLinesFrom(std::uint64_t cycle);
    std::vector<Pin> signals_;
    std::size_t maxEdges_;
    bool lines_ = false; // IRQ, XIRQ or RESET among the signals
    Machine* machine_ = nullptr;
    Machine::Connection pins_ = 0, alarm_ = 0;
    RecordedChunk current_;
    std::vector<bool> levels_;
};

// A signal's whole trace as the view keeps it.
struct Trace {
    bool startLevel = false;
    std::uint64_t from = 0, until = 0;
    std::vector<Edge> edges; // in time order
    void append(bool chunkStartLevel, std::uint64_t chunkFrom, std::uint64_t chunkUntil,
                const std::vector<Edge>& chunkEdges);
    bool levelAt(std::uint64_t cycle) const;
};

// Measured around a cycle of a trace: the period from the rising edge at or
// before it to the next rising edge, the high time within it.
struct Measurement {
    std::uint64_t periodCycles = 0, highCycles = 0;
    double periodSeconds = 0, frequency = 0, duty = 0; // duty from 0 to 1
};
std::optional<Measurement> measureAround(const Trace& trace, std::uint64_t cycle, double eClockHz);

// The time between two cycles, in seconds.
inline double secondsBetween(std::uint64_t a, std::uint64_t b, double eClockHz) {
    return static_cast<double>(b > a ? b - a : a - b) / eClockHz;
}

} // namespace lab
