#pragma once

#include <string>
#include <string_view>

// The system ANSI code page: one byte per character on disk, UTF-8 in memory.
// Windows uses the system's own (CP_ACP); elsewhere Windows-1252, with its five
// unassigned bytes mapped to U+0081, U+008D, U+008F, U+0090 and U+009D so that
// every byte value survives a decode and an encode.
namespace kavrel::platform {

std::string decodeAnsi(std::string_view bytes);

// Characters the code page lacks (and malformed UTF-8) become '?'.
std::string encodeAnsi(std::string_view utf8);

// The characters of a text that encodeAnsi would turn into '?' although they
// are no '?': how many, and the byte offset of the first (meaningful only when
// count > 0).
struct Unencodable {
    std::size_t count = 0;
    std::size_t firstOffset = 0;
};
Unencodable findUnencodable(std::string_view utf8);

} // namespace kavrel::platform
