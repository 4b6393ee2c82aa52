// The listing writer: each source line with its address, bytes, E cycles and
// messages, then the totals, the symbol table and the cross-reference.
#pragma once

#include "asmhc11/assembler.h"

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
    const std::uint8_t* bytes = nullptr;
    std::size_t byteCount = 0;
    bool cycleColumn = false; // OPT c was on for this line
    int cycles = 0;           // of the instruction, 0 for anything else
    std::vector<ListedMessage> messages;
};

struct CrossReference {
    std::string name;
    std::optional<std::int64_t> value;
    std::string definedAt;           // "12" or "fichier.inc:12"
    std::vector<std::string> usedAt; // same form
};

// Writes the listing as the second pass goes, line after line, then the end.
class ListingWriter {
public:
    void begin(std::string_view title, std::size_t lineCount);
    void add(const ListedLine& line);
    std::string finish(const Result& result, std::optional<long long> cycleTotal,
                       const std::vector<CrossReference>* crossReference);

private:
    std::string out_;
    std::string errorPrefix_;
    std::string warningPrefix_;
};

} // namespace asmhc11
