#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// Filling the board's French texts with the values of one case.
namespace kavrel::board {

// `text` with %1...%9 replaced by the values in order; a % followed by
// anything else stays as written.
std::string fillText(std::string_view text, std::initializer_list<std::string_view> values);

// "0 octet", "1 octet", "12 octets": French keeps the singular below two.
std::string byteCount(std::size_t count);

} // namespace kavrel::board
