// The listing writer: each source line with its address, bytes, E cycles and
// messages, then the totals, the symbol table and the cross-reference.
#pragma once

#include "assembler.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace asmhc11 {

struct ListedMessage {
    bool warning = false;
    std::string text; // Windows-1252
};

// One source line as the listing shows it.
struct ListedLine {
    int number = 0;
    std::string_view text; // the source bytes, without the line end
    std::optional<std::uint16_t> address;
    std::optional<std::int64_t> value; // the value an EQU gives its symbol
    std::uint32_t firstByte = 0;       // in Listing::bytes
    std::uint32_t byteCount = 0;
    bool cycleColumn = false; // OPT c was on for this line
    int cycles = 0;           // of the instruction, 0 for anything else
    std::vector<ListedMessage> messages;
};

struct CrossReference {
    std::string name;
    std::optional<std::int64_t> value;
    std::string definedAt;             // "12" or "fichier.inc:12"
    std::vector<std::string> usedAt;   // same form
};

struct Listing {
    std::vector<ListedLine> lines;
    std::vector<std::uint8_t> bytes; // the bytes of every line, one after the other
    std::optional<long long> cycleTotal;   // when OPT c was used
    std::optional<std::vector<CrossReference>> crossReference; // when OPT cre was used
};

std::string makeListing(const Listing& listing, const Result& result, std::string_view sourceName);

} // namespace asmhc11
