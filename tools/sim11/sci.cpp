// The SCI: the transmitter (its preamble, TDR and shifter, TDRE and TC), the
// receiver (one frame per character time, RDRF, overrun, IDLE, framing
// errors) and the host's side: bytes queued by the host enter the line as a
// wire carries them, or as a typist sends them when asked.
#include "sim11/machine.h"

#include "chip_bits.h"

#include <algorithm>
#include <cmath>

namespace sim11 {

using namespace bits;

namespace {

// The paced sender: the pause in the program's output it waits for, and how
// long it waits at most, in character times.
constexpr std::uint64_t typistPause = 20, typistPatience = 2000;

} // namespace

std::uint32_t Machine::sciBitCycles() const {
    static constexpr std::uint32_t prescales[4] = {1, 3, 4, 13};
    const std::uint8_t baud = reg_[reg::BAUD];
    return 16u * prescales[(baud >> 4) & 3] * (1u << (baud & 7));
}

unsigned Machine::sciFrameBits() const {
    return (reg_[reg::SCCR1] & 0x10) ? 11 : 10;
}

void Machine::setHostBaud(unsigned baud, double eClockHz) {
    hostBaud_ = baud;
    eClockHz_ = eClockHz;
}

// A host byte's time on the line: the program's own frame, or ten bits at
// the host's rate.
std::uint64_t Machine::sciHostFrame() const {
    if (hostBaud_ == 0)
        return std::uint64_t{sciBitCycles()} * sciFrameBits();
    return static_cast<std::uint64_t>(std::llround(10.0 * eClockHz_ / hostBaud_));
}

// What the receiver makes of a byte sent at the host's rate: it samples each
// bit in the middle of its own bit time, counted from the start bit's edge.
std::uint8_t Machine::sciSampled(std::uint8_t byte, bool& framingError) const {
    framingError = false;
    if (hostBaud_ == 0)
        return byte;
    const double hostBit = eClockHz_ / hostBaud_;
    const double chipBit = sciBitCycles();
    if (std::fabs(hostBit - chipBit) <= chipBit * 0.02)
        return byte;
    // The host's line: start bit low, eight data bits from bit 0, then high.
    auto level = [&](double t) {
        const long bit = static_cast<long>(std::floor(t / hostBit));
        if (bit <= 0)
            return false;
        if (bit <= 8)
            return ((byte >> (bit - 1)) & 1) != 0;
        return true;
    };
    std::uint8_t value = 0;
    for (int k = 0; k < 8; ++k)
        if (level((k + 1.5) * chipBit))
            value = static_cast<std::uint8_t>(value | (1u << k));
    framingError = !level((sciFrameBits() - 0.5) * chipBit);
    return value;
}

std::uint64_t Machine::sciLineFreeAt() const {
    if (!sciLineBusy())
        return cycles_;
    const std::uint64_t from = rxDoneAt_ != never ? rxDoneAt_ : cycles_;
    return from + rxQueue_.size() * sciHostFrame();
}

void Machine::sciFeed(std::uint8_t byte) {
    rxQueue_.push_back(byte);
    sciStartReceive();
}

void Machine::sciFeed(const std::string& bytes) {
    for (const char c : bytes)
        rxQueue_.push_back(static_cast<std::uint8_t>(c));
    sciStartReceive();
}

// A program asks for input when its receive interrupt is on, or when it
// keeps polling the receiver: four empty looks at SCSR within two character
// times. A program busy elsewhere (writing EEPROM, say) that glances at the
// receiver now and then is not asking, and a typist holds back.
bool Machine::sciAskedForInput() const {
    if (reg_[reg::SCCR2] & RIE)
        return true;
    const std::uint64_t oldest = rxPolls_[rxPollNext_];
    const std::uint64_t frame = std::uint64_t{sciBitCycles()} * sciFrameBits();
    return oldest != never && cycles_ - oldest <= 2 * frame;
}

void Machine::sciStartReceive() {
    if (rxDoneAt_ != never || rxQueue_.empty() || !(reg_[reg::SCCR2] & RE))
        return;
    const std::uint64_t frame = std::uint64_t{sciBitCycles()} * sciFrameBits();
    if (feed_ == Feed::Paced) {
        if (reg_[reg::SCSR] & RDRF)
            return;
        if (!sciAskedForInput()) {
            // The next empty poll of SCSR looks again.
            rxWaitSince_ = never;
            return;
        }
        if (rxWaitSince_ == never)
            rxWaitSince_ = cycles_;
        // The pause counts from the program's last output or from its taking
        // the previous byte, whichever is later: it must have time to answer.
        const bool txIdle = !txShiftBusy_ && !tdrFull_;
        const std::uint64_t calmFrom = std::max(txIdleSince_, rxTakenAt_) + typistPause * frame;
        const bool quiet = txIdle && cycles_ >= calmFrom;
        if (!quiet && cycles_ < rxWaitSince_ + typistPatience * frame) {
            rxRetryAt_ = txIdle ? calmFrom : cycles_ + frame;
            schedule();
            return;
        }
        rxWaitSince_ = never;
    }
    rxShift_ = rxQueue_.front(); // sampled when its frame ends, at the rate then
    rxQueue_.pop_front();
    rxDoneAt_ = cycles_ + (feed_ == Feed::Line ? sciHostFrame() : frame);
    rxIdleAt_ = never;
    schedule();
}

void Machine::sciTransferToShifter() {
    txShift_ = tdr_;
    tdrFull_ = false;
    txShiftBusy_ = true;
    txShiftData_ = true;
    reg_[reg::SCSR] |= TDRE;
    reg_[reg::SCSR] &= static_cast<std::uint8_t>(~TC);
    txDoneAt_ = cycles_ + std::uint64_t{sciBitCycles()} * sciFrameBits();
    wakeAttention();
}

std::uint8_t Machine::sciRead(unsigned offset) {
    switch (offset) {
    case reg::SCSR:
        scsrSeen_ = reg_[reg::SCSR];
        if (!(scsrSeen_ & RDRF)) {
            rxPolls_[rxPollNext_] = cycles_;
            rxPollNext_ = (rxPollNext_ + 1) % rxPolls_.size();
            if (feed_ == Feed::Paced && !rxQueue_.empty() && rxDoneAt_ == never &&
                rxRetryAt_ == never)
                sciStartReceive();
        }
        return reg_[reg::SCSR];
    case reg::SCDR: {
        const std::uint8_t cleared = scsrSeen_ & (RDRF | IDLE | OR | 0x06);
        if (cleared) {
            reg_[reg::SCSR] &= static_cast<std::uint8_t>(~cleared);
            scsrSeen_ &= static_cast<std::uint8_t>(~cleared);
            if (cleared & RDRF) {
                rxTakenAt_ = cycles_;
                sciStartReceive();
            }
            wakeAttention();
        }
        return rdr_;
    }
    default:
        return peekRegister(offset);
    }
}

void Machine::sciWrite(unsigned offset, std::uint8_t value) {
    switch (offset) {
    case reg::SCSR:
        return; // read-only
    case reg::SCCR2: {
        const std::uint8_t old = reg_[reg::SCCR2];
        reg_[reg::SCCR2] = value;
        if ((value & TE) && !(old & TE) && !txShiftBusy_) {
            // The transmitter sends a whole idle frame before its first byte.
            txShiftBusy_ = true;
            txShiftData_ = false;
            txDoneAt_ = cycles_ + std::uint64_t{sciBitCycles()} * sciFrameBits();
        }
        if (value & RE)
            sciStartReceive();
        schedule();
        wakeAttention();
        return;
    }
    case reg::SCDR:
        tdr_ = value;
        tdrFull_ = true;
        reg_[reg::SCSR] &= static_cast<std::uint8_t>(~(TDRE | TC));
        scsrSeen_ &= static_cast<std::uint8_t>(~(TDRE | TC));
        if ((reg_[reg::SCCR2] & TE) && !txShiftBusy_)
            sciTransferToShifter();
        schedule();
        wakeAttention();
        return;
    default: // BAUD, SCCR1
        reg_[offset] = value;
        return;
    }
}

void Machine::sciService() {
    if (cycles_ >= txDoneAt_) {
        const std::uint64_t end = txDoneAt_;
        txDoneAt_ = never;
        txShiftBusy_ = false;
        if (txShiftData_ && onTransmit)
            onTransmit(txShift_);
        txShiftData_ = false;
        if (tdrFull_ && (reg_[reg::SCCR2] & TE)) {
            // Back to back: the next frame starts where this one ended.
            const std::uint64_t now = cycles_;
            cycles_ = end;
            sciTransferToShifter();
            cycles_ = now;
        } else {
            reg_[reg::SCSR] |= TC;
            txIdleSince_ = end;
        }
        wakeAttention();
    }
    if (cycles_ >= rxDoneAt_) {
        const std::uint64_t end = rxDoneAt_;
        rxDoneAt_ = never;
        if (reg_[reg::SCSR] & RDRF) {
            reg_[reg::SCSR] |= OR;
        } else {
            bool framingError = false;
            rdr_ = sciSampled(rxShift_, framingError);
            reg_[reg::SCSR] |= RDRF;
            if (framingError)
                reg_[reg::SCSR] |= FE;
        }
        idleArmed_ = true;
        const std::uint64_t now = cycles_;
        cycles_ = end;
        sciStartReceive();
        cycles_ = now;
        if (rxDoneAt_ == never)
            rxIdleAt_ = end + std::uint64_t{sciBitCycles()} * sciFrameBits();
        wakeAttention();
    }
    if (cycles_ >= rxRetryAt_) {
        rxRetryAt_ = never;
        sciStartReceive();
    }
    if (cycles_ >= rxIdleAt_) {
        rxIdleAt_ = never;
        if (idleArmed_ && (reg_[reg::SCCR2] & RE)) {
            reg_[reg::SCSR] |= IDLE;
            idleArmed_ = false;
            wakeAttention();
        }
    }
}

} // namespace sim11
