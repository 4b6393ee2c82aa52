#pragma once

// The UTF-8 reading shared by the code page of every system; not for use
// outside the platform code.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kavrel::platform::detail {

inline constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

inline std::uint64_t load64(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// Length of the leading run of ASCII bytes, eight bytes at a time: most
// assembler sources are pure ASCII and can be copied as they stand.
inline std::size_t asciiPrefix(const char* data, std::size_t size) {
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8)
        if (load64(data + i) & kHighBits)
            break;
    while (i < size && static_cast<unsigned char>(data[i]) < 0x80)
        ++i;
    return i;
}

// One UTF-8 sequence at `i` (its lead byte not ASCII). A malformed one (bad
// lead, overlong, surrogate, beyond U+10FFFF, cut short) is reported invalid
// with the length of its longest valid-looking prefix, where decoding resumes.
struct Utf8Sequence {
    std::uint32_t codePoint;
    std::size_t length;
    bool valid;
};

inline Utf8Sequence nextUtf8(const unsigned char* s, std::size_t n, std::size_t i) {
    const unsigned char b = s[i];
    std::size_t length = 0;
    std::uint32_t cp = 0;
    unsigned char low = 0x80, high = 0xBF; // allowed range of the 2nd byte
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        cp = b & 0x0F;
        if (b == 0xE0)
            low = 0xA0;
        else if (b == 0xED)
            high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        cp = b & 0x07;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F;
    }
    if (length == 0)
        return {0, 1, false};
    std::size_t k = 1;
    for (; k < length && i + k < n; ++k) {
        const unsigned char c = s[i + k];
        const unsigned char lo = k == 1 ? low : 0x80;
        const unsigned char hi = k == 1 ? high : 0xBF;
        if (c < lo || c > hi)
            break;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (k < length)
        return {0, k, false};
    return {cp, length, true};
}

// True when the system's code page has the character (defined once per system).
bool encodable(std::uint32_t codePoint);

} // namespace kavrel::platform::detail
