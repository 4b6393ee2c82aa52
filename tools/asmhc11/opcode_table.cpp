#include "opcode_table.h"

#include "hc11/instruction_set.h"

#include <algorithm>
#include <vector>

namespace asmhc11 {

namespace {

int opcodeOf(const hc11::Instruction* instruction) {
    if (!instruction)
        return noOpcode;
    const int prebyte = hc11::prebyteOf(instruction->page);
    return prebyte << 8 | instruction->opcode;
}

OpcodeEntry entryOf(std::string_view name, const hc11::MnemonicModes& m) {
    using hc11::Mode;
    OpcodeEntry e{name, InstructionKind::General};
    if (m.in(Mode::BitBranchDirect)) {
        e.kind = InstructionKind::BitBranch;
        e.direct = opcodeOf(m.in(Mode::BitBranchDirect));
        e.indexedX = opcodeOf(m.in(Mode::BitBranchIndexedX));
        e.indexedY = opcodeOf(m.in(Mode::BitBranchIndexedY));
    } else if (m.in(Mode::BitDirect)) {
        e.kind = InstructionKind::BitSet;
        e.direct = opcodeOf(m.in(Mode::BitDirect));
        e.indexedX = opcodeOf(m.in(Mode::BitIndexedX));
        e.indexedY = opcodeOf(m.in(Mode::BitIndexedY));
    } else if (m.in(Mode::Inherent)) {
        e.kind = InstructionKind::Inherent;
        e.inherent = opcodeOf(m.in(Mode::Inherent));
    } else if (m.in(Mode::Relative)) {
        e.kind = InstructionKind::Relative;
        e.inherent = opcodeOf(m.in(Mode::Relative));
    } else {
        e.immediate = opcodeOf(m.in(Mode::Immediate8));
        if (m.in(Mode::Immediate16)) {
            e.immediate = opcodeOf(m.in(Mode::Immediate16));
            e.wordImmediate = true;
        }
        e.direct = opcodeOf(m.in(Mode::Direct));
        e.extended = opcodeOf(m.in(Mode::Extended));
        e.indexedX = opcodeOf(m.in(Mode::IndexedX));
        e.indexedY = opcodeOf(m.in(Mode::IndexedY));
    }
    return e;
}

// The assembler's view of the shared instruction set, one entry per name.
const std::vector<OpcodeEntry>& sortedTable() {
    static const std::vector<OpcodeEntry> sorted = [] {
        std::vector<OpcodeEntry> entries;
        for (const hc11::Instruction& instruction : hc11::instructions())
            if (std::none_of(entries.begin(), entries.end(), [&](const OpcodeEntry& e) {
                    return e.mnemonic == instruction.mnemonic;
                }))
                entries.push_back(
                    entryOf(instruction.mnemonic, *hc11::findMnemonic(instruction.mnemonic)));
        for (const hc11::Alias& alias : hc11::aliases())
            entries.push_back(entryOf(alias.alias, *hc11::findMnemonic(alias.alias)));
        std::sort(entries.begin(), entries.end(),
                  [](const OpcodeEntry& a, const OpcodeEntry& b) { return a.mnemonic < b.mnemonic; });
        return entries;
    }();
    return sorted;
}

} // namespace

const OpcodeEntry* findOpcode(std::string_view mnemonic) {
    const hc11::MnemonicModes* modes = hc11::findMnemonic(mnemonic);
    if (!modes)
        return nullptr;
    const auto& sorted = sortedTable();
    const auto it = std::lower_bound(
        sorted.begin(), sorted.end(), modes->mnemonic,
        [](const OpcodeEntry& e, std::string_view key) { return e.mnemonic < key; });
    return &*it;
}

OpcodeTable allOpcodes() {
    const auto& sorted = sortedTable();
    return {sorted.data(), sorted.data() + sorted.size()};
}

} // namespace asmhc11
