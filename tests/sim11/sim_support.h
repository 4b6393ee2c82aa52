// Helpers shared by the simulator tests: programs written in assembler.
#pragma once

#include "asmhc11/assembler.h"
#include "asmhc11/encoding.h"
#include "sim11/machine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace sim11::test {

// Assembles `source` and loads it; the machine is reset afterwards, so a
// vector in the source is the one taken.
inline void loadSource(Machine& m, const std::string& source) {
    const asmhc11::Result result = asmhc11::assembleSource(source, asmhc11::Mode::S19);
    for (const asmhc11::Diagnostic& d : result.errors)
        ADD_FAILURE() << "ligne " << d.line << " : " << asmhc11::cp1252ToUtf8(d.message);
    for (const asmhc11::Segment& segment : result.segments())
        for (std::size_t k = 0; k < segment.bytes.size(); ++k)
            EXPECT_TRUE(m.load(static_cast<std::uint16_t>(segment.address + k), segment.bytes[k]));
    m.reset();
}

// A program at $2000 of an expanded-mode E9 (RAM everywhere outside the
// chip), its registers as reset leaves them, PC on its first instruction.
inline std::unique_ptr<Machine> program(const std::string& body, Chip chip = Chip::E9) {
    auto m = std::make_unique<Machine>(chip, Mode::Expanded);
    loadSource(*m, " ORG $2000\n" + body + "\n");
    m->regs().pc = 0x2000;
    m->regs().sp = 0x01FF;
    return m;
}

// Runs to the STOP that ends a test program.
inline void runToStop(Machine& m, std::uint64_t atMost = 1000000) {
    ASSERT_EQ(m.run(m.cycles() + atMost), Halt::Stop) << "pas de STOP";
}

inline std::string hex(unsigned value, int width = 2) {
    char text[12];
    std::snprintf(text, sizeof text, "%0*X", width, value);
    return text;
}

inline std::string registers(const Machine& m) {
    const Registers& r = m.regs();
    return "A=" + hex(r.a) + " B=" + hex(r.b) + " X=" + hex(r.x, 4) + " Y=" + hex(r.y, 4) +
           " CCR=" + hex(r.ccr);
}

} // namespace sim11::test
