// The system ANSI code page on Windows: CP_ACP.
#include "platform/code_page.h"

#include "platform/utf8_reader.h"

#ifdef _WIN32
#include "common/windows_api.h"

#include <climits>
#include <stdexcept>

namespace kavrel::platform {

using namespace detail;

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

} // namespace

bool detail::encodable(std::uint32_t cp) {
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

} // namespace kavrel::platform

#endif
