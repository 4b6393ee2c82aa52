// The bootstrap mode's loader, as the boot ROM runs it: a break on the SCI,
// the first byte choosing the rate (or the EEPROM), then bytes stored in RAM
// from $0000 and echoed, until 256 bytes (A1), or RAM full or four character
// times of silence (E parts); then a jump to $0000.
#include "blocks.h"

namespace sim11 {

using namespace bits;

Loader::Loader(Machine& machine, const Variant& variant)
    : Block(machine), loadsRamFull_(variant.loadsRamFull) {}

void Loader::reset() {
    state_ = mode() == Mode::Bootstrap ? State::Start : State::Off;
}

// One polling step per call: it runs while the CPU sits at the boot ROM's
// entry, costing the E cycles of the ROM's loops.
void Loader::step() {
    if (state_ == State::Off)
        state_ = State::Start; // the entry jumped to again: from the start
    Registers& r = cpu();
    const unsigned fast = 539, slow = 3503; // 19-cycle loops in four character times
    switch (state_) {
    case State::Off:
        return;
    case State::Start:
        r.sp = 0x00FF;
        r.x = registerBase();
        writeRegister(reg::SPCR, spi().spcr() | 0x20); // port D wired-OR
        writeRegister(reg::BAUD, 0xA2);                // E/16/16: 7812 baud at 2 MHz
        writeRegister(reg::SCCR2, TE | RE);
        writeRegister(reg::TOC1, 0x00);
        writeRegister(reg::TOC1 + 1, 0x00);
        writeRegister(reg::TOC1, fast >> 8);
        writeRegister(reg::TOC1 + 1, fast & 0xFF);
        timeout_ = fast * 19;
        spend(20);
        state_ = State::Break;
        return;
    case State::Break:
        // A break (a frame of zeros) tells the host the loader is ready.
        if (sci().shifterBusy()) {
            spend(6);
            return;
        }
        sci().sendBreak();
        spend(12);
        state_ = State::First;
        return;
    case State::First: {
        if (!(sci().peek(reg::SCSR) & RDRF)) {
            spend(7);
            return;
        }
        readRegister(reg::SCSR);
        const std::uint8_t first = readRegister(reg::SCDR);
        spend(10);
        if (first == 0x00) {
            // A break or a zero: straight to the program in EEPROM.
            state_ = State::Off;
            r.pc = 0xB600;
            return;
        }
        if (first != 0xFF) {
            // $FF sent at 1200 baud arrives garbled: switch to the slow rate.
            writeRegister(reg::BAUD, sci().peek(reg::BAUD) | 0x33);
            writeRegister(reg::TOC1, slow >> 8);
            writeRegister(reg::TOC1 + 1, slow & 0xFF);
            timeout_ = slow * 19;
        }
        ptr_ = 0;
        r.y = 0;
        deadline_ = now() + timeout_;
        echoPending_ = false;
        state_ = State::Loading;
        return;
    }
    case State::Loading: {
        const unsigned end = loadsRamFull_ ? memoryMap().ramSize() : 256u;
        if (echoPending_) {
            if (!(sci().peek(reg::SCSR) & TDRE)) {
                spend(7);
                return;
            }
            readRegister(reg::SCSR);
            writeRegister(reg::SCDR, echo_);
            echoPending_ = false;
            spend(8);
            // The ROM's delay count starts again at the top of its loop.
            deadline_ = now() + timeout_;
            if (ptr_ >= end)
                break;
            return;
        }
        if (sci().peek(reg::SCSR) & RDRF) {
            readRegister(reg::SCSR);
            const std::uint8_t byte = readRegister(reg::SCDR);
            busWrite(static_cast<std::uint16_t>(ramBase() + ptr_), byte);
            echo_ = byte;
            echoPending_ = true;
            ++ptr_;
            r.y = ptr_;
            spend(12);
            return;
        }
        if (loadsRamFull_ && now() >= deadline_)
            break;
        spend(19);
        return;
    }
    }
    // Done: into the program just loaded.
    state_ = State::Off;
    r.pc = ramBase();
}

} // namespace sim11
