#include "lab/displays.h"

#include <algorithm>
#include <cmath>

namespace lab {

// --- Persistence -------------------------------------------------------------

void Persistence::resize(std::size_t channels) {
    channels_.assign(channels, Channel{});
}

void Persistence::restart(std::uint64_t cycle, std::uint64_t window) {
    window_ = std::max<std::uint64_t>(window, 1);
    start_ = windowStart_ = last_ = cycle;
    havePrevious_ = false;
    for (Channel& c : channels_)
        c = Channel{false, cycle, 0, 0};
}

void Persistence::rewind(std::uint64_t cycle) {
    start_ = windowStart_ = cycle;
    havePrevious_ = false;
    for (Channel& c : channels_)
        c = Channel{c.lit, cycle, 0, 0};
}

void Persistence::advance(std::uint64_t cycle) {
    if (cycle < last_)
        rewind(cycle);
    last_ = cycle;
    if (cycle < windowStart_ + window_)
        return;
    // The window under way is closed at its end...
    const std::uint64_t end = windowStart_ + window_;
    for (Channel& c : channels_) {
        if (c.lit) {
            c.current += end - std::max(c.since, windowStart_);
            c.since = end;
        }
        c.previous =
            static_cast<float>(static_cast<double>(c.current) / static_cast<double>(window_));
        c.current = 0;
    }
    windowStart_ = end;
    havePrevious_ = true;
    if (cycle < windowStart_ + window_)
        return;
    // ... and whole windows without a change are steady.
    windowStart_ += (cycle - windowStart_) / window_ * window_;
    for (Channel& c : channels_) {
        c.previous = c.lit ? 1.0f : 0.0f;
        c.since = windowStart_;
    }
}

void Persistence::set(std::size_t channel, bool lit, std::uint64_t cycle) {
    advance(cycle);
    Channel& c = channels_[channel];
    if (c.lit == lit)
        return;
    if (c.lit)
        c.current += cycle - std::max(c.since, windowStart_);
    c.since = cycle;
    c.lit = lit;
}

void Persistence::set8(std::size_t first, std::uint8_t lit, std::uint64_t cycle) {
    advance(cycle);
    for (std::size_t k = 0; k < 8 && first + k < channels_.size(); ++k) {
        Channel& c = channels_[first + k];
        const bool on = lit >> k & 1;
        if (c.lit == on)
            continue;
        if (c.lit)
            c.current += cycle - std::max(c.since, windowStart_);
        c.since = cycle;
        c.lit = on;
    }
}

float Persistence::shareAfterAdvance(const Channel& c, std::uint64_t cycle) const {
    const std::uint64_t now = std::max(cycle, windowStart_);
    double litNow = static_cast<double>(c.current);
    if (c.lit)
        litNow += static_cast<double>(now - std::max(c.since, windowStart_));
    const double elapsed = static_cast<double>(now - windowStart_);
    const double window = static_cast<double>(window_);
    if (!havePrevious_) {
        // Less than a window since the start: the share of that time.
        if (elapsed <= 0)
            return c.lit ? 1.0f : 0.0f;
        return static_cast<float>(litNow / elapsed);
    }
    // The window before counts for the part of the last window it covers.
    const double value = (c.previous * (window - elapsed) + litNow) / window;
    return static_cast<float>(std::clamp(value, 0.0, 1.0));
}

float Persistence::share(std::size_t channel, std::uint64_t cycle) const {
    Persistence copy = *this;
    copy.advance(cycle);
    return copy.shareAfterAdvance(copy.channels_[channel], cycle);
}

std::vector<float> Persistence::shares(std::uint64_t cycle) const {
    Persistence copy = *this;
    copy.advance(cycle);
    std::vector<float> out;
    out.reserve(channels_.size());
    for (const Channel& c : copy.channels_)
        out.push_back(copy.shareAfterAdvance(c, cycle));
    return out;
}

// --- the displays ------------------------------------------------------------

Displays::Displays(const DisplayWiring& wiring) : Part(wiring.name), wiring_(wiring) {
    multiplexed_ = !wiring_.selectPins.empty();
    digits_ = std::max(wiring_.digits, 0);
    if (multiplexed_) {
        digits_ = std::min<int>(digits_, static_cast<int>(wiring_.selectPins.size()));
        for (const Pin& pin : wiring_.selectPins)
            if (pin.kind == Pin::Kind::Port)
                ports_ |= static_cast<std::uint8_t>(1u << static_cast<unsigned>(pin.port));
        if (!wiring_.segmentPorts.empty())
            ports_ |=
                static_cast<std::uint8_t>(1u << static_cast<unsigned>(wiring_.segmentPorts[0]));
        else
            digits_ = 0;
    } else {
        digits_ = std::min<int>(digits_, static_cast<int>(wiring_.segmentPorts.size()));
        for (const Port port : wiring_.segmentPorts)
            ports_ |= static_cast<std::uint8_t>(1u << static_cast<unsigned>(port));
    }
    eye_.resize(static_cast<std::size_t>(digits_) * 8);
    shown_.assign(static_cast<std::size_t>(digits_), 0);
}

Displays::~Displays() = default;

void Displays::attach(Machine& machine, PinDrivers&) {
    machine_ = &machine;
    const auto window = static_cast<std::uint64_t>(std::llround(refreshSeconds * eClock()));
    eye_.restart(machine.cycles(), window);
    std::fill(shown_.begin(), shown_.end(), std::uint8_t{0});
    for (std::size_t p = 0; p < levels_.size(); ++p)
        levels_[p] = machine.pins(static_cast<Port>(p));
    // The levels heard are kept: a scan changes its pins thousands of times
    // a second, and the chip is not asked for them again at each change.
    watcher_ = machine.connectPins([this](Port port, std::uint8_t levels, std::uint64_t cycle) {
        if (ports_ >> static_cast<unsigned>(port) & 1) {
            levels_[static_cast<std::size_t>(port)] = levels;
            pinsChanged(cycle);
        }
    });
    pinsChanged(machine.cycles());
}

void Displays::detach() {
    if (!machine_)
        return;
    if (watcher_)
        machine_->disconnect(watcher_);
    watcher_ = 0;
    machine_ = nullptr;
}

std::uint8_t Displays::litSegments(int digit) const {
    const auto active = [this](std::uint8_t levels) {
        return static_cast<std::uint8_t>(wiring_.commonAnode ? ~levels : levels);
    };
    const auto pins = [this](Port port) { return levels_[static_cast<std::size_t>(port)]; };
    if (!multiplexed_)
        return active(pins(wiring_.segmentPorts[static_cast<std::size_t>(digit)]));
    const Pin& select = wiring_.selectPins[static_cast<std::size_t>(digit)];
    if (select.kind != Pin::Kind::Port)
        return 0;
    const bool high = pins(select.port) & select.mask();
    if (high == wiring_.selectActiveLow)
        return 0;
    return active(pins(wiring_.segmentPorts[0]));
}

void Displays::pinsChanged(std::uint64_t cycle) {
    for (int d = 0; d < digits_; ++d) {
        const std::uint8_t lit = litSegments(d);
        auto& shown = shown_[static_cast<std::size_t>(d)];
        if (lit != shown) {
            eye_.set8(static_cast<std::size_t>(d) * 8, lit, cycle);
            shown = lit;
        }
    }
}

DisplayView Displays::view(std::uint64_t cycle) const {
    DisplayView v;
    v.name = wiring_.name;
    v.digits = digits_;
    v.segments.resize(static_cast<std::size_t>(digits_));
    const std::vector<float> shares = eye_.shares(cycle);
    for (std::size_t k = 0; k < shares.size(); ++k)
        v.segments[k / 8][k % 8] = shares[k];
    return v;
}

char segmentCharacter(std::uint8_t segments) {
    struct Glyph {
        std::uint8_t pattern;
        char character;
    };
    // Both shapes of 6, 7 and 9 (with or without their extra bar).
    static constexpr Glyph glyphs[] = {
        {0x3F, '0'}, {0x06, '1'}, {0x5B, '2'}, {0x4F, '3'}, {0x66, '4'}, {0x6D, '5'}, {0x7D, '6'},
        {0x7C, 'b'}, {0x07, '7'}, {0x27, '7'}, {0x7F, '8'}, {0x6F, '9'}, {0x67, '9'}, {0x77, 'A'},
        {0x39, 'C'}, {0x5E, 'D'}, {0x79, 'E'}, {0x71, 'F'}, {0x40, '-'}, {0x00, ' '}};
    for (const Glyph& g : glyphs)
        if (g.pattern == (segments & 0x7F))
            return g.character == 'b' ? 'B' : g.character;
    return '?';
}

// A scanned display lights each digit a share of the time only: a segment
// counts as lit from half the brightness of the brightest segment on
// (and at least 5 %, so the faint glow of a segment switched during the
// scan never draws a digit alone).
std::string DisplayView::text() const {
    float brightest = 0;
    for (const auto& digit : segments)
        for (const float s : digit)
            brightest = std::max(brightest, s);
    const float threshold = std::max(brightest / 2, 0.05f);
    std::string out;
    for (const auto& digit : segments) {
        std::uint8_t pattern = 0;
        for (std::size_t s = 0; s < 7; ++s)
            if (digit[s] >= threshold)
                pattern |= static_cast<std::uint8_t>(1u << s);
        out += segmentCharacter(pattern);
    }
    return out;
}

} // namespace lab
