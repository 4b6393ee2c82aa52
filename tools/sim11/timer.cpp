// The timer system: the free-running counter and its prescaler, the input
// captures and output compares with the port A pins they use, the overflow,
// the real-time interrupt and the pulse accumulator on PA7.
#include "sim11/machine.h"

#include "chip_bits.h"

namespace sim11 {

using namespace bits;

// --- port A ----------------------------------------------------------------

std::uint8_t Machine::portAOutputs() const {
    const std::uint8_t pactl = reg_[reg::PACTL], oc1m = reg_[reg::OC1M];
    std::uint8_t outputs = 0x70; // PA4-PA6
    // An output compare that drives PA7 or PA3 makes it an output whatever
    // its direction bit says.
    if ((pactl & DDRA7) || (oc1m & 0x80))
        outputs |= 0x80;
    const bool oc5Drives = !(pactl & I4O5) && ((reg_[reg::TCTL1] & 0x03) || (oc1m & 0x08));
    if (chip_ == Chip::A1 || (pactl & DDRA3) || oc5Drives)
        outputs |= 0x08;
    return outputs;
}

std::uint8_t Machine::portAPins() const {
    const std::uint8_t outputs = portAOutputs();
    std::uint8_t inputs = portAIn_;
    if (oc5ToXirq_) // PA3 pulled up with the XIRQ line, low while the button holds it
        inputs = static_cast<std::uint8_t>((inputs & ~0x08) | (xirqLine_ ? 0 : 0x08));
    return static_cast<std::uint8_t>((portAOut_ & outputs) | (inputs & ~outputs));
}

void Machine::portAChanged(std::uint8_t before) {
    const std::uint8_t after = portAPins();
    const std::uint8_t changed = before ^ after;
    if (changed & 0x80)
        paEdge((after & 0x80) != 0);
    if ((changed & 0x08) && oc5ToXirq_) {
        if (!(after & 0x08) && stopped_)
            stopped_ = false;
        wakeAttention();
    }
    if (changed && onPins)
        pinsMayHaveChanged();
}

void Machine::setPortAOutput(std::uint8_t bits, std::uint8_t mask) {
    if (reg_[reg::PACTL] & PAMOD)
        syncPulseAccumulator(); // gated time so far counts with the old level
    const std::uint8_t before = portAPins();
    portAOut_ = static_cast<std::uint8_t>((portAOut_ & ~mask) | (bits & mask));
    portAChanged(before);
}

void Machine::setPortAInputs(std::uint8_t levels) {
    if (reg_[reg::PACTL] & PAMOD)
        syncPulseAccumulator();
    const std::uint8_t before = portAPins();
    portAIn_ = levels;
    const std::uint8_t after = portAPins();
    const std::uint8_t changed = before ^ after;
    // Input captures: IC1 on PA2, IC2 on PA1, IC3 on PA0 (and IC4 on PA3).
    const std::uint8_t tctl2 = reg_[reg::TCTL2];
    auto capture = [&](int ic, unsigned bit, unsigned edges) {
        if (!(changed & (1u << bit)) || edges == 0)
            return;
        const bool rising = (after >> bit) & 1;
        if (!((edges == 1 && rising) || (edges == 2 && !rising) || edges == 3))
            return;
        const std::uint16_t count = tcntAt(cycles_);
        const unsigned at = ic < 3 ? reg::TIC1 + 2u * static_cast<unsigned>(ic) : unsigned{reg::TI4O5};
        reg_[at] = static_cast<std::uint8_t>(count >> 8);
        reg_[at + 1] = static_cast<std::uint8_t>(count);
        reg_[reg::TFLG1] |= static_cast<std::uint8_t>(ic < 3 ? 0x04 >> ic : 0x08);
        wakeAttention();
    };
    capture(0, 2, (tctl2 >> 4) & 3);
    capture(1, 1, (tctl2 >> 2) & 3);
    capture(2, 0, tctl2 & 3);
    if (chip_ != Chip::A1 && (reg_[reg::PACTL] & I4O5))
        capture(3, 3, (tctl2 >> 6) & 3);
    portAChanged(before);
}

// --- registers -------------------------------------------------------------

std::uint8_t Machine::timerRead(unsigned offset) {
    switch (offset) {
    case reg::TCNT: {
        // A read of the high byte latches the low one for the next cycle's read.
        const std::uint16_t count = tcntAt(cycles_);
        tcntLowLatch_ = static_cast<std::uint8_t>(count);
        return static_cast<std::uint8_t>(count >> 8);
    }
    case reg::TCNT + 1:
        return tcntLowLatch_;
    case reg::PACNT:
        syncPulseAccumulator();
        return reg_[reg::PACNT];
    default:
        return peekRegister(offset);
    }
}

void Machine::timerWrite(unsigned offset, std::uint8_t value) {
    switch (offset) {
    case reg::PORTA:
        setPortAOutput(value, 0xF8);
        return;
    case reg::TCNT:
    case reg::TCNT + 1:
    case reg::TIC1:
    case reg::TIC1 + 1:
    case reg::TIC2:
    case reg::TIC2 + 1:
    case reg::TIC3:
    case reg::TIC3 + 1:
        return; // read-only
    case reg::CFORC:
        for (int oc = 0; oc < 5; ++oc)
            if (value & (0x80 >> oc))
                outputCompare(-1 - oc);
        return;
    case reg::OC1M:
    case reg::TCTL1: {
        // Either can hand PA3 or PA7 to an output compare.
        const std::uint8_t before = portAPins();
        reg_[offset] = value;
        portAChanged(before);
        return;
    }
    case reg::TOC1:
    case reg::TOC1 + 1:
    case reg::TOC2:
    case reg::TOC2 + 1:
    case reg::TOC3:
    case reg::TOC3 + 1:
    case reg::TOC4:
    case reg::TOC4 + 1:
    case reg::TI4O5:
    case reg::TI4O5 + 1: {
        reg_[offset] = value;
        const int oc = static_cast<int>(offset - reg::TOC1) / 2;
        const std::uint16_t target = static_cast<std::uint16_t>(reg_[reg::TOC1 + 2 * oc] << 8 |
                                                                reg_[reg::TOC1 + 2 * oc + 1]);
        ocAt_[oc] = whenTcntReaches(target);
        schedule();
        return;
    }
    case reg::TFLG1:
    case reg::TFLG2:
        // Writing ones clears those flags.
        if (offset == reg::TFLG2)
            syncPulseAccumulator();
        reg_[offset] &= static_cast<std::uint8_t>(~value);
        wakeAttention();
        return;
    case reg::TMSK1:
        reg_[reg::TMSK1] = value;
        wakeAttention();
        return;
    case reg::TMSK2:
        if (protectedWritable()) {
            static constexpr unsigned prescales[4] = {1, 4, 8, 16};
            setTimerPrescale(prescales[value & 3]);
            reg_[reg::TMSK2] = value;
        } else {
            reg_[reg::TMSK2] = static_cast<std::uint8_t>((value & 0xF0) | (reg_[reg::TMSK2] & 0x03));
        }
        wakeAttention();
        return;
    case reg::PACTL: {
        syncPulseAccumulator();
        const std::uint8_t pinsBefore = portAPins();
        reg_[reg::PACTL] = chip_ == Chip::A1 ? static_cast<std::uint8_t>(value & 0xF3) : value;
        const unsigned period = 8192u << (reg_[reg::PACTL] & 3);
        const std::uint64_t since = cycles_ - resetAt_;
        rtiAt_ = resetAt_ + (since / period + 1) * period;
        paSyncAt_ = cycles_;
        portAChanged(pinsBefore);
        syncPulseAccumulator();
        return;
    }
    case reg::PACNT:
        syncPulseAccumulator();
        reg_[reg::PACNT] = value;
        syncPulseAccumulator();
        return;
    default:
        reg_[offset] = value;
        return;
    }
}

// --- counter and compares --------------------------------------------------

std::uint16_t Machine::tcntAt(std::uint64_t t) const {
    return static_cast<std::uint16_t>(tcntAtEpoch_ + (t - timerEpoch_) / prescale_);
}

std::uint64_t Machine::whenTcntReaches(std::uint16_t value) const {
    const std::uint64_t ticks = (cycles_ - timerEpoch_) / prescale_;
    const std::uint16_t now = static_cast<std::uint16_t>(tcntAtEpoch_ + ticks);
    unsigned distance = static_cast<std::uint16_t>(value - now);
    if (distance == 0)
        distance = 0x10000;
    return timerEpoch_ + (ticks + distance) * prescale_;
}

void Machine::setTimerPrescale(unsigned prescale) {
    tcntAtEpoch_ = tcntAt(cycles_);
    timerEpoch_ = cycles_;
    prescale_ = prescale;
    for (int oc = 0; oc < 5; ++oc)
        ocAt_[oc] = whenTcntReaches(static_cast<std::uint16_t>(reg_[reg::TOC1 + 2 * oc] << 8 |
                                                               reg_[reg::TOC1 + 2 * oc + 1]));
    tofAt_ = whenTcntReaches(0);
    schedule();
}

// index 0-4: a match of TOC1-TOC5; -1..-5: forced by CFORC (no flag).
void Machine::outputCompare(int index) {
    const bool forced = index < 0;
    const int oc = forced ? -1 - index : index;
    if (oc == 4 && chip_ != Chip::A1 && (reg_[reg::PACTL] & I4O5))
        return; // TI4O5 is an input capture then
    if (!forced) {
        reg_[reg::TFLG1] |= static_cast<std::uint8_t>(0x80 >> oc);
        wakeAttention();
    }
    if (oc == 0) {
        const std::uint8_t mask = reg_[reg::OC1M] & 0xF8;
        if (mask)
            setPortAOutput(reg_[reg::OC1D], mask);
        return;
    }
    const unsigned action = (reg_[reg::TCTL1] >> (2 * (4 - oc))) & 3;
    const std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> oc); // OC2 on PA6 ... OC5 on PA3
    if (action == 1)
        setPortAOutput(static_cast<std::uint8_t>(portAOut_ ^ bit), bit);
    else if (action == 2)
        setPortAOutput(0, bit);
    else if (action == 3)
        setPortAOutput(bit, bit);
}

