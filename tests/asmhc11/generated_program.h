// One random 68HC11 instruction stream written twice: in Motorola syntax for
// asmhc11 and in GNU syntax for m68hc11-as. Code starts at $0000 in both, so
// the two memory images must be identical.
#pragma once

#include "hc11/instruction_set.h"

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace asmhc11::test {

struct GeneratedProgram {
    std::string motorola;
    std::string gnu;
    std::size_t lines = 0;
    std::size_t bytes = 0;
};

namespace detail {

inline std::string hexNumber(unsigned value, bool gnu) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, gnu ? "0x%X" : "$%X", value);
    return buffer;
}

inline std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Name and number appended, not added: g++ 12 warns wrongly on "L" + std::string.
inline std::string numbered(const char* name, std::size_t n) {
    std::string text = name;
    text += std::to_string(n);
    return text;
}

template <typename... Parts> void append(std::string& out, const Parts&... parts) {
    (out.append(std::string_view(parts)), ...);
}

struct Line {
    const hc11::Instruction* instruction;
    unsigned value = 0; // immediate, address or offset
    unsigned mask = 0;
    std::size_t target = 0; // branch target line
    std::uint32_t address = 0;
    bool labelled = false;
};

} // namespace detail

// About `lineCount` lines (instructions, comments, equates), at most 60,000 bytes of code.
inline GeneratedProgram generateProgram(std::size_t lineCount, std::uint32_t seed) {
    using hc11::Mode;
    using namespace detail;
    std::mt19937 random(seed);
    const auto all = hc11::instructions();
    std::vector<Line> lines;
    std::uint32_t address = 0;
    const std::size_t instructionCount = lineCount * 9 / 10;
    while (lines.size() < instructionCount && address < 60000) {
        Line line{&all[random() % all.size()]};
        const hc11::Instruction& i = *line.instruction;
        line.address = address;
        switch (i.mode) {
        case Mode::Immediate8:
        case Mode::Direct:
        case Mode::IndexedX:
        case Mode::IndexedY:
        case Mode::BitDirect:
        case Mode::BitIndexedX:
        case Mode::BitIndexedY:
        case Mode::BitBranchDirect:
        case Mode::BitBranchIndexedX:
        case Mode::BitBranchIndexedY:
            line.value = random() & 0xFF;
            break;
        case Mode::Immediate16:
            line.value = random() & 0xFFFF;
            break;
        case Mode::Extended:
            line.value = 0x100 + random() % 0xFF00;
            break;
        default:
            break;
        }
        line.mask = random() & 0xFF;
        address += i.length;
        lines.push_back(line);
    }
    // Branch targets: a line within reach either way, which then gets a label.
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const hc11::Instruction& i = *lines[n].instruction;
        if (i.mode != Mode::Relative && i.mode != Mode::BitBranchDirect &&
            i.mode != Mode::BitBranchIndexedX && i.mode != Mode::BitBranchIndexedY)
            continue;
        const std::int64_t next = lines[n].address + i.length;
        std::vector<std::size_t> reachable;
        for (std::size_t m = n >= 60 ? n - 60 : 0; m < lines.size() && m < n + 60; ++m) {
            const std::int64_t d = static_cast<std::int64_t>(lines[m].address) - next;
            if (d >= -128 && d <= 127)
                reachable.push_back(m);
        }
        lines[n].target = reachable[random() % reachable.size()];
        lines[lines[n].target].labelled = true;
    }

    GeneratedProgram program;
    program.bytes = address;
    for (int e = 0; e < 16; ++e) {
        const std::string value = std::to_string(e * 16 + 5);
        append(program.motorola, numbered("REG", static_cast<std::size_t>(e)), "\tEQU\t", value,
               "\n");
        append(program.gnu, numbered("REG", static_cast<std::size_t>(e)), " = ", value, "\n");
        ++program.lines;
    }
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const Line& line = lines[n];
        const hc11::Instruction& i = *line.instruction;
        if (n % 10 == 7) {
            append(program.motorola, numbered("* bloc ", n), "\n");
            append(program.gnu, numbered("; bloc ", n), "\n");
            ++program.lines;
        }
        std::string m = line.labelled ? numbered("L", n) : std::string();
        std::string g = line.labelled ? numbered("L", n) : std::string();
        if (line.labelled)
            g += ':';
        append(m, "\t", std::string(i.mnemonic));
        append(g, "\t", lower(i.mnemonic));
        const std::string target = numbered("L", line.target);
        std::string mask = ",#";
        mask += hexNumber(line.mask, false);
        std::string gmask = ", #";
        gmask += hexNumber(line.mask, true);
        // Direct operands sometimes go through an equate, as real programs name registers.
        const bool named = i.mode == Mode::Direct && line.value % 16 == 5;
        const std::string regName = numbered("REG", line.value / 16);
        switch (i.mode) {
        case Mode::Inherent:
            break;
        case Mode::Immediate8:
        case Mode::Immediate16:
            append(m, "\t#", hexNumber(line.value, false));
            append(g, "\t#", hexNumber(line.value, true));
            break;
        case Mode::Direct:
            append(m, "\t", (named ? regName : hexNumber(line.value, false)));
            append(g, "\t*", (named ? regName : hexNumber(line.value, true)));
            break;
        case Mode::Extended:
            append(m, "\t", hexNumber(line.value, false));
            append(g, "\t", hexNumber(line.value, true));
            break;
        case Mode::IndexedX:
        case Mode::IndexedY: {
            const char* reg = i.mode == Mode::IndexedX ? "X" : "Y";
            append(m, "\t", hexNumber(line.value, false), ",", reg);
            append(g, "\t", hexNumber(line.value, true), ",", lower(reg));
            break;
        }
        case Mode::Relative:
            append(m, "\t", target);
            append(g, "\t", target);
            break;
        case Mode::BitDirect:
        case Mode::BitBranchDirect:
            append(m, "\t", hexNumber(line.value, false), mask);
            append(g, "\t*", hexNumber(line.value, true), gmask);
            break;
        case Mode::BitIndexedX:
        case Mode::BitIndexedY:
        case Mode::BitBranchIndexedX:
        case Mode::BitBranchIndexedY: {
            const bool x = i.mode == Mode::BitIndexedX || i.mode == Mode::BitBranchIndexedX;
            append(m, "\t", hexNumber(line.value, false), (x ? ",X" : ",Y"), mask);
            append(g, "\t", hexNumber(line.value, true), (x ? ",x" : ",y"), gmask);
            break;
        }
        }
        if (i.mode == Mode::BitBranchDirect || i.mode == Mode::BitBranchIndexedX ||
            i.mode == Mode::BitBranchIndexedY) {
            append(m, ",", target);
            append(g, ", ", target);
        }
        if (n % 5 == 0) {
            m += "\t; commentaire";
            g += "\t; commentaire";
        }
        append(program.motorola, m, "\n");
        append(program.gnu, g, "\n");
        ++program.lines;
    }
    program.motorola += "\tEND\n";
    ++program.lines;
    return program;
}

} // namespace asmhc11::test
