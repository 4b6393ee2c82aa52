// One 68HC11 instruction written back as text, in the syntax the assembler
// reads: the trace of the simulator and its window print what asmhc11 takes.
#pragma once

#include "hc11/instruction_set.h"

#include <cstdint>
#include <functional>
#include <string>

namespace hc11 {

struct Disassembly {
    const Instruction* instruction = nullptr; // nullptr for an illegal opcode
    std::uint8_t length = 1;                  // bytes taken, at least one
    std::string text;                         // "LDAA #$12", "FCB $41" for an illegal byte
};

// Reads the bytes of the instruction at `address` through `peek` (which must
// have no side effects). Branch targets are written as absolute addresses.
Disassembly disassemble(std::uint16_t address,
                        const std::function<std::uint8_t(std::uint16_t)>& peek);

} // namespace hc11
