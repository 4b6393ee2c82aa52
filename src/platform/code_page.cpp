#include "platform/code_page.h"

#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include "platform/windows_api.h"

#include <climits>
#include <stdexcept>
#endif

namespace kavrel::platform {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

std::uint64_t load64(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// Length of the leading run of ASCII bytes, eight bytes at a time: most
// assembler sources are pure ASCII and can be copied as they stand.
std::size_t asciiPrefix(const char* data, std::size_t size) {
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

Utf8Sequence nextUtf8(const unsigned char* s, std::size_t n, std::size_t i) {
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

} // namespace

#ifndef _WIN32

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

bool encodable(std::uint32_t cp) {
    return highByteFor(cp) != '?';
}

} // namespace

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

#else // _WIN32

namespace {

int checkedSize(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("texte trop long pour la conversion");
    return static_cast<int>(size);
}

std::wstring toWide(UINT codePage, std::string_view bytes) {
    const int size = checkedSize(bytes.size());
    const int wideSize = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    if (wideSize > 0)
        MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), wideSize);
    return wide;
}

std::string fromWide(UINT codePage, const std::wstring& wide) {
    const int size = checkedSize(wide.size());
    // CP_UTF8 takes neither a default character nor WC_NO_BEST_FIT_CHARS.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* defaultChar = utf8 ? nullptr : "?";
    const int outSize =
        WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, defaultChar, nullptr);
    std::string out(static_cast<std::size_t>(outSize), '\0');
    if (outSize > 0)
        WideCharToMultiByte(codePage, flags, wide.data(), size, out.data(), outSize, defaultChar,
                            nullptr);
    return out;
}

// UTF-8 to UTF-16 by the same rules as on the other systems: MultiByteToWideChar
// counts replacements of malformed UTF-8 differently, and a surrogate pair
// would come out as two '?'. Each malformed sequence (bad lead, overlong,
// surrogate, beyond U+10FFFF, cut short) gives one U+FFFD for its longest
// valid-looking prefix; so does a character beyond U+FFFF unless `keepAstral`.
std::wstring wideOfUtf8(std::string_view utf8, bool keepAstral) {
    std::wstring wide;
    wide.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            wide.push_back(static_cast<wchar_t>(b));
            ++i;
            continue;
        }
        const Utf8Sequence sequence = nextUtf8(s, n, i);
        i += sequence.length;
        const std::uint32_t cp = sequence.codePoint;
        if (!sequence.valid) {
            wide.push_back(L'\xFFFD');
            continue;
        }
        if (cp < 0x10000) {
            wide.push_back(static_cast<wchar_t>(cp));
        } else if (keepAstral) {
            wide.push_back(static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10)));
            wide.push_back(static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            wide.push_back(L'\xFFFD');
        }
    }
    return wide;
}

bool encodable(std::uint32_t cp) {
    const UINT codePage = GetACP();
    if (codePage == CP_UTF8)
        return true;
    if (cp >= 0x10000)
        return false;
    const wchar_t wide = static_cast<wchar_t>(cp);
    BOOL usedDefault = FALSE;
    char bytes[8];
    const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes,
                                         sizeof bytes, "?", &usedDefault);
    return size > 0 && !usedDefault;
}

} // namespace

std::string decodeAnsi(std::string_view bytes) {
    if (asciiPrefix(bytes.data(), bytes.size()) == bytes.size())
        return std::string(bytes);
    return fromWide(CP_UTF8, toWide(CP_ACP, bytes));
}

std::string encodeAnsi(std::string_view utf8) {
    if (asciiPrefix(utf8.data(), utf8.size()) == utf8.size())
        return std::string(utf8);
    // U+FFFD, which no ANSI code page holds, comes out as '?'.
    const UINT codePage = GetACP();
    return fromWide(codePage, wideOfUtf8(utf8, codePage == CP_UTF8));
}

#endif

Unencodable findUnencodable(std::string_view utf8) {
    Unencodable found;
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = asciiPrefix(utf8.data(), n);
    while (i < n) {
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        const Utf8Sequence sequence = nextUtf8(s, n, i);
        if (!sequence.valid || !encodable(sequence.codePoint)) {
            if (found.count++ == 0)
                found.firstOffset = i;
        }
        i += sequence.length;
    }
    return found;
}

} // namespace kavrel::platform
