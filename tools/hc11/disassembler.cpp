#include "hc11/disassembler.h"

#include <cstdio>

namespace hc11 {

namespace {

std::string hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "$%02X", value & 0xFFu);
    return text;
}

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "$%04X", value & 0xFFFFu);
    return text;
}

} // namespace

Disassembly disassemble(std::uint16_t address,
                        const std::function<std::uint8_t(std::uint16_t)>& peek) {
    Disassembly out;
    auto at = [&](unsigned offset) { return peek(static_cast<std::uint16_t>(address + offset)); };

    const std::uint8_t first = at(0);
    Page page = Page::P1;
    unsigned pos = 0;
    if (first == 0x18 || first == 0x1A || first == 0xCD) {
        const Page prefixed = first == 0x18 ? Page::P2 : first == 0x1A ? Page::P3 : Page::P4;
        if (decode(prefixed, at(1))) {
            page = prefixed;
            pos = 1;
        }
    }
    const Instruction* ins = decode(page, at(pos));
    if (!ins) {
        out.text = "FCB " + hex2(first);
        return out;
    }
    out.instruction = ins;
    out.length = ins->length;
    const unsigned operand = pos + 1; // offset of the first operand byte
    auto byte = [&](unsigned k) { return static_cast<unsigned>(at(operand + k)); };
    auto word = [&](unsigned k) { return (byte(k) << 8) | byte(k + 1); };
    auto branchTarget = [&](unsigned k) {
        const auto rel = static_cast<std::int8_t>(byte(k));
        return hex4(static_cast<unsigned>(address + ins->length + rel));
    };

    std::string ops;
    switch (ins->mode) {
    case Mode::Inherent:
        break;
    case Mode::Immediate8:
        ops.append("#").append(hex2(byte(0)));
        break;
    case Mode::Immediate16:
        ops.append("#").append(hex4(word(0)));
        break;
    case Mode::Direct:
        ops = hex2(byte(0));
        break;
    // An extended address below $100 would be read back as direct: force it.
    case Mode::Extended:
        ops.append(word(0) < 0x100 ? ">" : "").append(hex4(word(0)));
        break;
    case Mode::IndexedX:
        ops = hex2(byte(0)) + ",X";
        break;
    case Mode::IndexedY:
        ops = hex2(byte(0)) + ",Y";
        break;
    case Mode::Relative:
        ops = branchTarget(0);
        break;
    case Mode::BitDirect:
        ops = hex2(byte(0)) + ",#" + hex2(byte(1));
        break;
    case Mode::BitIndexedX:
        ops = hex2(byte(0)) + ",X,#" + hex2(byte(1));
        break;
    case Mode::BitIndexedY:
        ops = hex2(byte(0)) + ",Y,#" + hex2(byte(1));
        break;
    case Mode::BitBranchDirect:
        ops = hex2(byte(0)) + ",#" + hex2(byte(1)) + "," + branchTarget(2);
        break;
    case Mode::BitBranchIndexedX:
        ops = hex2(byte(0)) + ",X,#" + hex2(byte(1)) + "," + branchTarget(2);
        break;
    case Mode::BitBranchIndexedY:
        ops = hex2(byte(0)) + ",Y,#" + hex2(byte(1)) + "," + branchTarget(2);
        break;
    }
    out.text = std::string(ins->mnemonic);
    if (!ops.empty()) {
        out.text.append(out.text.size() < 5 ? 5 - out.text.size() : 0, ' ');
        out.text += ' ';
        out.text += ops;
    }
    return out;
}

} // namespace hc11
