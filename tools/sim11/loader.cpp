// The bootstrap mode's loader, as the boot ROM runs it: a break on the SCI,
// the first byte choosing the rate (or the EEPROM), then bytes stored in RAM
// from $0000 and echoed, until 256 bytes (A1), or RAM full or four character
// times of silence (E parts); then a jump to $0000.
#include "sim11/machine.h"

#include "chip_bits.h"

namespace sim11 {

using namespace bits;

// The chip's own loader, one polling step per call: it runs while the CPU
// sits at the boot ROM's entry, costing the E cycles of the ROM's loops.
void Machine::loaderStep() {
    const bool aPart = chip_ == Chip::A1;
    const unsigned fast = 539, slow = 3503; // 19-cycle loops in four character times
    switch (loader_) {
    case Loader::Off:
        return;
    case Loader::Start:
        r_.sp = 0x00FF;
        r_.x = regBase_;
        writeRegister(reg::SPCR, reg_[reg::SPCR] | 0x20); // port D wired-OR
        writeRegister(reg::BAUD, 0xA2);              // E/16/16: 7812 baud at 2 MHz
        writeRegister(reg::SCCR2, TE | RE);
        writeRegister(reg::TOC1, 0x00);
        writeRegister(reg::TOC1 + 1, 0x00);
        writeRegister(reg::TOC1, fast >> 8);
        writeRegister(reg::TOC1 + 1, fast & 0xFF);
        loaderTimeout_ = fast * 19;
        cycles_ += 20;
        loader_ = Loader::Break;
        return;
    case Loader::Break:
        // A break (a frame of zeros) tells the host the loader is ready.
        if (txShiftBusy_) {
            cycles_ += 6;
            return;
        }
        txShift_ = 0;
        txShiftBusy_ = txShiftData_ = true;
        txDoneAt_ = cycles_ + std::uint64_t{sciBitCycles()} * sciFrameBits();
        reg_[reg::SCSR] &= static_cast<std::uint8_t>(~TC);
        schedule();
        cycles_ += 12;
        loader_ = Loader::First;
        return;
    case Loader::First: {
        if (!(reg_[reg::SCSR] & RDRF)) {
            cycles_ += 7;
            return;
        }
        readRegister(reg::SCSR);
        const std::uint8_t first = readRegister(reg::SCDR);
        cycles_ += 10;
        if (first == 0x00) {
            // A break or a zero: straight to the program in EEPROM.
            loader_ = Loader::Off;
            r_.pc = 0xB600;
            return;
        }
        if (first != 0xFF) {
            // $FF sent at 1200 baud arrives garbled: switch to the slow rate.
            writeRegister(reg::BAUD, reg_[reg::BAUD] | 0x33);
            writeRegister(reg::TOC1, slow >> 8);
            writeRegister(reg::TOC1 + 1, slow & 0xFF);
            loaderTimeout_ = slow * 19;
        }
        loaderPtr_ = 0;
        r_.y = 0;
        loaderDeadline_ = cycles_ + loaderTimeout_;
        loaderEchoPending_ = false;
        loader_ = Loader::Loading;
        return;
    }
    case Loader::Loading: {
        const unsigned end = aPart ? 256 : static_cast<unsigned>(ram_.size());
        if (loaderEchoPending_) {
            if (!(reg_[reg::SCSR] & TDRE)) {
                cycles_ += 7;
                return;
            }
            readRegister(reg::SCSR);
            writeRegister(reg::SCDR, loaderEcho_);
            loaderEchoPending_ = false;
            cycles_ += 8;
            // The ROM's delay count starts again at the top of its loop.
            loaderDeadline_ = cycles_ + loaderTimeout_;
            if (loaderPtr_ >= end)
                break;
            return;
        }
        if (reg_[reg::SCSR] & RDRF) {
            readRegister(reg::SCSR);
            const std::uint8_t byte = readRegister(reg::SCDR);
            wr(static_cast<std::uint16_t>(ramBase_ + loaderPtr_), byte);
            loaderEcho_ = byte;
            loaderEchoPending_ = true;
            ++loaderPtr_;
            r_.y = loaderPtr_;
            cycles_ += 12;
            return;
        }
        if (!aPart && cycles_ >= loaderDeadline_)
            break;
        cycles_ += 19;
        return;
    }
    }
    // Done: into the program just loaded.
    loader_ = Loader::Off;
    r_.pc = ramBase_;
}

} // namespace sim11
