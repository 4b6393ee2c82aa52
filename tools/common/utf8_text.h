#pragma once

// UTF-8 text to and from the system's own forms: paths, and on Windows wide
// text. Header only, so that the assembler and the tests share it with the
// program.
#include <filesystem>
#include <string>
#include <string_view>

#ifdef _WIN32
#include "common/windows_api.h"
#endif

namespace kavrel::utf8 {

// The path a UTF-8 text names, whatever the system's narrow code page.
inline std::filesystem::path toPath(std::string_view text) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

inline std::string fromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

#ifdef _WIN32
inline std::wstring toWide(std::string_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), n);
    return out;
}

inline std::string fromWide(std::wstring_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}
#endif

} // namespace kavrel::utf8