void Machine::timerEvents() {
    for (int oc = 0; oc < 5; ++oc) {
        if (cycles_ >= ocAt_[oc]) {
            ocAt_[oc] += std::uint64_t{0x10000} * prescale_;
            outputCompare(oc);
        }
    }
    if (cycles_ >= tofAt_) {
        tofAt_ += std::uint64_t{0x10000} * prescale_;
        reg_[reg::TFLG2] |= 0x80;
        wakeAttention();
    }
    if (cycles_ >= rtiAt_) {
        rtiAt_ += 8192u << (reg_[reg::PACTL] & 3);
        reg_[reg::TFLG2] |= 0x40;
        wakeAttention();
    }
    if (cycles_ >= paovAt_)
        syncPulseAccumulator();
}

// --- pulse accumulator -----------------------------------------------------

void Machine::syncPulseAccumulator() {
    const std::uint8_t pactl = reg_[reg::PACTL];
    const bool gateOpen = ((portAPins() & 0x80) != 0) != ((pactl & PEDGE) != 0);
    if ((pactl & PAEN) && (pactl & PAMOD) && gateOpen) {
        const std::uint64_t ticks = cycles_ / 64 - paSyncAt_ / 64;
        const unsigned total = reg_[reg::PACNT] + static_cast<unsigned>(ticks % 256);
        if (ticks >= 256 || total > 0xFF) {
            reg_[reg::TFLG2] |= 0x20;
            wakeAttention();
        }
        reg_[reg::PACNT] = static_cast<std::uint8_t>(total);
        paovAt_ = (cycles_ / 64 + (256 - reg_[reg::PACNT])) * 64;
    } else {
        paovAt_ = never;
    }
    paSyncAt_ = cycles_;
    schedule();
}

void Machine::paEdge(bool level) {
    const std::uint8_t pactl = reg_[reg::PACTL];
    if (!(pactl & PAEN))
        return;
    const bool counted = ((pactl & PEDGE) != 0) == level; // PEDGE set: rising edges
    if (!(pactl & PAMOD)) {
        if (counted) {
            if (++reg_[reg::PACNT] == 0)
                reg_[reg::TFLG2] |= 0x20;
            reg_[reg::TFLG2] |= 0x10;
            wakeAttention();
        }
    } else {
        // Gated: the trailing edge of the gate sets PAIF.
        if (level == ((pactl & PEDGE) != 0)) {
            reg_[reg::TFLG2] |= 0x10;
            wakeAttention();
        }
        paSyncAt_ = cycles_;
        syncPulseAccumulator();
    }
}

} // namespace sim11
