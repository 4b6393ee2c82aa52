// Where the CPU can go from one instruction: every address at which the
// program can continue once the instruction at PC has run, from its bytes, the
// registers and the bytes on the stack. A debugger that cannot trace (a
// board driven through a talker) steps by placing a breakpoint on each.
// Qt-free; any thread.
#pragma once

#include "hc11/instruction_set.h"

#include <cstdint>
#include <span>
#include <vector>

namespace hc11 {

struct FlowRegisters {
    std::uint8_t a = 0, b = 0, ccr = 0;
    std::uint16_t x = 0, y = 0, sp = 0, pc = 0;
};

enum class FlowKind {
    Continues,  // goes on at one of `next`
    Interrupts, // SWI: the CPU takes the SWI vector
    Waits,      // WAI: waits for an interrupt, whose RTI comes back to `next`
    Stops,      // STOP with S clear: until RESET, XIRQ or IRQ, then `next`
    Halts,      // TEST: runs until reset
    Illegal,    // no instruction: the CPU takes the illegal-opcode vector
    Unknown,    // too few bytes to decode
};

struct Flow {
    FlowKind kind = FlowKind::Unknown;
    const Instruction* instruction = nullptr;
    std::uint8_t length = 0; // bytes of the instruction, prebyte included
    // Every address it can continue at, each once: the fall-through and the
    // target of a branch (taken or not, whatever the flags), a jump's target,
    // the return address read from the stack.
    std::vector<std::uint16_t> next;
    // JSR and BSR: where the call returns (PC + length), for a step over.
    bool call = false;
    std::uint16_t returnsTo = 0;
};

// `code`: the bytes from PC on (five are always enough). `stack`: the bytes
// from SP+1 on, for RTS (two) and RTI (nine); fewer leave them Unknown.
Flow flowAt(std::span<const std::uint8_t> code, const FlowRegisters& registers,
            std::span<const std::uint8_t> stack);

} // namespace hc11
