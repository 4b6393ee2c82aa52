// The 68HC11 CPU: one switch over the opcodes, the four pages folded into it
// by the prebyte choosing which index register addresses and which is moved.
// Every instruction's E cycles come from the shared instruction table.
#include "blocks.h"

#include "hc11/instruction_set.h"

#include <algorithm>
#include <array>

namespace sim11 {

using namespace bits;

namespace {

struct CycleTable {
    std::array<std::uint8_t, 1024> cycles{};
    CycleTable() {
        for (int page = 0; page < 4; ++page)
            for (int op = 0; op < 256; ++op)
                if (const hc11::Instruction* ins =
                        hc11::decode(static_cast<hc11::Page>(page), static_cast<std::uint8_t>(op)))
                    cycles[static_cast<std::size_t>(page * 256 + op)] = ins->cycles;
    }
};

// Built once before main: the hot loop reads it without a guard.
const CycleTable cycleTableInstance;
inline const CycleTable& cycleTable() {
    return cycleTableInstance;
}

} // namespace

// What a run watches for besides time and events, each a variant of the loop
// so that a plain run pays for none of them.
enum Feature : unsigned { traceFeature = 1, breakFeature = 2, returnFeature = 4 };

Halt Machine::runAny(std::uint64_t limit) {
    const unsigned features = (onTrace ? traceFeature : 0u) | (breakCount_ ? breakFeature : 0u) |
                              (returnWatch_ ? returnFeature : 0u);
    switch (features) {
    case 0:
        return runLoop<0>(limit);
    case 1:
        return runLoop<1>(limit);
    case 2:
        return runLoop<2>(limit);
    case 3:
        return runLoop<3>(limit);
    case 4:
        return runLoop<4>(limit);
    case 5:
        return runLoop<5>(limit);
    case 6:
        return runLoop<6>(limit);
    default:
        return runLoop<7>(limit);
    }
}

Halt Machine::run(std::uint64_t limit) {
    return runAny(limit);
}

Halt Machine::step() {
    // Whatever happens first: an interrupt entry, a wait step, an instruction.
    return runAny(cycles_ + 1);
}

template <unsigned Features> Halt Machine::runLoop(std::uint64_t limit) {
    if (stopped_)
        return Halt::Stop;
    // In WAI nothing runs until an event or an interrupt: the loop must look
    // up at once, also when the last run ended in the middle of the wait.
    if (waiting_)
        wakeAttention();
    if (resetHeld_) {
        // Held in reset: time goes by, nothing runs.
        if (limit == ~0ull)
            return Halt::Stop;
        cycles_ = std::max(cycles_, limit);
        return Halt::CycleLimit;
    }
    // A breakpoint on the first instruction was reported by the run that
    // stopped there; this run goes through it.
    std::uint32_t resumeAt = r_.pc;
    for (;;) {
        if (cycles_ >= attentionAt_.load(std::memory_order_relaxed) || cycles_ >= limit) {
            if (ended_) {
                ended_ = false;
                return endReason_;
            }
            if (haltRequested_.load(std::memory_order_relaxed)) {
                haltRequested_.store(false, std::memory_order_relaxed);
                return Halt::Requested;
            }
            if (cycles_ >= limit)
                return Halt::CycleLimit;
            attentionAt_.store(never, std::memory_order_relaxed);
            service();
            if (haltRequested_.load(std::memory_order_relaxed))
                wakeAttention(); // asked while the line above cleared it
            lowerAttention(nextEvent_);
            if (ended_)
                continue;
            if (interrupts_->takeInterrupt()) {
                resumeAt = 0x10000;
                continue;
            }
            if (waiting_) {
                // Nothing can happen before the next event: skip to it.
                const std::uint64_t until = std::min(nextEvent_, limit);
                if (until > cycles_)
                    cycles_ = until;
                continue;
            }
        }
        if constexpr ((Features & breakFeature) != 0) {
            // One byte per 64-byte block keeps the check out of the way of code
            // far from any breakpoint.
            if (breakBlocks_[r_.pc >> 6]) [[unlikely]] {
                if (breakpoint(r_.pc) && r_.pc != resumeAt)
                    return Halt::Breakpoint;
            }
            resumeAt = 0x10000;
        }
        bool returning = false;
        if constexpr ((Features & returnFeature) != 0) {
            const std::uint8_t* p = fetchMap_[r_.pc >> 6];
            const std::uint8_t op = p ? p[r_.pc & 63] : peek(r_.pc);
            returning = (op == 0x39 || op == 0x3B) && r_.sp >= returnSp_; // RTS, RTI
        }
        if constexpr ((Features & traceFeature) != 0)
            onTrace(TraceEntry{r_.pc, r_, cycles_});
        execute();
        if constexpr ((Features & returnFeature) != 0) {
            if (returning && !ended_) {
                returnWatch_ = false;
                return Halt::Returned;
            }
        }
    }
}

void Machine::setBreakpoint(std::uint16_t address, bool on) {
    std::uint64_t& word = breaks_[address >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (address & 63);
    if (on && !(word & bit)) {
        word |= bit;
        ++breakCount_;
    } else if (!on && (word & bit)) {
        word &= ~bit;
        --breakCount_;
    }
    breakBlocks_[address >> 6] = word != 0;
}

void Machine::clearBreakpoints() {
    breaks_.fill(0);
    breakBlocks_.fill(0);
    breakCount_ = 0;
}

void Machine::illegalOpcode(std::uint16_t at, bool prebyte) {
    if (mode_ == Mode::Bootstrap && at == loaderEntry) {
        // The boot ROM's entry: the loader runs here, from the start if re-entered.
        r_.pc = at;
        loader_->step();
        return;
    }
    r_.pc = at;
    if (stopOnIllegal_) {
        end(Halt::Illegal);
        return;
    }
    enterInterrupt(vector::ILLEGAL, ccr::I, prebyte ? 15 : 14);
}

void Machine::execute() {
    Registers& r = r_;
    const std::uint16_t start = r.pc;
    auto fetch = [&]() { return fetchByte(r.pc++); };
    std::uint8_t op = fetch();
    unsigned page = 0;
    std::uint16_t* addrReg = &r.x; // the index register that forms addresses
    std::uint16_t* dataReg = &r.x; // the index register loaded, stored, compared
    if (op == 0x18 || op == 0x1A || op == 0xCD) {
        if (op == 0x18) {
            page = 1;
            addrReg = dataReg = &r.y;
        } else if (op == 0x1A) {
            page = 2;
            dataReg = &r.y;
        } else {
            page = 3;
            addrReg = &r.y;
        }
        op = fetch();
    }
    const std::uint8_t cost = cycleTable().cycles[page * 256 + op];
    if (cost == 0) {
        if (page == 0 && op == 0x00 && mode_ == Mode::Bootstrap) {
            // TEST: the address bus counts until reset.
            r.pc = start;
            cycles_ += 64;
            return;
        }
        illegalOpcode(start, page != 0);
        return;
    }
    cycles_ += cost;

    std::uint8_t& cc = r.ccr;
    auto flag = [&](std::uint8_t bit, bool on) {
        cc = static_cast<std::uint8_t>(on ? (cc | bit) : (cc & ~bit));
    };
    auto nz8 = [&](std::uint8_t v) {
        cc = static_cast<std::uint8_t>((cc & ~(ccr::N | ccr::Z | ccr::V)) |
                                       ((v & 0x80) ? ccr::N : 0) | (v == 0 ? ccr::Z : 0));
    };
    auto nz16 = [&](std::uint16_t v) {
        cc = static_cast<std::uint8_t>((cc & ~(ccr::N | ccr::Z | ccr::V)) |
                                       ((v & 0x8000) ? ccr::N : 0) | (v == 0 ? ccr::Z : 0));
    };
    auto rd16 = [&](std::uint16_t a) {
        return static_cast<std::uint16_t>(rd(a) << 8 | rd(static_cast<std::uint16_t>(a + 1)));
    };
    auto wr16 = [&](std::uint16_t a, std::uint16_t v) {
        wr(a, static_cast<std::uint8_t>(v >> 8));
        wr(static_cast<std::uint16_t>(a + 1), static_cast<std::uint8_t>(v));
    };
    auto push = [&](std::uint8_t v) { wr(r.sp--, v); };
    auto pull = [&]() { return rd(++r.sp); };
    auto push16 = [&](std::uint16_t v) {
        push(static_cast<std::uint8_t>(v));
        push(static_cast<std::uint8_t>(v >> 8));
    };
    auto pull16 = [&]() {
        const std::uint8_t hi = pull();
        return static_cast<std::uint16_t>(hi << 8 | pull());
    };
    auto imm16 = [&]() {
        const std::uint8_t hi = fetch();
        return static_cast<std::uint16_t>(hi << 8 | fetch());
    };
    auto direct = [&]() { return static_cast<std::uint16_t>(fetch()); };
    auto extended = [&]() { return imm16(); };
    auto indexed = [&]() { return static_cast<std::uint16_t>(*addrReg + fetch()); };
    // Address of the operand for the $90-$FF columns (direct, indexed, extended).
    auto operand = [&]() -> std::uint16_t {
        switch ((op >> 4) & 3) {
        case 1:
            return direct();
        case 2:
            return indexed();
        default:
            return extended();
        }
    };
    auto add8 = [&](std::uint8_t a, std::uint8_t b, unsigned carry) {
        const unsigned sum = a + b + carry;
        const auto res = static_cast<std::uint8_t>(sum);
        cc = static_cast<std::uint8_t>(cc & ~(ccr::H | ccr::N | ccr::Z | ccr::V | ccr::C));
        if (((a & 0x0F) + (b & 0x0F) + carry) & 0x10)
            cc |= ccr::H;
        if (res & 0x80)
            cc |= ccr::N;
        if (res == 0)
            cc |= ccr::Z;
        if (~(a ^ b) & (a ^ res) & 0x80)
            cc |= ccr::V;
        if (sum & 0x100)
            cc |= ccr::C;
        return res;
    };
    auto sub8 = [&](std::uint8_t a, std::uint8_t b, unsigned borrow) {
        const unsigned diff = static_cast<unsigned>(a) - b - borrow;
        const auto res = static_cast<std::uint8_t>(diff);
        cc = static_cast<std::uint8_t>(cc & ~(ccr::N | ccr::Z | ccr::V | ccr::C));
        if (res & 0x80)
            cc |= ccr::N;
        if (res == 0)
            cc |= ccr::Z;
        if ((a ^ b) & (a ^ res) & 0x80)
            cc |= ccr::V;
        if (diff & 0x100)
            cc |= ccr::C;
        return res;
    };
    auto add16 = [&](std::uint16_t a, std::uint16_t b) {
        const std::uint32_t sum = std::uint32_t{a} + b;
        const auto res = static_cast<std::uint16_t>(sum);
        cc = static_cast<std::uint8_t>(cc & ~(ccr::N | ccr::Z | ccr::V | ccr::C));
        if (res & 0x8000)
            cc |= ccr::N;
        if (res == 0)
            cc |= ccr::Z;
        if (~(a ^ b) & (a ^ res) & 0x8000)
            cc |= ccr::V;
        if (sum & 0x10000)
            cc |= ccr::C;
        return res;
    };
    auto sub16 = [&](std::uint16_t a, std::uint16_t b) {
        const std::uint32_t diff = std::uint32_t{a} - b;
        const auto res = static_cast<std::uint16_t>(diff);
        cc = static_cast<std::uint8_t>(cc & ~(ccr::N | ccr::Z | ccr::V | ccr::C));
        if (res & 0x8000)
            cc |= ccr::N;
        if (res == 0)
            cc |= ccr::Z;
        if ((a ^ b) & (a ^ res) & 0x8000)
            cc |= ccr::V;
        if (diff & 0x10000)
            cc |= ccr::C;
        return res;
    };
    // Shifts and rotates: V is N xor C after the operation.
    auto shiftFlags = [&](std::uint8_t res, bool carry) {
        nz8(res);
        flag(ccr::C, carry);
        flag(ccr::V, ((res & 0x80) != 0) != carry);
        return res;
    };
    // The read-modify-write group ($40 A, $50 B, $60 indexed, $70 extended).
    auto modify = [&](std::uint8_t v) -> std::uint8_t {
        const bool c = cc & ccr::C;
        switch (op & 0x0F) {
        case 0x0: { // NEG
            const auto res = static_cast<std::uint8_t>(0 - v);
            nz8(res);
            flag(ccr::V, res == 0x80);
            flag(ccr::C, res != 0);
            return res;
        }
        case 0x3: { // COM
            const auto res = static_cast<std::uint8_t>(~v);
            nz8(res);
            cc |= ccr::C;
            return res;
        }
        case 0x4:
            return shiftFlags(static_cast<std::uint8_t>(v >> 1), v & 1); // LSR
        case 0x6:
            return shiftFlags(static_cast<std::uint8_t>(v >> 1 | (c ? 0x80 : 0)), v & 1); // ROR
        case 0x7:
            return shiftFlags(static_cast<std::uint8_t>((v >> 1) | (v & 0x80)), v & 1); // ASR
        case 0x8:
            return shiftFlags(static_cast<std::uint8_t>(v << 1), v & 0x80); // ASL
        case 0x9:
            return shiftFlags(static_cast<std::uint8_t>(v << 1 | (c ? 1 : 0)), v & 0x80); // ROL
        case 0xA: {                                                                       // DEC
            const auto res = static_cast<std::uint8_t>(v - 1);
            nz8(res);
            flag(ccr::V, v == 0x80);
            return res;
        }
        case 0xC: { // INC
            const auto res = static_cast<std::uint8_t>(v + 1);
            nz8(res);
            flag(ccr::V, v == 0x7F);
            return res;
        }
        case 0xD: // TST
            nz8(v);
            cc &= static_cast<std::uint8_t>(~ccr::C);
            return v;
        default: // CLR
            cc = static_cast<std::uint8_t>((cc & ~(ccr::N | ccr::V | ccr::C)) | ccr::Z);
            return 0;
        }
    };
    auto branch = [&](bool taken) {
        const auto rel = static_cast<std::int8_t>(fetch());
        if (taken)
            r.pc = static_cast<std::uint16_t>(r.pc + rel);
    };
    auto stackAll = [&]() {
        push16(r.pc);
        push16(r.y);
        push16(r.x);
        push(r.a);
        push(r.b);
        push(r.ccr);
    };

    // Page 3 and 4's compare of D.
    if (page >= 2 && (op & 0x0F) == 0x03) {
        const std::uint16_t m = op == 0x83 ? imm16() : rd16(operand());
        sub16(r.d(), m);
        return;
    }

    if (op >= 0x80) {
        const bool isB = op & 0x40;
        std::uint8_t& acc = isB ? r.b : r.a;
        const bool imm = (op & 0x30) == 0;
        switch (op & 0x0F) {
        case 0x0:
            acc = sub8(acc, imm ? fetch() : rd(operand()), 0);
            return; // SUB
        case 0x1:
            sub8(acc, imm ? fetch() : rd(operand()), 0);
            return; // CMP
        case 0x2:
            acc = sub8(acc, imm ? fetch() : rd(operand()), cc & ccr::C);
            return; // SBC
        case 0x3: { // SUBD, ADDD
            const std::uint16_t m = imm ? imm16() : rd16(operand());
            r.setD(isB ? add16(r.d(), m) : sub16(r.d(), m));
            return;
        }
        case 0x4:
            acc &= imm ? fetch() : rd(operand());
            nz8(acc);
            return; // AND
        case 0x5:
            nz8(static_cast<std::uint8_t>(acc & (imm ? fetch() : rd(operand()))));
            return; // BIT
        case 0x6:
            acc = imm ? fetch() : rd(operand());
            nz8(acc);
            return; // LDA
        case 0x7: { // STA
            const std::uint16_t a = operand();
            wr(a, acc);
            nz8(acc);
            return;
        }
        case 0x8:
            acc ^= imm ? fetch() : rd(operand());
            nz8(acc);
            return; // EOR
        case 0x9:
            acc = add8(acc, imm ? fetch() : rd(operand()), cc & ccr::C);
            return; // ADC
        case 0xA:
            acc |= imm ? fetch() : rd(operand());
            nz8(acc);
            return; // ORA
        case 0xB:
            acc = add8(acc, imm ? fetch() : rd(operand()), 0);
            return; // ADD
        case 0xC: { // CPX/CPY, LDD
            const std::uint16_t m = imm ? imm16() : rd16(operand());
            if (isB) {
                r.setD(m);
                nz16(m);
            } else {
                sub16(*dataReg, m);
            }
            return;
        }
        case 0xD: // BSR/JSR, STD
            if (isB) {
                const std::uint16_t a = operand();
                wr16(a, r.d());
                nz16(r.d());
            } else if (imm) {
                const auto rel = static_cast<std::int8_t>(fetch());
                push16(r.pc);
                r.pc = static_cast<std::uint16_t>(r.pc + rel);
            } else {
                const std::uint16_t a = operand();
                push16(r.pc);
                r.pc = a;
            }
            return;
        case 0xE: { // LDS, LDX/LDY
            const std::uint16_t m = imm ? imm16() : rd16(operand());
            if (isB)
                *dataReg = m;
            else
                r.sp = m;
            nz16(m);
            return;
        }
        default: { // STS, STX/STY
            if (imm) {
                if (isB) {
                    // STOP: the clocks stop unless S disables it; the run ends here either way.
                    if (!(cc & ccr::S))
                        stopped_ = true;
                    end(Halt::Stop);
                } else { // XGDX/XGDY
                    const std::uint16_t d = r.d();
                    r.setD(*dataReg);
                    *dataReg = d;
                }
                return;
            }
            const std::uint16_t v = isB ? *dataReg : r.sp;
            wr16(operand(), v);
            nz16(v);
            return;
        }
        }
    }

    if (op >= 0x40) {
        switch (op >> 4) {
        case 0x4:
            r.a = modify(r.a);
            return;
        case 0x5:
            r.b = modify(r.b);
            return;
        default: {
            const std::uint16_t a = op < 0x70 ? indexed() : extended();
            if ((op & 0x0F) == 0x0E) { // JMP
                r.pc = a;
                return;
            }
            const std::uint8_t res = modify(rd(a));
            if ((op & 0x0F) != 0x0D)
                wr(a, res);
            return;
        }
        }
    }

    if (op >= 0x20 && op < 0x30) {
        const bool c = cc & ccr::C, z = cc & ccr::Z, n = cc & ccr::N, v = cc & ccr::V;
        bool taken = false;
        switch (op & 0x0F) {
        case 0x0:
            taken = true;
            break;
        case 0x1:
            taken = false;
            break;
        case 0x2:
            taken = !(c || z);
            break;
        case 0x3:
            taken = c || z;
            break;
        case 0x4:
            taken = !c;
            break;
        case 0x5:
            taken = c;
            break;
        case 0x6:
            taken = !z;
            break;
        case 0x7:
            taken = z;
            break;
        case 0x8:
            taken = !v;
            break;
        case 0x9:
            taken = v;
            break;
        case 0xA:
            taken = !n;
            break;
        case 0xB:
            taken = n;
            break;
        case 0xC:
            taken = n == v;
            break;
        case 0xD:
            taken = n != v;
            break;
        case 0xE:
            taken = !z && n == v;
            break;
        default:
            taken = z || n != v;
            break;
        }
        branch(taken);
        return;
    }

    switch (op) {
    case 0x01:
        return;  // NOP
    case 0x02: { // IDIV
        const std::uint16_t num = r.d(), den = r.x;
        flag(ccr::V, false);
        if (den == 0) {
            r.x = 0xFFFF;
            flag(ccr::C, true);
            flag(ccr::Z, false);
        } else {
            r.x = static_cast<std::uint16_t>(num / den);
            r.setD(static_cast<std::uint16_t>(num % den));
            flag(ccr::C, false);
            flag(ccr::Z, r.x == 0);
        }
        return;
    }
    case 0x03: { // FDIV: D/X as fractions, the numerator below the denominator
        const std::uint16_t num = r.d(), den = r.x;
        if (den == 0) {
            r.x = 0xFFFF;
            flag(ccr::C, true);
            flag(ccr::V, false);
            flag(ccr::Z, false);
        } else if (den <= num) {
            r.x = 0xFFFF;
            flag(ccr::V, true);
            flag(ccr::C, false);
            flag(ccr::Z, false);
        } else {
            const std::uint32_t wide = std::uint32_t{num} << 16;
            r.x = static_cast<std::uint16_t>(wide / den);
            r.setD(static_cast<std::uint16_t>(wide % den));
            flag(ccr::V, false);
            flag(ccr::C, false);
            flag(ccr::Z, r.x == 0);
        }
        return;
    }
    case 0x04: { // LSRD
        const std::uint16_t d = r.d();
        const auto res = static_cast<std::uint16_t>(d >> 1);
        r.setD(res);
        nz16(res);
        flag(ccr::C, d & 1);
        flag(ccr::V, d & 1);
        return;
    }
    case 0x05: { // ASLD
        const std::uint16_t d = r.d();
        const auto res = static_cast<std::uint16_t>(d << 1);
        r.setD(res);
        nz16(res);
        const bool carry = d & 0x8000;
        flag(ccr::C, carry);
        flag(ccr::V, ((res & 0x8000) != 0) != carry);
        return;
    }
    case 0x06: { // TAP: X can be cleared, never set
        const std::uint8_t keepX = cc & r.a & ccr::X;
        cc = static_cast<std::uint8_t>((r.a & ~ccr::X) | keepX);
        wakeAttention();
        return;
    }
    case 0x07:
        r.a = cc;
        return; // TPA
    case 0x08:
        ++*dataReg;
        flag(ccr::Z, *dataReg == 0);
        return; // INX/INY
    case 0x09:
        --*dataReg;
        flag(ccr::Z, *dataReg == 0);
        return; // DEX/DEY
    case 0x0A:
        flag(ccr::V, false);
        return;
    case 0x0B:
        flag(ccr::V, true);
        return;
    case 0x0C:
        flag(ccr::C, false);
        return;
    case 0x0D:
        flag(ccr::C, true);
        return;
    case 0x0E:
        flag(ccr::I, false);
        wakeAttention();
        return;
    case 0x0F:
        flag(ccr::I, true);
        return;
    case 0x10:
        r.a = sub8(r.a, r.b, 0);
        return; // SBA
    case 0x11:
        sub8(r.a, r.b, 0);
        return; // CBA
    case 0x12:
    case 0x13:
    case 0x1E:
    case 0x1F: { // BRSET, BRCLR
        const std::uint16_t a = (op & 0x0C) == 0x0C ? indexed() : direct();
        const std::uint8_t m = rd(a);
        const std::uint8_t mask = fetch();
        const bool set = (op & 1) == 0;
        branch(set ? (~m & mask) == 0 : (m & mask) == 0);
        return;
    }
    case 0x14:
    case 0x15:
    case 0x1C:
    case 0x1D: { // BSET, BCLR
        const std::uint16_t a = (op & 0x08) ? indexed() : direct();
        const std::uint8_t m = rd(a);
        const std::uint8_t mask = fetch();
        const auto res = static_cast<std::uint8_t>((op & 1) ? (m & ~mask) : (m | mask));
        wr(a, res);
        nz8(res);
        return;
    }
    case 0x16:
        r.b = r.a;
        nz8(r.b);
        return; // TAB
    case 0x17:
        r.a = r.b;
        nz8(r.a);
        return;  // TBA
    case 0x19: { // DAA
        const unsigned lo = r.a & 0x0F, hi = r.a >> 4;
        unsigned correction = 0;
        bool carry = cc & ccr::C;
        if ((cc & ccr::H) || lo > 9)
            correction |= 0x06;
        if (carry || hi > 9 || (hi >= 9 && lo > 9)) {
            correction |= 0x60;
            carry = true;
        }
        r.a = static_cast<std::uint8_t>(r.a + correction);
        const bool v = cc & ccr::V;
        nz8(r.a);
        flag(ccr::V, v);
        flag(ccr::C, carry);
        return;
    }
    case 0x1B:
        r.a = add8(r.a, r.b, 0);
        return; // ABA
    case 0x30:
        *dataReg = static_cast<std::uint16_t>(r.sp + 1);
        return; // TSX/TSY
    case 0x31:
        ++r.sp;
        return;
    case 0x32:
        r.a = pull();
        return;
    case 0x33:
        r.b = pull();
        return;
    case 0x34:
        --r.sp;
        return;
    case 0x35:
        r.sp = static_cast<std::uint16_t>(*dataReg - 1);
        return; // TXS/TYS
    case 0x36:
        push(r.a);
        return;
    case 0x37:
        push(r.b);
        return;
    case 0x38:
        *dataReg = pull16();
        return;
    case 0x39:
        r.pc = pull16();
        return;
    case 0x3A:
        *dataReg = static_cast<std::uint16_t>(*dataReg + r.b);
        return;  // ABX/ABY
    case 0x3B: { // RTI
        const std::uint8_t pulled = pull();
        const std::uint8_t keepX = cc & pulled & ccr::X;
        cc = static_cast<std::uint8_t>((pulled & ~ccr::X) | keepX);
        r.b = pull();
        r.a = pull();
        r.x = pull16();
        r.y = pull16();
        r.pc = pull16();
        wakeAttention();
        return;
    }
    case 0x3C:
        push16(*dataReg);
        return;
    case 0x3D: { // MUL
        r.setD(static_cast<std::uint16_t>(r.a * r.b));
        flag(ccr::C, r.b & 0x80);
        return;
    }
    case 0x3E: // WAI
        stackAll();
        waiting_ = true;
        wakeAttention();
        return;
    case 0x3F: { // SWI
        stackAll();
        cc |= ccr::I;
        const std::uint16_t at = vectorAddress(vector::SWI);
        r.pc = rd16(at);
        return;
    }
    default:
        return;
    }
}

} // namespace sim11
