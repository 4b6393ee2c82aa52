// Where the CPU can go next from an instruction: the breakpoints of a step on
// a board that cannot trace.
#include "hc11/flow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

namespace hc11 {
namespace {

using testing::ElementsAre;
using testing::UnorderedElementsAre;

struct Case {
    const char* what;
    std::vector<std::uint8_t> code;
    FlowKind kind;
    std::vector<std::uint16_t> next;
    bool call = false;
};

TEST(Flow, EveryAddressAnInstructionCanContinueAt) {
    FlowRegisters r;
    r.pc = 0x2000;
    r.x = 0x3000;
    r.y = 0x4000;
    r.sp = 0x01F0;
    r.ccr = 0xD0; // S set: STOP does nothing
    const std::vector<std::uint8_t> stack = {0x12, 0x34, 0, 0, 0, 0, 0, 0x56, 0x78};
    const Case cases[] = {
        {"NOP", {0x01}, FlowKind::Continues, {0x2001}},
        {"LDY #", {0x18, 0xCE, 0x12, 0x34}, FlowKind::Continues, {0x2004}},
        {"LDAA 0,Y (page 2)", {0x18, 0xA6, 0x00}, FlowKind::Continues, {0x2003}},
        {"CPD # (page 3)", {0x1A, 0x83, 0x00, 0x01}, FlowKind::Continues, {0x2004}},
        {"LDX 0,Y (page 4)", {0xCD, 0xEE, 0x00}, FlowKind::Continues, {0x2003}},
        {"BEQ forward", {0x27, 0x10}, FlowKind::Continues, {0x2002, 0x2012}},
        {"BNE backward", {0x26, 0xFC}, FlowKind::Continues, {0x2002, 0x1FFE}},
        {"BRA", {0x20, 0x05}, FlowKind::Continues, {0x2007}},
        {"BRA onto itself", {0x20, 0xFE}, FlowKind::Continues, {0x2000}},
        {"BRN", {0x21, 0x05}, FlowKind::Continues, {0x2002}},
        {"BEQ to the next", {0x27, 0x00}, FlowKind::Continues, {0x2002}},
        {"BRSET dir", {0x12, 0x10, 0x80, 0x04}, FlowKind::Continues, {0x2004, 0x2008}},
        {"BRCLR ind,Y", {0x18, 0x1F, 0x2E, 0x20, 0xFB}, FlowKind::Continues, {0x2005, 0x2000}},
        {"JMP ext", {0x7E, 0xB6, 0x00}, FlowKind::Continues, {0xB600}},
        {"JMP 5,X", {0x6E, 0x05}, FlowKind::Continues, {0x3005}},
        {"JMP 5,Y", {0x18, 0x6E, 0x05}, FlowKind::Continues, {0x4005}},
        {"JSR ext", {0xBD, 0xC0, 0x00}, FlowKind::Continues, {0xC000}, true},
        {"JSR dir", {0x9D, 0x40}, FlowKind::Continues, {0x0040}, true},
        {"JSR 0,X", {0xAD, 0x00}, FlowKind::Continues, {0x3000}, true},
        {"BSR", {0x8D, 0xF0}, FlowKind::Continues, {0x1FF2}, true},
        {"RTS", {0x39}, FlowKind::Continues, {0x1234}},
        {"RTI", {0x3B}, FlowKind::Continues, {0x5678}},
        {"SWI", {0x3F}, FlowKind::Interrupts, {}},
        {"WAI", {0x3E}, FlowKind::Waits, {0x2001}},
        {"STOP with S set", {0xCF}, FlowKind::Continues, {0x2001}},
        {"TEST", {0x00}, FlowKind::Halts, {}},
        {"no instruction", {0x41}, FlowKind::Illegal, {}},
        {"no page 3 instruction", {0x1A, 0x01}, FlowKind::Illegal, {}},
        {"cut short", {0xBD, 0xC0}, FlowKind::Unknown, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Flow flow = flowAt(c.code, r, stack);
        EXPECT_EQ(flow.kind, c.kind);
        EXPECT_EQ(flow.next, c.next);
        EXPECT_EQ(flow.call, c.call);
        if (c.call) {
            EXPECT_EQ(flow.returnsTo, static_cast<std::uint16_t>(r.pc + flow.length));
        }
    }
}

TEST(Flow, StopWithSClearWaitsAndReturnsNeedTheirStackBytes) {
    FlowRegisters r;
    r.pc = 0xFFFE;
    r.ccr = 0x50;
    const std::uint8_t stop[] = {0xCF};
    EXPECT_EQ(flowAt(stop, r, {}).kind, FlowKind::Stops);
    EXPECT_THAT(flowAt(stop, r, {}).next, ElementsAre(0xFFFF));
    // Around the top of memory.
    const std::uint8_t beq[] = {0x27, 0x01};
    EXPECT_THAT(flowAt(beq, r, {}).next, UnorderedElementsAre(0x0000, 0x0001));
    const std::uint8_t rts[] = {0x39}, rti[] = {0x3B};
    const std::uint8_t two[] = {0x12, 0x34};
    EXPECT_EQ(flowAt(rts, r, {}).kind, FlowKind::Unknown);
    EXPECT_EQ(flowAt(rti, r, two).kind, FlowKind::Unknown);
    EXPECT_THAT(flowAt(rts, r, two).next, ElementsAre(0x1234));
}

} // namespace
} // namespace hc11
