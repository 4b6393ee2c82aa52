// Resets and interrupts: the chip's state after a reset, the COP watchdog,
// OPTION and HPRIO, the IRQ and XIRQ pins, the timed events of every block,
// and the choice and entry of the interrupt to take.
#include "sim11/machine.h"

#include "chip_bits.h"

#include <algorithm>

namespace sim11 {

using namespace bits;

void Machine::chipReset(std::uint16_t vec) {
    resetAt_ = cycles_;
    config_ = configNext_;
    reg_.fill(0);
    reg_[reg::PIOC] = 0x03;
    reg_[reg::SPCR] = 0x04;
    reg_[reg::SCSR] = TDRE | TC;
    reg_[reg::OPTION] = 0x10;
    reg_[reg::INIT] = 0x01;
    reg_[reg::BPROT] = chip_ == Chip::A1 ? 0 : 0x1F;
    reg_[reg::TEST1] = mode_ == Mode::Bootstrap ? 0x08 : 0x00; // DISR: no COP in special modes
    reg_[reg::HPRIO] = static_cast<std::uint8_t>(0x05 | (mode_ == Mode::Expanded ? 0x20 : 0) |
                                                 (mode_ == Mode::Bootstrap ? 0xC0 : 0));
    for (unsigned oc = 0; oc < 5; ++oc) {
        reg_[reg::TOC1 + 2 * oc] = 0xFF;
        reg_[reg::TOC1 + 2 * oc + 1] = 0xFF;
    }
    regBase_ = 0x1000;
    ramBase_ = 0x0000;
    rebuildMap();

    prescale_ = 1;
    timerEpoch_ = cycles_;
    tcntAtEpoch_ = 0;
    for (int oc = 0; oc < 5; ++oc)
        ocAt_[oc] = whenTcntReaches(0xFFFF);
    tofAt_ = whenTcntReaches(0);
    rtiAt_ = resetAt_ + 8192;
    copArm_ = 0;
    copAt_ = never;
    portAOut_ = 0;
    paSyncAt_ = cycles_;
    paovAt_ = never;
    adDoneAt_ = never;
    spiDoneAt_ = never;
    eeLatched_ = false;
    irqEdge_ = false;

    rxDoneAt_ = rxIdleAt_ = txDoneAt_ = rxRetryAt_ = rxWaitSince_ = never;
    txIdleSince_ = rxTakenAt_ = cycles_;
    rxPolls_.fill(never);
    txShiftBusy_ = txShiftData_ = false;
    tdrFull_ = false;
    idleArmed_ = false;
    scsrSeen_ = 0;
    loader_ = mode_ == Mode::Bootstrap ? Loader::Start : Loader::Off;

    stopped_ = waiting_ = false;
    r_.ccr = ccr::S | ccr::X | ccr::I;
    const std::uint16_t at = vectorAddress(vec);
    r_.pc = static_cast<std::uint16_t>(rd(at) << 8 | rd(static_cast<std::uint16_t>(at + 1)));
    if (!(config_ & NOCOP) && mode_ != Mode::Bootstrap)
        copAt_ = cycles_ + (32768u << (2 * (reg_[reg::OPTION] & 3)));
    schedule();
    wakeAttention();
    if (onPins)
        pinsMayHaveChanged();
}

void Machine::interruptsRegisterWrite(unsigned offset, std::uint8_t value) {
    switch (offset) {
    case reg::OPTION:
        if (protectedWritable())
            reg_[reg::OPTION] = value;
        else
            reg_[reg::OPTION] =
                static_cast<std::uint8_t>((value & 0xC8) | (reg_[reg::OPTION] & 0x37));
        return;
    case reg::COPRST:
        if (value == 0x55) {
            copArm_ = 1;
        } else if (value == 0xAA && copArm_) {
            copArm_ = 0;
            if (copAt_ != never) {
                copAt_ = cycles_ + (32768u << (2 * (reg_[reg::OPTION] & 3)));
                schedule();
            }
        }
        return;
    case reg::HPRIO:
        // Mode bits are fixed here; the promoted interrupt can change with I set.
        reg_[reg::HPRIO] = static_cast<std::uint8_t>((reg_[reg::HPRIO] & 0xF0) | (value & 0x0F));
        wakeAttention();
        return;
    case reg::TEST1:
        if (mode_ == Mode::Bootstrap)
            reg_[reg::TEST1] = value;
        return;
    default:
        return;
    }
}

// --- time --------------------------------------------------------------------

void Machine::lowerAttention(std::uint64_t at) {
    // Another thread may zero it meanwhile: never raise it over that.
    std::uint64_t current = attentionAt_.load(std::memory_order_relaxed);
    while (at < current &&
           !attentionAt_.compare_exchange_weak(current, at, std::memory_order_relaxed)) {
    }
}

void Machine::schedule() {
    std::uint64_t next = std::min({txDoneAt_, rxDoneAt_, rxIdleAt_, rxRetryAt_, tofAt_, rtiAt_,
                                   copAt_, adDoneAt_, spiDoneAt_, paovAt_});
    for (const std::uint64_t at : ocAt_)
        next = std::min(next, at);
    nextEvent_ = next;
    lowerAttention(nextEvent_);
}

void Machine::service() {
    if (cycles_ < nextEvent_)
        return;
    timerEvents();
    sciService();
    adService();
    if (cycles_ >= spiDoneAt_) {
        spiDoneAt_ = never;
        reg_[reg::SPDR] = 0xFF; // nothing drives MISO: the line idles high
        reg_[reg::SPSR] |= 0x80;
        wakeAttention();
    }
    if (cycles_ >= copAt_) {
        chipReset(vector::COP);
        if (stopOnCopReset_)
            end(Halt::CopReset);
        return;
    }
    schedule();
}

// --- pins ----------------------------------------------------------------------

void Machine::setIrqLine(bool asserted) {
    if (asserted && !irqLine_)
        irqEdge_ = true; // a falling edge of the pin, for the edge-sensitive mode
    irqLine_ = asserted;
    if (asserted && stopped_)
        stopped_ = false;
    wakeAttention();
}

void Machine::setXirqLine(bool asserted) {
    const std::uint8_t before = portAPins();
    xirqLine_ = asserted;
    if (asserted && stopped_)
        stopped_ = false;
    portAChanged(before); // on the board, PA3 reads the line
    wakeAttention();
}

void Machine::setOc5ToXirq(bool wired) {
    const std::uint8_t before = portAPins();
    oc5ToXirq_ = wired;
    portAChanged(before);
    wakeAttention();
}

bool Machine::xirqAsserted() const {
    return xirqLine_ || (oc5ToXirq_ && !(portAPins() & 0x08));
}

// --- interrupts ------------------------------------------------------------------

bool Machine::takeInterrupt() {
    if (!(r_.ccr & ccr::X) && xirqAsserted()) {
        enterInterrupt(vector::XIRQ, ccr::X | ccr::I, 12);
        return true;
    }
    if (r_.ccr & ccr::I)
        return false;
    const std::uint8_t tflg1 = reg_[reg::TFLG1] & reg_[reg::TMSK1];
    const std::uint8_t tflg2 = reg_[reg::TFLG2] & reg_[reg::TMSK2] & 0xF0;
    const std::uint8_t scsr = reg_[reg::SCSR], sccr2 = reg_[reg::SCCR2];
    const bool sci = ((scsr & TDRE) && (sccr2 & TIE)) || ((scsr & TC) && (sccr2 & TCIE)) ||
                     ((scsr & (RDRF | OR)) && (sccr2 & RIE)) || ((scsr & IDLE) && (sccr2 & ILIE));
    const bool spi = (reg_[reg::SPSR] & 0x80) && (reg_[reg::SPCR] & 0x80);
    const bool irqEdgeMode = reg_[reg::OPTION] & 0x20; // IRQE
    const bool irqPending = irqEdgeMode ? irqEdge_ : irqLine_;
    // Sources from the highest priority down, with the PSEL code of each.
    struct Source {
        bool pending;
        std::uint16_t vec;
        std::uint8_t psel;
    };
    const Source sources[] = {
        {irqPending, vector::IRQ, 6},
        {(tflg2 & 0x40) != 0, vector::RTI, 7},
        {(tflg1 & 0x04) != 0, vector::TIC1, 8},
        {(tflg1 & 0x02) != 0, vector::TIC2, 9},
        {(tflg1 & 0x01) != 0, vector::TIC3, 10},
        {(tflg1 & 0x80) != 0, vector::TOC1, 11},
        {(tflg1 & 0x40) != 0, vector::TOC2, 12},
        {(tflg1 & 0x20) != 0, vector::TOC3, 13},
        {(tflg1 & 0x10) != 0, vector::TOC4, 14},
        {(tflg1 & 0x08) != 0, vector::TOC5, 15},
        {(tflg2 & 0x80) != 0, vector::TOF, 0},
        {(tflg2 & 0x20) != 0, vector::PAOV, 1},
        {(tflg2 & 0x10) != 0, vector::PAI, 2},
        {spi, vector::SPI, 3},
        {sci, vector::SCI, 4},
    };
    std::uint8_t psel = reg_[reg::HPRIO] & 0x0F;
    if (psel == 5)
        psel = 6; // reserved code: IRQ stays first
    const Source* chosen = nullptr;
    for (const Source& s : sources)
        if (s.pending && s.psel == psel)
            chosen = &s;
    for (const Source& s : sources) {
        if (!chosen && s.pending)
            chosen = &s;
    }
    if (!chosen)
        return false;
    if (chosen->vec == vector::IRQ)
        irqEdge_ = false;
    enterInterrupt(chosen->vec, ccr::I, 12);
    return true;
}

void Machine::enterInterrupt(std::uint16_t vec, std::uint8_t setMask, unsigned cost) {
    if (waiting_) {
        // WAI already stacked everything: only the vector fetch remains.
        waiting_ = false;
        cost = 3;
    } else {
        auto push = [this](std::uint8_t v) { wr(r_.sp--, v); };
        push(static_cast<std::uint8_t>(r_.pc));
        push(static_cast<std::uint8_t>(r_.pc >> 8));
        push(static_cast<std::uint8_t>(r_.y));
        push(static_cast<std::uint8_t>(r_.y >> 8));
        push(static_cast<std::uint8_t>(r_.x));
        push(static_cast<std::uint8_t>(r_.x >> 8));
        push(r_.a);
        push(r_.b);
        push(r_.ccr);
    }
    r_.ccr |= setMask;
    const std::uint16_t at = vectorAddress(vec);
    r_.pc = static_cast<std::uint16_t>(rd(at) << 8 | rd(static_cast<std::uint16_t>(at + 1)));
    cycles_ += cost;
}

} // namespace sim11
