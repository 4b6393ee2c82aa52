// The timer system: the free-running counter and its prescaler, the input
// captures and output compares with the port A pins they use, the overflow,
// the real-time interrupt and the pulse accumulator on PA7.
#include "blocks.h"

#include <algorithm>

namespace sim11 {

using namespace bits;

Timer::Timer(Machine& machine) : Block(machine) {
    claim(reg::PORTA);
    for (unsigned offset = reg::CFORC; offset <= reg::PACNT; ++offset)
        claim(offset);
    claimSlot();
}

void Timer::reset() {
    capture_.fill(0);
    compare_.fill(0xFF);
    cforc_ = oc1m_ = oc1d_ = tctl1_ = tctl2_ = 0;
    tmsk1_ = tflg1_ = tmsk2_ = tflg2_ = pactl_ = pacnt_ = 0;
    tcntLowLatch_ = 0;
    prescale_ = 1;
    epoch_ = now();
    countAtEpoch_ = 0;
    for (int oc = 0; oc < 5; ++oc)
        ocAt_[oc] = whenTcntReaches(0xFFFF);
    tofAt_ = whenTcntReaches(0);
    rtiAt_ = resetAt() + 8192;
    portAOut_ = 0;
    paSyncAt_ = now();
    paovAt_ = never;
    reschedule();
}

void Timer::reschedule() {
    std::uint64_t next = std::min({tofAt_, rtiAt_, paovAt_});
    for (const std::uint64_t at : ocAt_)
        next = std::min(next, at);
    schedule(next);
}

// --- port A ----------------------------------------------------------------

std::uint8_t Timer::portAOutputs() const {
    std::uint8_t outputs = 0x70; // PA4-PA6
    // An output compare that drives PA7 or PA3 makes it an output whatever
    // its direction bit says.
    if ((pactl_ & DDRA7) || (oc1m_ & 0x80))
        outputs |= 0x80;
    const bool oc5Drives = !(pactl_ & I4O5) && ((tctl1_ & 0x03) || (oc1m_ & 0x08));
    if (!variant().pa3Configurable || (pactl_ & DDRA3) || oc5Drives)
        outputs |= 0x08;
    return outputs;
}

std::uint8_t Timer::portAPins() const {
    const std::uint8_t outputs = portAOutputs();
    std::uint8_t inputs = portAIn_;
    if (interrupts().oc5ToXirq()) // PA3 pulled up with the XIRQ line, low while the button holds it
        inputs = static_cast<std::uint8_t>((inputs & ~0x08) | (interrupts().xirq() ? 0 : 0x08));
    return static_cast<std::uint8_t>((portAOut_ & outputs) | (inputs & ~outputs));
}

void Timer::portAChanged(std::uint8_t before) {
    const std::uint8_t after = portAPins();
    const std::uint8_t changed = before ^ after;
    if (changed & 0x80)
        paEdge((after & 0x80) != 0);
    if ((changed & 0x08) && interrupts().oc5ToXirq()) {
        if (!(after & 0x08) && stoppedFlag())
            stoppedFlag() = false;
        wake();
    }
    if (changed && pinsWatched())
        pinsMayHaveChanged();
}

void Timer::setPortAOutput(std::uint8_t bits, std::uint8_t mask) {
    if (pactl_ & PAMOD)
        syncPulseAccumulator(); // gated time so far counts with the old level
    const std::uint8_t before = portAPins();
    portAOut_ = static_cast<std::uint8_t>((portAOut_ & ~mask) | (bits & mask));
    portAChanged(before);
}

void Timer::setPortAInputs(std::uint8_t levels) {
    if (pactl_ & PAMOD)
        syncPulseAccumulator();
    const std::uint8_t before = portAPins();
    portAIn_ = levels;
    const std::uint8_t after = portAPins();
    const std::uint8_t changed = before ^ after;
    // Input captures: IC1 on PA2, IC2 on PA1, IC3 on PA0 (and IC4 on PA3).
    auto capture = [&](int ic, unsigned bit, unsigned edges) {
        if (!(changed & (1u << bit)) || edges == 0)
            return;
        const bool rising = (after >> bit) & 1;
        if (!((edges == 1 && rising) || (edges == 2 && !rising) || edges == 3))
            return;
        const std::uint16_t count = tcntAt(now());
        std::uint8_t* at = ic < 3 ? &capture_[2 * static_cast<unsigned>(ic)] : &compare_[8];
        at[0] = static_cast<std::uint8_t>(count >> 8);
        at[1] = static_cast<std::uint8_t>(count);
        tflg1_ |= static_cast<std::uint8_t>(ic < 3 ? 0x04 >> ic : 0x08);
        wake();
    };
    capture(0, 2, (tctl2_ >> 4) & 3);
    capture(1, 1, (tctl2_ >> 2) & 3);
    capture(2, 0, tctl2_ & 3);
    if (variant().pa3Configurable && (pactl_ & I4O5))
        capture(3, 3, (tctl2_ >> 6) & 3);
    portAChanged(before);
}

// --- registers -------------------------------------------------------------

std::uint8_t Timer::peek(unsigned offset) const {
    switch (offset) {
    case reg::PORTA:
        return portAPins();
    case reg::CFORC:
        return 0;
    case reg::OC1M:
        return oc1m_;
    case reg::OC1D:
        return oc1d_;
    case reg::TCNT:
        return static_cast<std::uint8_t>(tcntAt(now()) >> 8);
    case reg::TCNT + 1:
        return static_cast<std::uint8_t>(tcntAt(now()));
    case reg::TCTL1:
        return tctl1_;
    case reg::TCTL2:
        return tctl2_;
    case reg::TMSK1:
        return tmsk1_;
    case reg::TFLG1:
        return tflg1_;
    case reg::TMSK2:
        return tmsk2_;
    case reg::TFLG2:
        return tflg2_;
    case reg::PACTL:
        return pactl_;
    case reg::PACNT:
        return pacnt_;
    default:
        if (offset >= reg::TIC1 && offset < reg::TOC1)
            return capture_[offset - reg::TIC1];
        if (offset >= reg::TOC1 && offset < reg::TCTL1)
            return compare_[offset - reg::TOC1];
        return 0;
    }
}

std::uint8_t Timer::read(unsigned offset) {
    switch (offset) {
    case reg::TCNT: {
        // A read of the high byte latches the low one for the next cycle's read.
        const std::uint16_t count = tcntAt(now());
        tcntLowLatch_ = static_cast<std::uint8_t>(count);
        return static_cast<std::uint8_t>(count >> 8);
    }
    case reg::TCNT + 1:
        return tcntLowLatch_;
    case reg::PACNT:
        syncPulseAccumulator();
        return pacnt_;
    default:
        return peek(offset);
    }
}

void Timer::write(unsigned offset, std::uint8_t value) {
    switch (offset) {
    case reg::PORTA:
        setPortAOutput(value, 0xF8);
        return;
    case reg::CFORC:
        for (int oc = 0; oc < 5; ++oc)
            if (value & (0x80 >> oc))
                outputCompare(-1 - oc);
        return;
    case reg::OC1M:
    case reg::TCTL1: {
        // Either can hand PA3 or PA7 to an output compare.
        const std::uint8_t before = portAPins();
        (offset == reg::OC1M ? oc1m_ : tctl1_) = value;
        portAChanged(before);
        return;
    }
    case reg::OC1D:
        oc1d_ = value;
        return;
    case reg::TCTL2:
        tctl2_ = value;
        return;
    case reg::TFLG1:
        // Writing ones clears those flags.
        tflg1_ &= static_cast<std::uint8_t>(~value);
        wake();
        return;
    case reg::TFLG2:
        syncPulseAccumulator();
        tflg2_ &= static_cast<std::uint8_t>(~value);
        wake();
        return;
    case reg::TMSK1:
        tmsk1_ = value;
        wake();
        return;
    case reg::TMSK2:
        if (protectedWritable()) {
            static constexpr unsigned prescales[4] = {1, 4, 8, 16};
            tmsk2_ = value;
            setPrescale(prescales[value & 3]);
        } else {
            tmsk2_ = static_cast<std::uint8_t>((value & 0xF0) | (tmsk2_ & 0x03));
        }
        wake();
        return;
    case reg::PACTL: {
        syncPulseAccumulator();
        const std::uint8_t pinsBefore = portAPins();
        pactl_ = variant().pa3Configurable ? value : static_cast<std::uint8_t>(value & 0xF3);
        const unsigned period = 8192u << (pactl_ & 3);
        rtiAt_ = resetAt() + (sinceReset() / period + 1) * period;
        paSyncAt_ = now();
        portAChanged(pinsBefore);
        syncPulseAccumulator();
        return;
    }
    case reg::PACNT:
        syncPulseAccumulator();
        pacnt_ = value;
        syncPulseAccumulator();
        return;
    default:
        if (offset >= reg::TOC1 && offset < reg::TCTL1) {
            compare_[offset - reg::TOC1] = value;
            const int oc = static_cast<int>(offset - reg::TOC1) / 2;
            ocAt_[static_cast<std::size_t>(oc)] = whenTcntReaches(compareValue(oc));
            reschedule();
        }
        return; // TCNT and the captures are read-only
    }
}

// --- counter and compares --------------------------------------------------

std::uint16_t Timer::compareValue(int oc) const {
    return static_cast<std::uint16_t>(compare_[2 * static_cast<unsigned>(oc)] << 8 |
                                      compare_[2 * static_cast<unsigned>(oc) + 1]);
}

std::uint16_t Timer::tcntAt(std::uint64_t t) const {
    return static_cast<std::uint16_t>(countAtEpoch_ + (t - epoch_) / prescale_);
}

std::uint64_t Timer::whenTcntReaches(std::uint16_t value) const {
    const std::uint64_t ticks = (now() - epoch_) / prescale_;
    const std::uint16_t count = static_cast<std::uint16_t>(countAtEpoch_ + ticks);
    unsigned distance = static_cast<std::uint16_t>(value - count);
    if (distance == 0)
        distance = 0x10000;
    return epoch_ + (ticks + distance) * prescale_;
}

void Timer::setPrescale(unsigned prescale) {
    countAtEpoch_ = tcntAt(now());
    epoch_ = now();
    prescale_ = prescale;
    for (int oc = 0; oc < 5; ++oc)
        ocAt_[static_cast<std::size_t>(oc)] = whenTcntReaches(compareValue(oc));
    tofAt_ = whenTcntReaches(0);
    reschedule();
}

// index 0-4: a match of TOC1-TOC5; -1..-5: forced by CFORC (no flag).
void Timer::outputCompare(int index) {
    const bool forced = index < 0;
    const int oc = forced ? -1 - index : index;
    if (oc == 4 && variant().pa3Configurable && (pactl_ & I4O5))
        return; // TI4O5 is an input capture then
    if (!forced) {
        tflg1_ |= static_cast<std::uint8_t>(0x80 >> oc);
        wake();
    }
    if (oc == 0) {
        const std::uint8_t mask = oc1m_ & 0xF8;
        if (mask)
            setPortAOutput(oc1d_, mask);
        return;
    }
    const unsigned action = (tctl1_ >> (2 * (4 - oc))) & 3;
    const std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> oc); // OC2 on PA6 ... OC5 on PA3
    if (action == 1)
        setPortAOutput(static_cast<std::uint8_t>(portAOut_ ^ bit), bit);
    else if (action == 2)
        setPortAOutput(0, bit);
    else if (action == 3)
        setPortAOutput(bit, bit);
}

