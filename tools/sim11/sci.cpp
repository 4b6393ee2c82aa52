// The SCI: the transmitter (its preamble, TDR and shifter, TDRE and TC), the
// receiver (one frame per character time, RDRF, overrun, IDLE, framing
// errors) and its receive line: bytes queued by the far end enter it as a
// wire carries them, or as a typist sends them when asked.
#include "blocks.h"

#include <algorithm>
#include <cmath>

namespace sim11 {

using namespace bits;

namespace {

// The paced sender: the pause in the program's output it waits for, and how
// long it waits at most, in character times.
constexpr std::uint64_t typistPause = 20, typistPatience = 2000;

} // namespace

Sci::Sci(Machine& machine) : Block(machine) {
    for (unsigned offset = reg::BAUD; offset <= reg::SCDR; ++offset)
        claim(offset);
    claimSlot();
    rxPolls_.fill(never);
}

void Sci::powerOn() {
    txIdleSince_ = rxTakenAt_ = 0;
    rxPolls_.fill(never);
}

void Sci::reset() {
    baud_ = sccr1_ = sccr2_ = 0;
    scsr_ = TDRE | TC;
    rxDoneAt_ = rxIdleAt_ = txDoneAt_ = rxRetryAt_ = rxWaitSince_ = never;
    txIdleSince_ = rxTakenAt_ = now();
    rxPolls_.fill(never);
    txShiftBusy_ = txShiftData_ = false;
    tdrFull_ = false;
    idleArmed_ = false;
    scsrSeen_ = 0;
    reschedule();
}

void Sci::reschedule() {
    schedule(std::min({txDoneAt_, rxDoneAt_, rxIdleAt_, rxRetryAt_}));
}

std::uint32_t Sci::bitCycles() const {
    static constexpr std::uint32_t prescales[4] = {1, 3, 4, 13};
    return 16u * prescales[(baud_ >> 4) & 3] * (1u << (baud_ & 7));
}

bool Sci::interruptPending() const {
    return ((scsr_ & TDRE) && (sccr2_ & TIE)) || ((scsr_ & TC) && (sccr2_ & TCIE)) ||
           ((scsr_ & (RDRF | OR)) && (sccr2_ & RIE)) || ((scsr_ & IDLE) && (sccr2_ & ILIE));
}

void Sci::setHostBaud(unsigned baud, double eClockHz) {
    hostBaud_ = baud;
    eClockHz_ = eClockHz;
}

// A byte from the far end's time on the line: the program's own frame, or
// ten bits at the far end's rate.
std::uint64_t Sci::hostFrameCycles() const {
    if (hostBaud_ == 0)
        return std::uint64_t{bitCycles()} * frameBits();
    return static_cast<std::uint64_t>(std::llround(10.0 * eClockHz_ / hostBaud_));
}

// What the receiver makes of a byte sent at the far end's rate: it samples
// each bit in the middle of its own bit time, counted from the start bit's edge.
std::uint8_t Sci::sampled(std::uint8_t byte, bool& framingError) const {
    framingError = false;
    if (hostBaud_ == 0)
        return byte;
    const double hostBit = eClockHz_ / hostBaud_;
    const double chipBit = bitCycles();
    if (std::fabs(hostBit - chipBit) <= chipBit * 0.02)
        return byte;
    // The far end's line: start bit low, eight data bits from bit 0, then high.
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
    framingError = !level((frameBits() - 0.5) * chipBit);
    return value;
}

std::uint64_t Sci::lineFreeAt() const {
    if (!lineBusy())
        return now();
    const std::uint64_t from = rxDoneAt_ != never ? rxDoneAt_ : now();
    return from + rxQueue_.size() * hostFrameCycles();
}

void Sci::feed(std::uint8_t byte) {
    rxQueue_.push_back(byte);
    startReceive();
}

void Sci::feed(const std::string& bytes) {
    for (const char c : bytes)
        rxQueue_.push_back(static_cast<std::uint8_t>(c));
    startReceive();
}

// A program asks for input when its receive interrupt is on, or when it
// keeps polling the receiver: four empty looks at SCSR within two character
// times. A program busy elsewhere (writing EEPROM, say) that glances at the
// receiver now and then is not asking, and a typist holds back.
bool Sci::askedForInput() const {
    if (sccr2_ & RIE)
        return true;
    const std::uint64_t oldest = rxPolls_[rxPollNext_];
    const std::uint64_t frame = std::uint64_t{bitCycles()} * frameBits();
    return oldest != never && now() - oldest <= 2 * frame;
}

void Sci::startReceive() {
    if (rxDoneAt_ != never || rxQueue_.empty() || !(sccr2_ & RE))
        return;
    const std::uint64_t frame = std::uint64_t{bitCycles()} * frameBits();
    if (feed_ == Feed::Paced) {
        if (scsr_ & RDRF)
            return;
        if (!askedForInput()) {
            // The next empty poll of SCSR looks again.
            rxWaitSince_ = never;
            return;
        }
        if (rxWaitSince_ == never)
            rxWaitSince_ = now();
        // The pause counts from the program's last output or from its taking
        // the previous byte, whichever is later: it must have time to answer.
        const bool txIdle = !txShiftBusy_ && !tdrFull_;
        const std::uint64_t calmFrom = std::max(txIdleSince_, rxTakenAt_) + typistPause * frame;
        const bool quiet = txIdle && now() >= calmFrom;
        if (!quiet && now() < rxWaitSince_ + typistPatience * frame) {
            rxRetryAt_ = txIdle ? calmFrom : now() + frame;
            reschedule();
            return;
        }
        rxWaitSince_ = never;
    }
    rxShift_ = rxQueue_.front(); // sampled when its frame ends, at the rate then
    rxQueue_.pop_front();
    rxDoneAt_ = now() + (feed_ == Feed::Line ? hostFrameCycles() : frame);
    rxIdleAt_ = never;
    reschedule();
}

void Sci::transferToShifter() {
    txShift_ = tdr_;
    tdrFull_ = false;
    txShiftBusy_ = true;
    txShiftData_ = true;
    scsr_ |= TDRE;
    scsr_ &= static_cast<std::uint8_t>(~TC);
    txDoneAt_ = now() + std::uint64_t{bitCycles()} * frameBits();
    wake();
}

void Sci::sendBreak() {
    txShift_ = 0;
    txShiftBusy_ = txShiftData_ = true;
    txDoneAt_ = now() + std::uint64_t{bitCycles()} * frameBits();
    scsr_ &= static_cast<std::uint8_t>(~TC);
    reschedule();
}

std::uint8_t Sci::peek(unsigned offset) const {
    switch (offset) {
    case reg::BAUD:
        return baud_;
    case reg::SCCR1:
        return sccr1_;
    case reg::SCCR2:
        return sccr2_;
    case reg::SCSR:
        return scsr_;
    default:
        return rdr_;
    }
}

std::uint8_t Sci::read(unsigned offset) {
    switch (offset) {
    case reg::SCSR:
        scsrSeen_ = scsr_;
        if (!(scsrSeen_ & RDRF)) {
            rxPolls_[rxPollNext_] = now();
            rxPollNext_ = (rxPollNext_ + 1) % rxPolls_.size();
            if (feed_ == Feed::Paced && !rxQueue_.empty() && rxDoneAt_ == never &&
                rxRetryAt_ == never)
                startReceive();
        }
        return scsr_;
    case reg::SCDR: {
        const std::uint8_t cleared = scsrSeen_ & (RDRF | IDLE | OR | 0x06);
        if (cleared) {
            scsr_ &= static_cast<std::uint8_t>(~cleared);
            scsrSeen_ &= static_cast<std::uint8_t>(~cleared);
            if (cleared & RDRF) {
                rxTakenAt_ = now();
                startReceive();
            }
            wake();
        }
        return rdr_;
    }
    default:
        return peek(offset);
    }
}

void Sci::write(unsigned offset, std::uint8_t value) {
    switch (offset) {
    case reg::SCSR:
        return; // read-only
    case reg::SCCR2: {
        const std::uint8_t old = sccr2_;
        sccr2_ = value;
        if ((value & TE) && !(old & TE) && !txShiftBusy_) {
            // The transmitter sends a whole idle frame before its first byte.
            txShiftBusy_ = true;
            txShiftData_ = false;
            txDoneAt_ = now() + std::uint64_t{bitCycles()} * frameBits();
        }
        if (value & RE)
            startReceive();
        reschedule();
        wake();
        return;
    }
    case reg::SCDR:
        tdr_ = value;
        tdrFull_ = true;
        scsr_ &= static_cast<std::uint8_t>(~(TDRE | TC));
        scsrSeen_ &= static_cast<std::uint8_t>(~(TDRE | TC));
        if ((sccr2_ & TE) && !txShiftBusy_)
            transferToShifter();
        reschedule();
        wake();
        return;
    case reg::BAUD:
        baud_ = value;
        return;
    default:
        sccr1_ = value;
        return;
    }
}

void Sci::event() {
    if (now() >= txDoneAt_) {
        const std::uint64_t end = txDoneAt_;
        txDoneAt_ = never;
        txShiftBusy_ = false;
        if (txShiftData_)
            transmitted(txShift_);
        txShiftData_ = false;
        if (tdrFull_ && (sccr2_ & TE)) {
            // Back to back: the next frame starts where this one ended.
            const std::uint64_t at = now();
            setNow(end);
            transferToShifter();
            setNow(at);
        } else {
            scsr_ |= TC;
            txIdleSince_ = end;
        }
        wake();
    }
    if (now() >= rxDoneAt_) {
        const std::uint64_t end = rxDoneAt_;
        rxDoneAt_ = never;
        if (scsr_ & RDRF) {
            scsr_ |= OR;
        } else {
            bool framingError = false;
            rdr_ = sampled(rxShift_, framingError);
            scsr_ |= RDRF;
            if (framingError)
                scsr_ |= FE;
        }
        idleArmed_ = true;
        const std::uint64_t at = now();
        setNow(end);
        startReceive();
        setNow(at);
        if (rxDoneAt_ == never)
            rxIdleAt_ = end + std::uint64_t{bitCycles()} * frameBits();
        wake();
    }
    if (now() >= rxRetryAt_) {
        rxRetryAt_ = never;
        startReceive();
    }
    if (now() >= rxIdleAt_) {
        rxIdleAt_ = never;
        if (idleArmed_ && (sccr2_ & RE)) {
            scsr_ |= IDLE;
            idleArmed_ = false;
            wake();
        }
    }
    reschedule();
}

} // namespace sim11
