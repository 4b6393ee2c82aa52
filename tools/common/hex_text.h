#pragma once

// Numbers in hexadecimal as every part of the suite writes them: upper-case
// digits, zero-padded, "$" in front where a 68HC11 programmer reads a value.
// Header only; any thread.
#include <cstdint>
#include <string>

namespace kavrel::hex {

// The digit of the low four bits.
inline char digit(unsigned value) {
    return "0123456789ABCDEF"[value & 0xF];
}

// Appends the low `count` digits of `value`, most significant first.
inline void append(std::string& out, std::uint32_t value, int count) {
    for (int shift = (count - 1) * 4; shift >= 0; shift -= 4)
        out += digit(value >> shift);
}

// "0F", "B600": digits alone, for columns of bytes and dumps.
inline std::string digits(std::uint32_t value, int count) {
    std::string out;
    out.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    append(out, value, count);
    return out;
}

// "$0F", "$B600": a value as the assembler's syntax writes it.
inline std::string byte(std::uint8_t value) {
    std::string out = "$";
    append(out, value, 2);
    return out;
}

inline std::string word(std::uint16_t value) {
    std::string out = "$";
    append(out, value, 4);
    return out;
}

} // namespace kavrel::hex
