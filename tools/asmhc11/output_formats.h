// The three output files made from an assembled program: S-records, the
// bootstrap download image and the listing.
#pragma once

#include "assembler.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace asmhc11 {

// One source line as the listing shows it.
struct ListedLine {
    int number = 0;
    std::string_view text; // the source bytes, without the line end
    std::optional<std::uint16_t> address;
    std::optional<std::int64_t> value; // the value an EQU gives its symbol
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> errors; // Windows-1252
};

// S1 records of at most 32 bytes in address order, then S9 with the start address.
std::string makeS19(const Result& result);

// $FF, then memory from $0000 to the last byte used (gaps as $00), at least 256 bytes of it.
std::string makeBootImage(const Result& result);

std::string makeListing(const std::vector<ListedLine>& lines, const Result& result,
                        std::string_view sourceName);

} // namespace asmhc11
