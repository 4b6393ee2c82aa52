#include "lab/recorder.h"

#include <algorithm>

namespace lab {

// The port pins are heard through the pins' watcher, at the cycle of each
// change. IRQ, XIRQ and RESET are inputs set from outside (a button, the
// window's switches), between two runs: nothing reports their changes, so
// their level is sampled at each change of the pins, at each take(), and by
// an alarm due at the cycle of the take, which rings as soon as the next run
// starts: a line pulled after a take is stamped with the cycle it was pulled
// at, not with the program's next move.

namespace {

constexpr std::size_t reserved = 1024; // edges per signal before a vector grows

std::optional<sim11::Signal> signalOf(const Pin& pin) {
    switch (pin.kind) {
    case Pin::Kind::Irq:
        return sim11::Signal::Irq;
    case Pin::Kind::Xirq:
        return sim11::Signal::Xirq;
    case Pin::Kind::Reset:
        return sim11::Signal::Reset;
    default:
        return std::nullopt;
    }
}

} // namespace

Recorder::Recorder(std::vector<Pin> signals, std::size_t maxEdges)
    : Part("Chronogramme"), signals_(std::move(signals)),
      maxEdges_(std::max<std::size_t>(maxEdges, 2)) {
    if (signals_.size() > 8)
        signals_.resize(8);
    levels_.assign(signals_.size(), false);
}

namespace {

// The level a signal has on the chip's side of its pin: a control line is
// asserted low.
bool levelOf(const Machine& machine, const Pin& pin) {
    if (pin.kind == Pin::Kind::Port)
        return machine.pins(pin.port) & pin.mask();
    if (const auto signal = signalOf(pin))
        return !machine.signal(*signal);
    return false;
}

} // namespace

void Recorder::attach(Machine& machine, PinDrivers&) {
    machine_ = &machine;
    lines_ = std::any_of(signals_.begin(), signals_.end(), [](const Pin& pin) {
        return pin.kind != Pin::Kind::Port && pin.kind != Pin::Kind::None;
    });
    alarm_ = lines_ ? machine.connectAlarm([this](std::uint64_t cycle) { sampleLines(cycle); }) : 0;
    clear();
    pins_ = machine.connectPins([this](Port port, std::uint8_t levels, std::uint64_t cycle) {
        for (std::size_t k = 0; k < signals_.size(); ++k) {
            const Pin& pin = signals_[k];
            if (pin.kind == Pin::Kind::Port) {
                if (pin.port == port)
                    record(k, levels & pin.mask(), cycle);
            } else if (pin.kind != Pin::Kind::None) {
                record(k, levelOf(*machine_, pin), cycle);
            }
        }
    });
}

void Recorder::detach() {
    if (machine_ && pins_)
        machine_->disconnect(pins_);
    if (machine_ && alarm_)
        machine_->disconnect(alarm_);
    pins_ = alarm_ = 0;
    machine_ = nullptr;
}

void Recorder::record(std::size_t k, bool level, std::uint64_t cycle) {
    if (level == levels_[k])
        return;
    levels_[k] = level;
    std::vector<Edge>& edges = current_.edges[k];
    if (edges.size() >= maxEdges_) {
        // Too many: the oldest half goes, the chunk starting where it ends.
        const std::size_t drop = edges.size() / 2;
        current_.startLevels[k] = edges[drop - 1].level;
        edges.erase(edges.begin(), edges.begin() + static_cast<std::ptrdiff_t>(drop));
    }
    edges.push_back({cycle, level});
}

void Recorder::sampleLines(std::uint64_t cycle) {
    if (!machine_ || !lines_)
        return;
    for (std::size_t k = 0; k < signals_.size(); ++k)
        if (signals_[k].kind != Pin::Kind::Port && signals_[k].kind != Pin::Kind::None)
            record(k, levelOf(*machine_, signals_[k]), cycle);
}

void Recorder::watchLinesFrom(std::uint64_t cycle) {
    if (machine_ && alarm_)
        machine_->setAlarm(alarm_, cycle);
}

void Recorder::clear() {
    current_ = RecordedChunk{};
    current_.from = current_.until = machine_ ? machine_->cycles() : 0;
    for (std::size_t k = 0; k < signals_.size(); ++k)
        levels_[k] = machine_ ? levelOf(*machine_, signals_[k]) : false;
    current_.startLevels = levels_;
    current_.edges.resize(signals_.size());
    for (std::vector<Edge>& e : current_.edges)
        e.reserve(std::min(reserved, maxEdges_));
    watchLinesFrom(current_.from);
}

RecordedChunk Recorder::take() {
    const std::uint64_t now = machine_ ? machine_->cycles() : current_.from;
    sampleLines(now);
    RecordedChunk out = std::move(current_);
    out.until = std::max(now, out.from);
    current_ = RecordedChunk{};
    current_.from = current_.until = out.until;
    current_.startLevels = levels_;
    current_.edges.resize(signals_.size());
    for (std::vector<Edge>& e : current_.edges)
        e.reserve(std::min(reserved, maxEdges_));
    watchLinesFrom(now);
    return out;
}

// --- Trace ---------------------------------------------------------------------------

void Trace::append(bool chunkStartLevel, std::uint64_t chunkFrom, std::uint64_t chunkUntil,
                   const std::vector<Edge>& chunkEdges) {
    const bool empty = edges.empty() && from == 0 && until == 0;
    if (empty) {
        startLevel = chunkStartLevel;
        from = chunkFrom;
        until = chunkFrom;
    }
    bool level = edges.empty() ? startLevel : edges.back().level;
    // A chunk that does not follow on (edges dropped, a gap) starts with
    // its own level.
    if (chunkStartLevel != level) {
        edges.push_back({std::max(chunkFrom, until), chunkStartLevel});
        level = chunkStartLevel;
    }
    for (const Edge& e : chunkEdges) {
        if (e.level == level || (!edges.empty() && e.cycle < edges.back().cycle))
            continue;
        edges.push_back(e);
        level = e.level;
    }
    until = std::max({until, chunkUntil, edges.empty() ? 0 : edges.back().cycle});
}

bool Trace::levelAt(std::uint64_t cycle) const {
    const auto after = std::upper_bound(edges.begin(), edges.end(), cycle,
                                        [](std::uint64_t c, const Edge& e) { return c < e.cycle; });
    return after == edges.begin() ? startLevel : std::prev(after)->level;
}

std::optional<Measurement> measureAround(const Trace& trace, std::uint64_t cycle, double eClockHz) {
    if (eClockHz <= 0)
        return std::nullopt;
    const auto& edges = trace.edges;
    // The edges are alternating changes: a rising edge is one to high.
    auto after = std::upper_bound(edges.begin(), edges.end(), cycle,
                                  [](std::uint64_t c, const Edge& e) { return c < e.cycle; });
    auto rise = edges.end();
    for (auto it = after; it != edges.begin();) {
        --it;
        if (it->level) {
            rise = it;
            break;
        }
    }
    if (rise == edges.end())
        return std::nullopt;
    auto fall = std::next(rise);
    while (fall != edges.end() && fall->level)
        ++fall;
    if (fall == edges.end())
        return std::nullopt;
    auto next = std::next(fall);
    while (next != edges.end() && !next->level)
        ++next;
    if (next == edges.end())
        return std::nullopt;
    Measurement m;
    m.periodCycles = next->cycle - rise->cycle;
    m.highCycles = fall->cycle - rise->cycle;
    if (m.periodCycles == 0)
        return std::nullopt;
    m.periodSeconds = static_cast<double>(m.periodCycles) / eClockHz;
    m.frequency = 1.0 / m.periodSeconds;
    m.duty = static_cast<double>(m.highCycles) / static_cast<double>(m.periodCycles);
    return m;
}

} // namespace lab