void Timer::event() {
    for (int oc = 0; oc < 5; ++oc) {
        if (now() >= ocAt_[static_cast<std::size_t>(oc)]) {
            // The pin moves at the match, not at the end of the instruction
            // that crossed it: the parts outside hear the exact cycle.
            const std::uint64_t at = now();
            setNow(std::max(ocAt_[static_cast<std::size_t>(oc)], paSyncAt_));
            ocAt_[static_cast<std::size_t>(oc)] += std::uint64_t{0x10000} * prescale_;
            outputCompare(oc);
            setNow(at);
        }
    }
    if (now() >= tofAt_) {
        tofAt_ += std::uint64_t{0x10000} * prescale_;
        tflg2_ |= 0x80;
        wake();
    }
    if (now() >= rtiAt_) {
        rtiAt_ += 8192u << (pactl_ & 3);
        tflg2_ |= 0x40;
        wake();
    }
    if (now() >= paovAt_)
        syncPulseAccumulator();
    reschedule();
}

// --- pulse accumulator -----------------------------------------------------

void Timer::syncPulseAccumulator() {
    const bool gateOpen = ((portAPins() & 0x80) != 0) != ((pactl_ & PEDGE) != 0);
    if ((pactl_ & PAEN) && (pactl_ & PAMOD) && gateOpen) {
        const std::uint64_t ticks = now() / 64 - paSyncAt_ / 64;
        const unsigned total = pacnt_ + static_cast<unsigned>(ticks % 256);
        if (ticks >= 256 || total > 0xFF) {
            tflg2_ |= 0x20;
            wake();
        }
        pacnt_ = static_cast<std::uint8_t>(total);
        paovAt_ = (now() / 64 + (256 - pacnt_)) * 64;
    } else {
        paovAt_ = never;
    }
    paSyncAt_ = now();
    reschedule();
}

void Timer::paEdge(bool level) {
    if (!(pactl_ & PAEN))
        return;
    const bool counted = ((pactl_ & PEDGE) != 0) == level; // PEDGE set: rising edges
    if (!(pactl_ & PAMOD)) {
        if (counted) {
            if (++pacnt_ == 0)
                tflg2_ |= 0x20;
            tflg2_ |= 0x10;
            wake();
        }
    } else {
        // Gated: the trailing edge of the gate sets PAIF.
        if (level == ((pactl_ & PEDGE) != 0)) {
            tflg2_ |= 0x10;
            wake();
        }
        paSyncAt_ = now();
        syncPulseAccumulator();
    }
}

} // namespace sim11
