// Resets and interrupts: OPTION, HPRIO and the test register, the COP
// watchdog, the IRQ and XIRQ pins, and the choice and entry of the interrupt
// to take.
#include "blocks.h"

namespace sim11 {

using namespace bits;

Interrupts::Interrupts(Machine& machine) : Block(machine) {
    claim(reg::OPTION);
    claim(reg::COPRST);
    claim(reg::HPRIO);
    claim(reg::TEST1);
    claimSlot();
}

void Interrupts::reset() {
    option_ = 0x10;
    test1_ = mode() == Mode::Bootstrap ? 0x08 : 0x00; // DISR: no COP in special modes
    hprio_ = static_cast<std::uint8_t>(0x05 | (mode() == Mode::Expanded ? 0x20 : 0) |
                                       (mode() == Mode::Bootstrap ? 0xC0 : 0));
    copArm_ = 0;
    copAt_ = never;
    irqEdge_ = false;
    if (!(eeprom().config() & NOCOP) && mode() != Mode::Bootstrap)
        armCop();
    schedule(copAt_);
}

void Interrupts::armCop() {
    copAt_ = now() + (32768u << (2 * (option_ & 3)));
}

void Interrupts::event() {
    chipReset(vector::COP);
    if (stopOnCopReset())
        end(Halt::CopReset);
}

std::uint8_t Interrupts::peek(unsigned offset) const {
    switch (offset) {
    case reg::OPTION:
        return option_;
    case reg::HPRIO:
        return hprio_;
    case reg::TEST1:
        return test1_;
    default:
        return 0; // COPRST
    }
}

void Interrupts::write(unsigned offset, std::uint8_t value) {
    switch (offset) {
    case reg::OPTION:
        if (protectedWritable())
            option_ = value;
        else
            option_ = static_cast<std::uint8_t>((value & 0xC8) | (option_ & 0x37));
        return;
    case reg::COPRST:
        if (value == 0x55) {
            copArm_ = 1;
        } else if (value == 0xAA && copArm_) {
            copArm_ = 0;
            if (copAt_ != never) {
                armCop();
                schedule(copAt_);
            }
        }
        return;
    case reg::HPRIO:
        // Mode bits are fixed here; the promoted interrupt can change with I set.
        hprio_ = static_cast<std::uint8_t>((hprio_ & 0xF0) | (value & 0x0F));
        wake();
        return;
    default: // TEST1
        if (mode() == Mode::Bootstrap)
            test1_ = value;
        return;
    }
}

// --- pins ----------------------------------------------------------------------

void Interrupts::setIrq(bool asserted) {
    if (asserted && !irqLine_)
        irqEdge_ = true; // a falling edge of the pin, for the edge-sensitive mode
    irqLine_ = asserted;
    if (asserted && stoppedFlag())
        stoppedFlag() = false;
    wake();
}

void Interrupts::setXirq(bool asserted) {
    const std::uint8_t before = timer().portAPins();
    xirqLine_ = asserted;
    if (asserted && stoppedFlag())
        stoppedFlag() = false;
    timer().portAChanged(before); // on the board, PA3 reads the line
    wake();
}

void Interrupts::setOc5ToXirq(bool wired) {
    const std::uint8_t before = timer().portAPins();
    oc5ToXirq_ = wired;
    timer().portAChanged(before);
    wake();
}

bool Interrupts::xirqAsserted() const {
    return xirqLine_ || (oc5ToXirq_ && !(timer().portAPins() & 0x08));
}

// --- interrupts ------------------------------------------------------------------

bool Interrupts::takeInterrupt() {
    Registers& r = cpu();
    if (!(r.ccr & ccr::X) && xirqAsserted()) {
        enterInterrupt(vector::XIRQ, ccr::X | ccr::I, 12);
        return true;
    }
    if (r.ccr & ccr::I)
        return false;
    const std::uint8_t tflg1 = timer().pending1();
    const std::uint8_t tflg2 = timer().pending2();
    const bool irqEdgeMode = option_ & 0x20; // IRQE
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
        {spi().interruptPending(), vector::SPI, 3},
        {sci().interruptPending(), vector::SCI, 4},
    };
    std::uint8_t psel = hprio_ & 0x0F;
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

} // namespace sim11
