#include "hc11/disassembler.h"

#include "common/hex_text.h"

namespace hc11 {

namespace hex = kavrel::hex;

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
        out.text = "FCB " + hex::byte(first);
        return out;
    }
    out.instruction = ins;
    out.length = ins->length;
    const unsigned operand = pos + 1; // offset of the first operand byte
    auto byte = [&](unsigned k) { return at(operand + k); };
    auto word = [&](unsigned k) { return static_cast<std::uint16_t>(byte(k) << 8 | byte(k + 1)); };
    auto branchTarget = [&](unsigned k) {
        const auto rel = static_cast<std::int8_t>(byte(k));
        return hex::word(static_cast<std::uint16_t>(address + ins->length + rel));
    };

    std::string ops;
    switch (ins->mode) {
    case Mode::Inherent:
        break;
    case Mode::Immediate8:
        ops.append("#").append(hex::byte(byte(0)));
        break;
    case Mode::Immediate16:
        ops.append("#").append(hex::word(word(0)));
        break;
    case Mode::Direct:
        ops = hex::byte(byte(0));
        break;
    // An extended address below $100 would be read back as direct: force it.
    case Mode::Extended:
        ops.append(word(0) < 0x100 ? ">" : "").append(hex::word(word(0)));
        break;
    case Mode::IndexedX:
        ops = hex::byte(byte(0)) + ",X";
        break;
    case Mode::IndexedY:
        ops = hex::byte(byte(0)) + ",Y";
        break;
    case Mode::Relative:
        ops = branchTarget(0);
        break;
    case Mode::BitDirect:
        ops = hex::byte(byte(0)) + ",#" + hex::byte(byte(1));
        break;
    case Mode::BitIndexedX:
        ops = hex::byte(byte(0)) + ",X,#" + hex::byte(byte(1));
        break;
    case Mode::BitIndexedY:
        ops = hex::byte(byte(0)) + ",Y,#" + hex::byte(byte(1));
        break;
    case Mode::BitBranchDirect:
        ops = hex::byte(byte(0)) + ",#" + hex::byte(byte(1)) + "," + branchTarget(2);
        break;
    case Mode::BitBranchIndexedX:
        ops = hex::byte(byte(0)) + ",X,#" + hex::byte(byte(1)) + "," + branchTarget(2);
        break;
    case Mode::BitBranchIndexedY:
        ops = hex::byte(byte(0)) + ",Y,#" + hex::byte(byte(1)) + "," + branchTarget(2);
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
