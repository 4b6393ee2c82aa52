// Motorola S-records: the S1 data records a 68HC11 program is written in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim11 {

struct S19Block {
    std::uint16_t address;
    std::vector<std::uint8_t> bytes;
};

struct S19Image {
    std::vector<S19Block> blocks;
    std::optional<std::uint16_t> entry; // from an S9 record
};

// Reads S19 text (S0 header, S1 data, S5 count, S9 end), up to a DOS
// end-of-file mark (Ctrl+Z) if there is one. On a bad record, or with no
// record at all, returns false and a French message (naming the line).
bool parseS19(std::string_view text, S19Image& image, std::string& error);

} // namespace sim11
