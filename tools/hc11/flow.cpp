#include "hc11/flow.h"

#include <algorithm>

namespace hc11 {

namespace {

constexpr std::uint8_t kSwi = 0x3F, kWai = 0x3E, kStop = 0xCF, kTest = 0x00, kRts = 0x39,
                       kRti = 0x3B, kBsr = 0x8D, kBra = 0x20, kBrn = 0x21;
constexpr std::uint8_t kSBit = 0x80;

std::uint16_t word(std::uint8_t high, std::uint8_t low) {
    return static_cast<std::uint16_t>(high << 8 | low);
}

std::uint16_t relative(std::uint16_t after, std::uint8_t offset) {
    return static_cast<std::uint16_t>(after + static_cast<std::int8_t>(offset));
}

void add(Flow& flow, std::uint16_t address) {
    if (std::find(flow.next.begin(), flow.next.end(), address) == flow.next.end())
        flow.next.push_back(address);
}

} // namespace

Flow flowAt(std::span<const std::uint8_t> code, const FlowRegisters& r,
            std::span<const std::uint8_t> stack) {
    Flow flow;
    if (code.empty())
        return flow;
    Page page = Page::P1;
    std::size_t at = 0;
    for (Page p : {Page::P2, Page::P3, Page::P4}) {
        if (code[0] == prebyteOf(p)) {
            page = p;
            at = 1;
        }
    }
    if (code.size() <= at)
        return flow;
    const std::uint8_t opcode = code[at];
    const Instruction* in = decode(page, opcode);
    if (!in) {
        flow.kind = FlowKind::Illegal;
        return flow;
    }
    if (code.size() < in->length)
        return flow;
    flow.instruction = in;
    flow.length = in->length;
    const auto after = static_cast<std::uint16_t>(r.pc + in->length);
    const std::uint8_t* operand = code.data() + at + 1;
    flow.kind = FlowKind::Continues;

    if (page == Page::P1) {
        switch (opcode) {
        case kSwi:
            flow.kind = FlowKind::Interrupts;
            return flow;
        case kTest:
            flow.kind = FlowKind::Halts;
            return flow;
        case kWai:
            flow.kind = FlowKind::Waits;
            add(flow, after);
            return flow;
        case kStop:
            // With S set, STOP is a NOP.
            if (!(r.ccr & kSBit))
                flow.kind = FlowKind::Stops;
            add(flow, after);
            return flow;
        case kRts:
            if (stack.size() < 2) {
                flow.kind = FlowKind::Unknown;
                return flow;
            }
            add(flow, word(stack[0], stack[1]));
            return flow;
        case kRti:
            if (stack.size() < 9) {
                flow.kind = FlowKind::Unknown;
                return flow;
            }
            add(flow, word(stack[7], stack[8]));
            return flow;
        case kBra:
            add(flow, relative(after, operand[0]));
            return flow;
        case kBrn:
            add(flow, after);
            return flow;
        case kBsr:
            flow.call = true;
            flow.returnsTo = after;
            add(flow, relative(after, operand[0]));
            return flow;
        default:
            break;
        }
    }

    const bool jmp = in->mnemonic == "JMP";
    const bool jsr = in->mnemonic == "JSR";
    if (jmp || jsr) {
        std::uint16_t target = 0;
        switch (in->mode) {
        case Mode::Extended:
            target = word(operand[0], operand[1]);
            break;
        case Mode::Direct:
            target = operand[0];
            break;
        case Mode::IndexedX:
            target = static_cast<std::uint16_t>(r.x + operand[0]);
            break;
        case Mode::IndexedY:
            target = static_cast<std::uint16_t>(r.y + operand[0]);
            break;
        default:
            break;
        }
        if (jsr) {
            flow.call = true;
            flow.returnsTo = after;
        }
        add(flow, target);
        return flow;
    }

    switch (in->mode) {
    case Mode::Relative:
        // Conditional branches: either way, whatever the flags say now.
        add(flow, after);
        add(flow, relative(after, operand[0]));
        break;
    case Mode::BitBranchDirect:
    case Mode::BitBranchIndexedX:
    case Mode::BitBranchIndexedY:
        add(flow, after);
        add(flow, relative(after, operand[2]));
        break;
    default:
        add(flow, after);
        break;
    }
    return flow;
}

} // namespace hc11
