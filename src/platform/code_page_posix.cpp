// The system ANSI code page on POSIX systems: Windows-1252.
#include "platform/code_page.h"

#include <cstdint>
#include <cstring>

#include "platform/utf8_reader.h"

#ifndef _WIN32

namespace kavrel::platform {

using namespace detail;

namespace {

// Windows-1252 from 0x80 to 0x9F. The five bytes the code page leaves
// unassigned map to the C1 control of the same value, so nothing is lost.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct Utf8Of {
    char bytes[3];
    unsigned char length;
};

// UTF-8 of every byte from 0x80 to 0xFF, built once at compile time.
struct DecodeTable {
    Utf8Of entries[128];
    constexpr DecodeTable() : entries{} {
        for (int b = 0x80; b < 0x100; ++b) {
            const unsigned cp = b < 0xA0 ? kHigh[b - 0x80] : static_cast<unsigned>(b);
            Utf8Of& e = entries[b - 0x80];
            if (cp < 0x800) {
                e.bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
                e.bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
                e.length = 2;
            } else {
                e.bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
                e.bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                e.bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
                e.length = 3;
            }
        }
    }
};
constexpr DecodeTable kDecode;

// Byte for a code point above U+00FF, or '?' when the code page lacks it.
char highByteFor(std::uint32_t cp) {
    if (cp >= 0x0100) {
        for (int i = 0; i < 32; ++i)
            if (kHigh[i] == cp)
                return static_cast<char>(0x80 + i);
        return '?';
    }
    if (cp >= 0xA0)
        return static_cast<char>(cp);
    // U+0080..U+009F: only the five C1 controls that stand for unassigned bytes.
    switch (cp) {
    case 0x81:
    case 0x8D:
    case 0x8F:
    case 0x90:
    case 0x9D:
        return static_cast<char>(cp);
    default:
        return '?';
    }
}

} // namespace

bool detail::encodable(std::uint32_t cp) {
    return highByteFor(cp) != '?';
}

std::string decodeAnsi(std::string_view bytes) {
    const std::size_t ascii = asciiPrefix(bytes.data(), bytes.size());
    if (ascii == bytes.size())
        return std::string(bytes);
    const char* src = bytes.data();
    const std::size_t n = bytes.size();
    // At most three UTF-8 bytes per byte, plus one spare so that every entry
    // can be stored as three bytes without a branch.
    std::string out;
    out.resize(ascii + 3 * (n - ascii) + 1);
    char* const begin = out.data();
    std::memcpy(begin, src, ascii);
    char* dst = begin + ascii;
    std::size_t i = ascii;
    while (i < n) {
        if (n - i >= 8 && !(load64(src + i) & kHighBits)) {
            std::memcpy(dst, src + i, 8);
            dst += 8;
            i += 8;
            continue;
        }
        const auto b = static_cast<unsigned char>(src[i++]);
        if (b < 0x80) {
            *dst++ = static_cast<char>(b);
        } else {
            const Utf8Of& e = kDecode.entries[b - 0x80];
            dst[0] = e.bytes[0];
            dst[1] = e.bytes[1];
            dst[2] = e.bytes[2];
            dst += e.length;
        }
    }
    out.resize(static_cast<std::size_t>(dst - begin));
    return out;
}

std::string encodeAnsi(std::string_view utf8) {
    const std::size_t ascii = asciiPrefix(utf8.data(), utf8.size());
    if (ascii == utf8.size())
        return std::string(utf8);
    // Every sequence, valid or not, gives one byte: the result is never longer.
    std::string out(utf8.size(), '\0');
    char* const begin = out.data();
    std::memcpy(begin, utf8.data(), ascii);
    char* dst = begin + ascii;
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = ascii;
    while (i < n) {
        if (n - i >= 8 && !(load64(utf8.data() + i) & kHighBits)) {
            std::memcpy(dst, s + i, 8);
            dst += 8;
            i += 8;
            continue;
        }
        const unsigned char b = s[i];
        if (b < 0x80) {
            *dst++ = static_cast<char>(b);
            ++i;
            continue;
        }
        // A malformed sequence becomes a single '?', and decoding resumes behind it.
        const Utf8Sequence sequence = nextUtf8(s, n, i);
        *dst++ = sequence.valid ? highByteFor(sequence.codePoint) : '?';
        i += sequence.length;
    }
    out.resize(static_cast<std::size_t>(dst - begin));
    return out;
}

} // namespace kavrel::platform

#endif
